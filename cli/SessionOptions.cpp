#include "cli/SessionOptions.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "errors/ErrorTexts.h"
#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "model/PhoneStatus.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "tethra/AtErrorCodes.h"

namespace {

constexpr int kDefaultBaudRate = 9600;
constexpr int kDefaultTimeOut = 10000;

// A SIM's PIN: 4 to 8 digits.
bool ParsePin(const std::string& strText) {
  return strText.size() >= 4 && strText.size() <= 8 &&
         std::all_of(strText.begin(), strText.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What the phone itself said of a failure: its error number and meaning, and
// whether the SIM waits for its PIN.
void ReportPhoneSide(const CPhoneDiagnostics& diag) {
  if (diag.nCmsError >= 0)
    std::fprintf(stderr, "  The phone answered +CMS ERROR: %d (%s).\n", diag.nCmsError,
                 AtCmsMeaning(diag.nCmsError).c_str());
  else if (diag.nCmeError >= 0)
    std::fprintf(stderr, "  The phone answered +CME ERROR: %d (%s).\n", diag.nCmeError,
                 AtCmeMeaning(diag.nCmeError).c_str());
  if (diag.strSimLock == "SIM PIN")
    std::fprintf(stderr, "  The SIM card asks for its PIN: give it with --pin NNNN.\n");
  else if (!diag.strSimLock.empty())
    std::fprintf(stderr, "  The SIM card is locked (%s): unlock it in a phone first.\n",
                 diag.strSimLock.c_str());
}

}  // namespace

bool ParseCount(const std::string& strText, int& nValue) {
  if (strText.empty() || strText.size() > 9)
    return false;
  for (char c : strText)
    if (c < '0' || c > '9')
      return false;
  nValue = std::atoi(strText.c_str());
  return true;
}

bool TakeSessionOptions(std::vector<std::string>& args, CSessionOptions& o, std::string& strError,
                        bool bDataFolder) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--port" && a != "--device" && a != "--baud" && a != "--timeout" && a != "--pin" &&
        !(bDataFolder && a == "--data")) {
      rest.push_back(a);
      continue;
    }
    if (i + 1 >= args.size()) {
      strError = a + " needs a value";
      return false;
    }
    const std::string& v = args[++i];
    if (a == "--port") {
      o.strPort = v;
    } else if (a == "--device") {
      o.strDevice = v;
    } else if (a == "--data") {
      o.strDataFolder = v;
    } else if (a == "--pin") {
      if (!ParsePin(v)) {
        strError = "--pin takes the SIM's PIN, 4 to 8 digits";
        return false;
      }
      o.strPin = v;
    } else if (a == "--baud") {
      if (!ParseCount(v, o.nBaudRate) || o.nBaudRate == 0) {
        strError = "--baud takes a rate, e.g. 115200";
        return false;
      }
    } else if (!ParseCount(v, o.nTimeOut) || o.nTimeOut == 0) {
      strError = "--timeout takes milliseconds, e.g. 10000";
      return false;
    }
  }
  args = std::move(rest);
  return true;
}

bool SettingsUsable() { return GetRegistryFault().empty(); }

int SettingsExitStatus(int nStatus) { return SettingsUsable() ? nStatus : 1; }

bool ResolveSessionDefaults(CSessionOptions& o, std::string& strError) {
  CRegKey options;
  std::string strSavedPort;
  uint32_t nSaved = 0;
  if (options.Open(LoadString(IDS_KEY_ROOT) + "\\" + LoadString(IDS_SUBKEY_OPTIONS))) {
    options.QueryText(LoadString(IDS_VAL_COM_PORT), strSavedPort);
    if (o.nBaudRate == 0 && options.QueryNumber(LoadString(IDS_VAL_BAUD_RATE), nSaved) && nSaved > 0)
      o.nBaudRate = static_cast<int>(nSaved);
    if (o.nTimeOut == 0 && options.QueryNumber(LoadString(IDS_VAL_TIME_OUT), nSaved) && nSaved > 0)
      o.nTimeOut = static_cast<int>(nSaved);
  }
  if (!SettingsUsable()) {
    // The report above names the file and the reason; talking to a phone on a
    // default port and rate instead of the saved ones could reach the wrong device.
    strError = "stopped: the settings could not be read";
    return false;
  }
  if (o.nBaudRate == 0)
    o.nBaudRate = kDefaultBaudRate;
  if (o.nTimeOut == 0)
    o.nTimeOut = kDefaultTimeOut;
  if (!o.strDevice.empty()) {
    if (o.strPort.empty())
      return true;
    strError = "give --port or --device, not both";
    return false;
  }
  if (o.strPort.empty())
    o.strPort = !strSavedPort.empty() ? strSavedPort : "COM1";
  if (GetComPortIndex(o.strPort) < 0) {
    strError = "'" + o.strPort + "' is not a COM name (COM1 to COM35)";
    return false;
  }
  return true;
}

bool ResolveSessionOptions(CSessionOptions& o, std::string& strDevice, std::string& strError) {
  if (!ResolveSessionDefaults(o, strError))
    return false;
  if (!o.strDevice.empty()) {
    strDevice = o.strDevice;
    return true;
  }
  strDevice = ResolveComPort(o.strPort);
  if (strDevice.empty()) {
    strError = o.strPort + " names no device";
    return false;
  }
  return true;
}

std::string SessionDataFolder(const CSessionOptions& o) {
  std::string strFolder = o.strDataFolder;
  if (strFolder.empty()) {
    CRegKey data;
    if (data.Open(LoadString(IDS_KEY_DATA)))
      data.QueryText(LoadString(IDS_VAL_DATA_FOLDER), strFolder);
  }
  if (!strFolder.empty() && strFolder.back() != '/')
    strFolder += '/';
  return strFolder;
}

int ReportPhoneFailure(const char* pszCommand, int nCode, const CPhoneDiagnostics& diag) {
  std::fprintf(stderr, "mireth %s: the phone operation failed\n", pszCommand);
  if (std::string strPort = GetSerialFailureText(); !strPort.empty())
    std::fprintf(stderr, "  %s\n", strPort.c_str());  // why the port would not open, in words
  CErrorParagraphs paragraphs = GetErrorParagraphs(nCode);
  for (const std::string* p : {&paragraphs.strFirst, &paragraphs.strSecond, &paragraphs.strThird})
    if (!p->empty())
      std::fprintf(stderr, "  %s\n", p->c_str());
  std::fprintf(stderr, "  %s\n", paragraphs.strCode.c_str());
  ReportPhoneSide(diag);
  return 1;
}
