// The plug-in the host tests load: it registers under the name it was built with and
// the plug-in icon, records every command it receives and passes each on to the host's
// default procedure. With TEST_PLUGIN_TRACE set it also appends one line per command
// to that file, for tests that run HVDesktop as a separate process.
#pragma once

#include <cstdint>

struct TestPluginCall {
  int32_t hostValue;
  int32_t command;
  int32_t param1;
  intptr_t param2;
  bool bRecipient;     // param2 was a RecipientInfo (command 1, non-null)
  char szName[64];     // its fields, copied
  int32_t nCount;
  char szNumbers[128];
  int32_t result;      // what the default procedure returned
};

// Exported by the test plug-in (looked up with dlsym).
typedef int (*TestPluginGetCallCountFn)(void);
typedef const TestPluginCall* (*TestPluginGetCallFn)(int);
typedef void (*TestPluginResetFn)(void);
