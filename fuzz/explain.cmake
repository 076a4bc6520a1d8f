# The explainers of --explain over arbitrary files held in memory.
kindprobe_fuzz_target(explain SOURCES explain_fuzz.cpp LIBRARIES kindprobe_explain)
