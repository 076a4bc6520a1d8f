/* Resource identifiers of the module, shared by the resource script and the code. */
#ifndef KINDPROBE_RESOURCE_IDS_H
#define KINDPROBE_RESOURCE_IDS_H

#define KINDPROBE_RULE_TEXT_RESOURCE 203  /* type "TEXT", language 2052 */
#define KINDPROBE_RULE_TEXT_LANGUAGE 2052
#define KINDPROBE_APPID_SCRIPT_RESOURCE 101 /* type "REGISTRY" */
#define KINDPROBE_CLASS_SCRIPT_RESOURCE 102 /* type "REGISTRY" */
#define KINDPROBE_TYPELIB_RESOURCE 1

#endif
