// A shared library that is not a plug-in: it exports no CreateQVPlugin.
extern "C" __attribute__((visibility("default"))) int NotPlugin_Answer(void) { return 42; }
