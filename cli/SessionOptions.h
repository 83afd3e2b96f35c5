// What every phone command of mireth shares: the connection options and the
// settings they default to, the data folder, and the failure report.
//
//   --port COMn    the COM name (default: "COM Port" of the settings, else COM1)
//   --device PATH  a device used as it is
//   --baud N       (default: "Baud Rate" of the settings, else 9600)
//   --timeout MS   (default: "Time Out" of the settings, else 10000)
//   --pin NNNN     the PIN for a SIM that asks for one (never shown or logged)
//   --data DIR     the data folder (default: "Data Folder" of the settings); only
//                  for the commands that keep files (TakeSessionOptions' bDataFolder)
#pragma once

#include <string>
#include <vector>

#include "model/PhoneInterface.h"

struct CSessionOptions {
  std::string strPort;
  std::string strDevice;
  int nBaudRate = 0;
  int nTimeOut = 0;
  std::string strPin;
  std::string strDataFolder;
};

// Takes the connection options (and --data when bDataFolder) out of args; the other
// words stay, in order. False, with a reason, on a bad value or a missing one.
bool TakeSessionOptions(std::vector<std::string>& args, CSessionOptions& o, std::string& strError,
                        bool bDataFolder = true);
// Fills what the command line left out from the settings store: the rate, the
// time-out and, unless a device is given, the COM name (strPort). False, with a
// reason, when both a port and a device are given, the port is not a COM name, or
// the settings file could not be read (a port or rate would then be a guess).
bool ResolveSessionDefaults(CSessionOptions& o, std::string& strError);
// ResolveSessionDefaults, then the device to open: the one given, or the one the
// COM name is mapped to (false, with a reason, when it is mapped to none).
bool ResolveSessionOptions(CSessionOptions& o, std::string& strDevice, std::string& strError);
// The data folder (ending in '/'); empty when neither given nor in the settings.
std::string SessionDataFolder(const CSessionOptions& o);

// Whether the settings file could be read and written so far in this run. When it
// could not, the settings store has shown why (the path and the reason, once).
bool SettingsUsable();
// The exit status of a command that returned nStatus: a command that used the
// settings while they could not be read or written fails with 1, whatever it did
// without them. Commands that never touch the settings keep their status.
int SettingsExitStatus(int nStatus);

// A decimal number of at most nine digits.
bool ParseCount(const std::string& strText, int& nValue);

// Prints the failure with the explanation the error dialog would give, then what
// the phone itself said (its +CME/+CMS ERROR number with its meaning, a SIM that
// waits for its PIN); returns 1.
int ReportPhoneFailure(const char* pszCommand, int nCode,
                       const CPhoneDiagnostics& diag = CPhoneDiagnostics());
