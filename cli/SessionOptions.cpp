#include "cli/SessionOptions.h"

#include <cstdio>
#include <cstdlib>

#include "errors/ErrorTexts.h"
#include "grellow/ComPorts.h"
#include "model/PhoneStatus.h"
#include "platform/Registry.h"
#include "res/StringTable.h"

namespace {

constexpr int kDefaultBaudRate = 9600;
constexpr int kDefaultTimeOut = 10000;

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

bool TakeSessionOptions(std::vector<std::string>& args, CSessionOptions& o, std::string& strError) {
  std::vector<std::string> rest;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a != "--port" && a != "--device" && a != "--baud" && a != "--timeout" && a != "--data") {
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

bool ResolveSessionOptions(CSessionOptions& o, std::string& strDevice, std::string& strError) {
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
  if (o.nBaudRate == 0)
    o.nBaudRate = kDefaultBaudRate;
  if (o.nTimeOut == 0)
    o.nTimeOut = kDefaultTimeOut;
  if (!o.strDevice.empty()) {
    if (!o.strPort.empty()) {
      strError = "give --port or --device, not both";
      return false;
    }
    strDevice = o.strDevice;
    return true;
  }
  std::string strPort = !o.strPort.empty() ? o.strPort : !strSavedPort.empty() ? strSavedPort : "COM1";
  if (GetComPortIndex(strPort) < 0) {
    strError = "'" + strPort + "' is not a COM name (COM1 to COM35)";
    return false;
  }
  strDevice = ResolveComPort(strPort);
  if (strDevice.empty()) {
    strError = strPort + " names no device";
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

int ReportPhoneFailure(const char* pszCommand, int nCode) {
  std::fprintf(stderr, "mireth %s: the phone operation failed\n", pszCommand);
  CErrorParagraphs paragraphs = GetErrorParagraphs(nCode);
  for (const std::string* p : {&paragraphs.strFirst, &paragraphs.strSecond, &paragraphs.strThird})
    if (!p->empty())
      std::fprintf(stderr, "  %s\n", p->c_str());
  std::fprintf(stderr, "  %s\n", paragraphs.strCode.c_str());
  return 1;
}
