/* Resource identifiers of KindprobeDiagnosis.dll, shared by its resource script and its code.
   The rule text keeps the identifier resources/resource_ids.h gives it in every module. */
#ifndef KINDPROBE_DIAGNOSIS_RESOURCE_IDS_H
#define KINDPROBE_DIAGNOSIS_RESOURCE_IDS_H

#include "resource_ids.h"

#define KINDPROBE_DIAGNOSIS_SCRIPT_RESOURCE 111 /* type "REGISTRY" */

#endif
