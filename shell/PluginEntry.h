// The plug-in's entry points: the factory the host calls when it loads the library,
// and the command procedure it registers (command 1 opens the SMS window).
#pragma once

#include <cstdint>

#include "host/QVPlugin.h"

#if defined(__GNUC__)
#define MIRETH_EXPORT __attribute__((visibility("default")))
#else
#define MIRETH_EXPORT
#endif

extern "C" {

// Registers the plug-in with the host (name "Mireth", icon 149, PluginCommandProc) and
// returns what the host's registration returned.
MIRETH_EXPORT void* CreateQVPlugin(void);

// The command procedure: command 1 opens the window (param2 a RecipientInfo* or 0)
// and returns when it is closed; every command, 1 included, then goes to the host's
// default procedure, whose result is returned.
MIRETH_EXPORT int32_t PluginCommandProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2);

}  // extern "C"

// Opens the SMS window modally, unless one is open already (in this or another
// process): then it says so and returns. pRecipients may be null.
void RunMessageWindow(const RecipientInfo* pRecipients);
