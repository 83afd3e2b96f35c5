// What the long-running phone commands of mireth (watch, contacts, send --report)
// share: the connection options and the settings they default to, the data folder,
// opening the phone as a CPhoneSession, and the failure report.
//
//   --port COMn    the COM name (default: "COM Port" of the settings, else COM1)
//   --device PATH  a device used as it is
//   --baud N       (default: "Baud Rate" of the settings, else 9600)
//   --timeout MS   (default: "Time Out" of the settings, else 10000)
//   --data DIR     the data folder (default: "Data Folder" of the settings)
#pragma once

#include <string>
#include <vector>

#include "tethra/PhoneSession.h"

struct CSessionOptions {
  std::string strPort;
  std::string strDevice;
  int nBaudRate = 0;
  int nTimeOut = 0;
  std::string strDataFolder;
};

// Takes the connection options out of args (the other words stay, in order); false,
// with a reason, on a bad value or a missing one.
bool TakeSessionOptions(std::vector<std::string>& args, CSessionOptions& o, std::string& strError);
// Fills what the command line left out from the settings store. False, with a
// reason, when the port is neither a COM name nor mapped to a device.
bool ResolveSessionOptions(CSessionOptions& o, std::string& strDevice, std::string& strError);
// The data folder (ending in '/'); empty when neither given nor in the settings.
std::string SessionDataFolder(const CSessionOptions& o);

// A decimal number of at most nine digits.
bool ParseCount(const std::string& strText, int& nValue);

// Prints the failure with the explanation the error dialog would give; returns 1.
int ReportPhoneFailure(const char* pszCommand, int nCode);
