// The reason texts are in diagnosis/, which the C library shares; the output code finds them here.
#pragma once

#include "diagnosis/reason_text.h"
