// A shared library with no VST 2 entry point.
extern "C" __attribute__((visibility("default"))) int orvane_test_answer() { return 42; }
