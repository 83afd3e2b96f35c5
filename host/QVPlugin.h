// The host's plug-in interface (libqvplugin.so).
//
// A plug-in is a shared library exporting
//
//   extern "C" void* CreateQVPlugin(void);
//
// The host (HVDesktop) loads the library and calls CreateQVPlugin, which registers the
// plug-in with QVPlugin_Create and returns what QVPlugin_Create returned. From then on
// the host reaches the plug-in only through the command procedure it registered:
// command 1 asks the plug-in to open its window, optionally handing over a recipient.
// The procedure handles what it wants and then passes every command, with its four
// arguments unchanged, to QVPlugin_DefCommandProc, whose result it returns.
//
// The calls of this file have C linkage, so plug-ins built separately find them by name.
#pragma once

#include <cstdint>

class QIcon;

#if defined(__GNUC__)
#define QVPLUGIN_API __attribute__((visibility("default")))
#else
#define QVPLUGIN_API
#endif

// The recipient the host may hand over with command 1 (as the second parameter). It is
// owned by the host and stays valid until the command returns.
struct RecipientInfo {
  const char* pszName;     // the recipient's name, zero-terminated
  int32_t nCount;          // how many numbers pszNumbers holds
  const char* pszNumbers;  // the numbers, separated by carriage returns ("a\rb" or "a\r\nb")
};

// Commands the host sends.
constexpr int32_t QVPLUGIN_CMD_OPEN = 1;  // open the plug-in's window; param2: RecipientInfo* or 0

// The command procedure: host value, command number, first parameter, second parameter.
// The host value is the plug-in's registration number (see QVPlugin_GetHostValue).
// The second parameter is pointer-sized (intptr_t) rather than 32 bits: it carries a
// RecipientInfo pointer with command 1, and on a 64-bit system a pointer does not fit
// in 32 bits. The other arguments and the result are 32-bit integers.
typedef int32_t (*QVPluginCommandProc)(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2);

// The plug-in's factory, exported as "CreateQVPlugin".
typedef void* (*QVPluginFactory)(void);

// What QVPlugin_DefCommandProc was last called with, and what it returned.
struct QVPluginDefaultCall {
  int32_t hostValue;
  int32_t command;
  int32_t param1;
  intptr_t param2;
  int32_t result;
};

extern "C" {

// Registers a plug-in: its name (copied), its icon and its command procedure. hIcon is
// a QIcon* allocated with new, or null for none; the host owns it from this call on and
// deletes it when the registration is removed. Returns the registration (a handle for
// the calls below), or null when pszName or pfnProc is null (the icon is then deleted).
QVPLUGIN_API void* QVPlugin_Create(const char* pszName, void* hIcon, QVPluginCommandProc pfnProc);

// The host's default processing of a command, to be called by every command procedure
// after its own work, with the same four arguments; its result is the procedure's.
//   - hostValue not that of a registered plug-in: returns 0.
//   - command 1: notes that the plug-in's window has closed again (see
//     QVPlugin_GetClosedCount) and returns 1.
//   - any other command: returns the command number.
// Every call is recorded (QVPlugin_GetLastDefaultCall).
QVPLUGIN_API int32_t QVPlugin_DefCommandProc(int32_t hostValue, int32_t command, int32_t param1,
                                             intptr_t param2);

// --- for the host ---------------------------------------------------------------

// The registered plug-ins, in the order they registered.
QVPLUGIN_API int32_t QVPlugin_GetCount(void);
QVPLUGIN_API void* QVPlugin_GetHandle(int32_t index);  // null when out of range

// Properties of a registration; handle must come from QVPlugin_Create/GetHandle.
QVPLUGIN_API const char* QVPlugin_GetName(void* handle);
QVPLUGIN_API const QIcon* QVPlugin_GetIcon(void* handle);  // null when none was given
QVPLUGIN_API int32_t QVPlugin_GetHostValue(void* handle);  // 1, 2, ... never 0
// How many times the default procedure saw command 1 for this plug-in.
QVPLUGIN_API int32_t QVPlugin_GetClosedCount(void* handle);

// Sends a command to a plug-in through its command procedure, with its host value, and
// returns the procedure's result; 0 for a null handle.
QVPLUGIN_API int32_t QVPlugin_SendCommand(void* handle, int32_t command, int32_t param1, intptr_t param2);

// The last call of QVPlugin_DefCommandProc; false when there was none since the last
// QVPlugin_RemoveAll.
QVPLUGIN_API bool QVPlugin_GetLastDefaultCall(QVPluginDefaultCall* pCall);

// Removes every registration and deletes the icons; handles become invalid. The host
// calls it before its QGuiApplication ends, since icons cannot outlive it.
QVPLUGIN_API void QVPlugin_RemoveAll(void);

}  // extern "C"
