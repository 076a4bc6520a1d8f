# Classification over arbitrary heads, names and StorePath values.
kindprobe_fuzz_target(classify SOURCES classify_fuzz.cpp LIBRARIES kindprobe_engine)
