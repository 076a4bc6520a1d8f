# The registry-script interpreter: fuzz_registry_script (libFuzzer, with KINDPROBE_FUZZ under
# clang) and fuzz_registry_script_replay (any compiler), seeds in corpus/registry_script.
kindprobe_fuzz_target(registry_script
  SOURCES registry_script_fuzz.cpp
  LIBRARIES kindprobe_registry_script kindprobe_registry_model)
