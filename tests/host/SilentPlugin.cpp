// A library that exports CreateQVPlugin but registers nothing.
extern "C" __attribute__((visibility("default"))) void* CreateQVPlugin(void) { return nullptr; }
