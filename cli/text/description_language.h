// The English descriptions are in diagnosis/, which the C library shares; the output code finds
// them here.
#pragma once

#include "diagnosis/description_language.h"
