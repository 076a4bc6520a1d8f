# The rule table lint behind --check-rules: arbitrary bytes, read as a rule file is read.
kindprobe_fuzz_target(check_rules SOURCES check_rules_fuzz.cpp LIBRARIES kindprobe_cli)
