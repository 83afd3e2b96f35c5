// The phone commands of mireth: talk to a phone or modem through the phone library.
//
//   mireth identify                       manufacturer, model, version, storages
//   mireth inbox  [--json]                the received messages on the phone
//   mireth outbox [--json]                the sent and stored messages on the phone
//   mireth send --to NUMBER --text TEXT [--store] [--storage phone|sim]
//               [--smsc NUMBER] [--validity N]
//   mireth send --report [--report-timeout S] ...   see ReportCommand.h
//   mireth delete --index N --storage phone|sim | --all
//
// Every one of them takes the connection options
//   --port COMn    the COM name (default: "COM Port" of the settings)
//   --device PATH  a device to use without a COM name of its own
//   --baud N       (default: "Baud Rate" of the settings, else 9600)
//   --timeout MS   (default: "Time Out" of the settings, else 10000)
//   --pin NNNN     the PIN for a SIM that asks for one (never shown or logged)
// On a phone failure the command prints the status code with its explanation, the
// phone's own +CME/+CMS ERROR number with its meaning, and in words when the SIM
// waits for its PIN; it exits with 1. A usage error exits with 2. Listings say how
// many entries on the phone could not be read (--json: one line for each, with its
// storage, index and the reason).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ReportCommand.h"
#include "cli/TableCell.h"
#include "errors/ErrorTexts.h"
#include "grellow/ComPorts.h"
#include "grellow/SerialPort.h"
#include "model/MessageText.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/RecordJson.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "tethra/AtErrorCodes.h"

namespace {

constexpr int kDefaultBaudRate = 9600;
constexpr int kDefaultTimeOut = 10000;

// The options every phone command takes, and the ones some of them add.
struct CPhoneOptions {
  std::string strPort;
  std::string strDevice;
  int nBaudRate = 0;
  int nTimeOut = 0;
  std::string strPin;
  bool bJson = false;
  // send
  std::string strTo;
  std::string strText;
  bool bTextGiven = false;
  bool bStore = false;
  std::string strStorage;
  std::string strServiceCenter;
  int nValidity = 167;  // one day
  // delete
  int nIndex = -1;
  bool bAll = false;
};

bool ParseNumber(const std::string& strText, int& nValue) {
  if (strText.empty() || strText.size() > 9)
    return false;
  for (char c : strText)
    if (c < '0' || c > '9')
      return false;
  nValue = std::atoi(strText.c_str());
  return true;
}

// Reads the words after the command's name; false, with a reason, on a word it does
// not know or an option without its value.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed,
                  CPhoneOptions& o, std::string& strError) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (std::find(allowed.begin(), allowed.end(), a) == allowed.end() && a != "--port" && a != "--device" &&
        a != "--baud" && a != "--timeout" && a != "--pin") {
      strError = "unknown option '" + a + "'";
      return false;
    }
    bool bFlag = a == "--json" || a == "--store" || a == "--all";
    if (bFlag) {
      if (a == "--json")
        o.bJson = true;
      else if (a == "--store")
        o.bStore = true;
      else
        o.bAll = true;
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
    } else if (a == "--baud") {
      if (!ParseNumber(v, o.nBaudRate) || o.nBaudRate == 0) {
        strError = "--baud takes a rate, e.g. 115200";
        return false;
      }
    } else if (a == "--timeout") {
      if (!ParseNumber(v, o.nTimeOut) || o.nTimeOut == 0) {
        strError = "--timeout takes milliseconds, e.g. 10000";
        return false;
      }
    } else if (a == "--pin") {
      if (v.size() < 4 || v.size() > 8 || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        strError = "--pin takes the SIM's PIN, 4 to 8 digits";
        return false;
      }
      o.strPin = v;
    } else if (a == "--to") {
      o.strTo = v;
    } else if (a == "--text") {
      o.strText = v;
      o.bTextGiven = true;
    } else if (a == "--storage") {
      o.strStorage = v;
    } else if (a == "--smsc") {
      o.strServiceCenter = v;
    } else if (a == "--validity") {
      if (!ParseNumber(v, o.nValidity) || o.nValidity > 255) {
        strError = "--validity takes a relative validity value from 0 to 255";
        return false;
      }
    } else if (a == "--index") {
      if (!ParseNumber(v, o.nIndex)) {
        strError = "--index takes a message index";
        return false;
      }
    }
  }
  return true;
}

// 1 phone memory, 2 SIM card, 0 for a word that is neither.
int StorageFromWord(const std::string& strWord) {
  if (strWord == "phone" || strWord == "ME" || strWord == "me")
    return MSG_STORAGE_PHONE;
  if (strWord == "sim" || strWord == "SM" || strWord == "sm")
    return MSG_STORAGE_SIM;
  return MSG_STORAGE_UNKNOWN;
}

// What the phone itself said of the failure: its error number and meaning, and
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
    std::fprintf(stderr, "  The SIM card is locked (%s): unlock it in a phone first.\n", diag.strSimLock.c_str());
}

// Prints the failure with the explanation the error dialog would give.
int ReportFailure(const char* pszCommand, int nCode, const CPhoneInterface& phone) {
  std::fprintf(stderr, "mireth %s: the phone operation failed\n", pszCommand);
  if (std::string strPort = GetSerialFailureText(); !strPort.empty()) std::fprintf(stderr, "  %s\n", strPort.c_str());
  CErrorParagraphs paragraphs = GetErrorParagraphs(nCode);
  for (const std::string* p : {&paragraphs.strFirst, &paragraphs.strSecond, &paragraphs.strThird})
    if (!p->empty())
      std::fprintf(stderr, "  %s\n", p->c_str());
  std::fprintf(stderr, "  %s\n", paragraphs.strCode.c_str());
  ReportPhoneSide(phone.GetDiagnostics());
  return 1;
}

// The entries of the last listing that could not be read: how many, or (--json)
// each on a line of its own.
void ReportUnreadable(const CPhoneInterface& phone, bool bJson) {
  const std::vector<CPhoneUnreadable>& bad = phone.GetDiagnostics().unreadable;
  if (bJson) {
    for (const CPhoneUnreadable& u : bad)
      std::printf("{\"unreadable\":true,\"storage\":%s,\"index\":%d,\"reason\":%s}\n",
                  JsonString(u.strStorage).c_str(), u.nIndex, JsonString(u.strReason).c_str());
  } else if (!bad.empty()) {
    std::printf("%zu %s on the phone could not be read (--json lists them).\n", bad.size(),
                bad.size() == 1 ? "entry" : "entries");
  }
}

// A settings store of its own for the time a device given by path is in use, so
// that the device gets a COM name without touching the user's port map.
class CTemporaryPortMap {
 public:
  ~CTemporaryPortMap() {
    if (m_strFile.empty())
      return;
    if (m_bHadOld)
      ::setenv("MIRETH_REGISTRY", m_strOld.c_str(), 1);
    else
      ::unsetenv("MIRETH_REGISTRY");
    std::error_code ec;
    std::filesystem::remove_all(m_strFolder, ec);
  }

  // Maps "COM1" to the device; false when no temporary store can be made.
  bool Map(const std::string& strDevice) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec)
      return false;
    std::string strTemplate = (base / "mireth-port-XXXXXX").string();
    std::vector<char> name(strTemplate.begin(), strTemplate.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr)
      return false;
    m_strFolder = name.data();
    const char* pOld = std::getenv("MIRETH_REGISTRY");
    m_bHadOld = pOld != nullptr;
    if (pOld)
      m_strOld = pOld;
    m_strFile = m_strFolder + "/ports.reg";
    ::setenv("MIRETH_REGISTRY", m_strFile.c_str(), 1);
    CRegKey key;
    return key.Create(LoadString(IDS_KEY_PORTS)) && key.SetText(g_szComPortNames[0], strDevice);
  }

 private:
  std::string m_strFolder;
  std::string m_strFile;
  std::string m_strOld;
  bool m_bHadOld = false;
};

// Opens the phone as the options and the settings say. Returns 0 when it is ready,
// else the exit status (after printing why).
int OpenPhone(const char* pszCommand, CPhoneOptions& o, CTemporaryPortMap& map, CPhoneInterface& phone,
              bool bSimLockAllowed = false) {
  // Defaults from the settings store, as the window reads them.
  CRegKey options;
  std::string strKey = LoadString(IDS_KEY_ROOT) + "\\" + LoadString(IDS_SUBKEY_OPTIONS);
  std::string strSavedPort;
  uint32_t nSaved = 0;
  if (options.Open(strKey)) {
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

  int nPort = -1;
  if (!o.strDevice.empty()) {
    if (!o.strPort.empty()) {
      std::fprintf(stderr, "mireth %s: give --port or --device, not both\n", pszCommand);
      return 2;
    }
    if (!map.Map(o.strDevice)) {
      std::fprintf(stderr, "mireth %s: cannot give %s a COM name\n", pszCommand, o.strDevice.c_str());
      return 1;
    }
    nPort = 0;
  } else {
    std::string strPort = !o.strPort.empty() ? o.strPort : !strSavedPort.empty() ? strSavedPort : "COM1";
    nPort = GetComPortIndex(strPort);
    if (nPort < 0) {
      std::fprintf(stderr, "mireth %s: '%s' is not a COM name (COM1 to COM35)\n", pszCommand, strPort.c_str());
      return 2;
    }
  }
  phone.SetSimPin(o.strPin);
  int nResult = phone.SetupCommPort(nPort, o.nBaudRate, o.nTimeOut);
  if (nResult == PHONE_NOT_READY && bSimLockAllowed && !phone.GetDiagnostics().strSimLock.empty())
    return 0;  // the phone can still say what it is
  if (nResult != PHONE_SUCCESS)
    return ReportFailure(pszCommand, nResult, phone);
  return 0;
}

const char* StorageText(int nAvailable) {
  switch (nAvailable) {
    case MSG_STORAGE_PHONE:
      return "phone";
    case MSG_STORAGE_SIM:
      return "SIM";
    case MSG_STORAGE_BOTH:
      return "phone and SIM";
  }
  return "unknown";
}

int RunIdentify(const std::vector<std::string>& args) {
  CPhoneOptions o;
  std::string strError;
  if (!ParseOptions(args, {"--json"}, o, strError)) {
    std::fprintf(stderr, "mireth identify: %s\n", strError.c_str());
    return 2;
  }
  CTemporaryPortMap map;
  CPhoneInterface phone;
  if (int n = OpenPhone("identify", o, map, phone, true); n != 0)
    return n;
  int nResult = phone.GetPhoneInformation();
  if (nResult != PHONE_SUCCESS)
    return ReportFailure("identify", nResult, phone);
  const std::string strLock = phone.GetDiagnostics().strSimLock;
  int nPreferred = strLock.empty() ? phone.GetPreferredMessageStorage() : MSG_STORAGE_UNKNOWN;
  const char* pszPreferred = nPreferred == MSG_STORAGE_PHONE ? "phone" : nPreferred == MSG_STORAGE_SIM ? "SIM" : "unknown";
  if (o.bJson) {
    std::printf("{\"manufacturer\":%s,\"model\":%s,\"version\":%s,\"storage\":%d,\"preferred\":%d,"
                "\"sim_lock\":%s}\n",
                JsonString(phone.GetPhoneManufacturer()).c_str(), JsonString(phone.GetPhoneModel()).c_str(),
                JsonString(phone.GetPhoneVersion()).c_str(), phone.GetAvailableStorage(),
                nPreferred > 0 ? nPreferred : 0, JsonString(strLock).c_str());
  } else {
    std::printf("Manufacturer: %s\nModel:        %s\nVersion:      %s\nStorage:      %s\nPreferred:    %s\n",
                phone.GetPhoneManufacturer().c_str(), phone.GetPhoneModel().c_str(),
                phone.GetPhoneVersion().c_str(), StorageText(phone.GetAvailableStorage()), pszPreferred);
    if (strLock == "SIM PIN")
      std::printf("SIM:          waits for its PIN (give it with --pin NNNN)\n");
    else if (!strLock.empty())
      std::printf("SIM:          locked (%s)\n", strLock.c_str());
  }
  return 0;
}

int RunList(const std::vector<std::string>& args, bool bOutgoing) {
  const char* pszCommand = bOutgoing ? "outbox" : "inbox";
  CPhoneOptions o;
  std::string strError;
  if (!ParseOptions(args, {"--json"}, o, strError)) {
    std::fprintf(stderr, "mireth %s: %s\n", pszCommand, strError.c_str());
    return 2;
  }
  CTemporaryPortMap map;
  CPhoneInterface phone;
  if (int n = OpenPhone(pszCommand, o, map, phone); n != 0)
    return n;
  CMessageArray messages;
  int nResult = bOutgoing ? phone.GetOutgoingMessagesFromPhone(&messages) : phone.GetIncomingMessagesFromPhone(&messages);
  if (nResult == PHONE_NO_MESSAGES) {
    if (!o.bJson)
      std::printf("No messages.\n");
    return 0;
  }
  if (nResult != PHONE_SUCCESS) {
    ReportUnreadable(phone, o.bJson);
    return ReportFailure(pszCommand, nResult, phone);
  }
  if (o.bJson) {
    for (const auto& p : messages)
      std::printf("%s\n", RecordToJson(*p).c_str());
    ReportUnreadable(phone, true);
    return 0;
  }
  std::printf("%-12s %-8s %-7s %-16s %-20s %s\n", "Location", "Status", "Storage", bOutgoing ? "To" : "From",
              "Date and Time", "Message");
  for (const auto& p : messages) {
    std::string strStatus = bOutgoing ? GetStatusText(p->m_nStatus) : "";
    std::printf("%-12s %-8s %-7s %-16s %-20s %s\n", TableCell(p->m_strExtra, 12).c_str(), strStatus.c_str(),
                GetStorageText(p->m_nStorage).c_str(), TableCell(p->m_strNumber, 16).c_str(),
                TableCell(p->m_strDateTime, 20).c_str(), TableCell(p->m_strMessage, 70).c_str());
  }
  ReportUnreadable(phone, false);
  return 0;
}

int RunInbox(const std::vector<std::string>& args) {
  return RunList(args, false);
}

int RunOutbox(const std::vector<std::string>& args) {
  return RunList(args, true);
}

int RunSend(const std::vector<std::string>& args) {
  if (std::find(args.begin(), args.end(), "--report") != args.end())
    return RunSendWithReport(args);
  CPhoneOptions o;
  std::string strError;
  if (!ParseOptions(args, {"--to", "--text", "--store", "--storage", "--smsc", "--validity"}, o, strError)) {
    std::fprintf(stderr, "mireth send: %s\n", strError.c_str());
    return 2;
  }
  if (!o.bTextGiven || (o.strTo.empty() && !o.bStore)) {
    std::fprintf(stderr, "usage: mireth send --to NUMBER --text TEXT [--store] [--storage phone|sim]\n"
                         "                   [--smsc NUMBER] [--validity N]\n");
    return 2;
  }
  int nStorage = MSG_STORAGE_UNKNOWN;
  if (!o.strStorage.empty() && (nStorage = StorageFromWord(o.strStorage)) == MSG_STORAGE_UNKNOWN) {
    std::fprintf(stderr, "mireth send: --storage is phone or sim\n");
    return 2;
  }
  CTemporaryPortMap map;
  CPhoneInterface phone;
  if (int n = OpenPhone("send", o, map, phone); n != 0)
    return n;
  // The record as the Compose page builds it.
  CMessage message;
  message.m_strNumber = o.strTo;
  message.m_strMessage = o.strText;
  message.m_strServiceCenter = o.strServiceCenter;
  message.m_nType = 2;
  message.m_nStorage = nStorage;
  message.m_dtDateTime = CDateTime::GetCurrentTime();
  message.m_strDateTime = message.m_dtDateTime.Format();
  message.SetSubmitType();
  message.SetReplyPath(false);
  message.SetHeaderIndicator(false);
  message.SetRelativeValidity(true);
  message.SetRejectDuplicates(true);
  message.m_nValidity = o.nValidity;
  int nResult = phone.SendMessageToPhone(&message, o.bStore ? "AT+CMGW=" : "AT+CMGS=");
  if (nResult != PHONE_SUCCESS)
    return ReportFailure("send", nResult, phone);
  std::printf("%s\n%s\n", o.bStore ? "Stored on the phone." : "Sent.", message.m_strPdu.c_str());
  return 0;
}

int RunDelete(const std::vector<std::string>& args) {
  CPhoneOptions o;
  std::string strError;
  if (!ParseOptions(args, {"--index", "--storage", "--all"}, o, strError)) {
    std::fprintf(stderr, "mireth delete: %s\n", strError.c_str());
    return 2;
  }
  int nStorage = StorageFromWord(o.strStorage);
  if (o.bAll == (o.nIndex >= 0) || (!o.bAll && nStorage == MSG_STORAGE_UNKNOWN)) {
    std::fprintf(stderr, "usage: mireth delete --index N --storage phone|sim\n"
                         "       mireth delete --all\n");
    return 2;
  }
  CTemporaryPortMap map;
  CPhoneInterface phone;
  if (int n = OpenPhone("delete", o, map, phone); n != 0)
    return n;
  if (o.bAll) {
    int nResult = phone.DeleteAllPhoneMessages();
    if (nResult != PHONE_SUCCESS)
      return ReportFailure("delete", nResult, phone);
    std::printf("Deleted every message.\n");
    return 0;
  }
  // Find the message in the listing ("storage, index, status, PDU" a line).
  std::string strList;
  int nResult = phone.ListAllMessages(strList);
  if (nResult != PHONE_SUCCESS)
    return ReportFailure("delete", nResult, phone);
  const std::string strWanted = std::string(nStorage == MSG_STORAGE_PHONE ? "ME" : "SM") + "\t" +
                                std::to_string(o.nIndex) + "\t";
  CMessage target;
  size_t nLine = 0;
  while (nLine < strList.size()) {
    size_t nEnd = strList.find('\n', nLine);
    std::string strLine = strList.substr(nLine, nEnd == std::string::npos ? std::string::npos : nEnd - nLine);
    nLine = nEnd == std::string::npos ? strList.size() : nEnd + 1;
    if (strLine.compare(0, strWanted.size(), strWanted) == 0) {
      target.m_strPdu = strLine.substr(strLine.rfind('\t') + 1);
      strList = strLine + "\n";  // only this one: not an identical copy elsewhere
      break;
    }
  }
  if (target.m_strPdu.empty()) {
    std::fprintf(stderr, "mireth delete: no message at index %d of the %s\n", o.nIndex,
                 nStorage == MSG_STORAGE_PHONE ? "phone memory" : "SIM card");
    return 1;
  }
  nResult = phone.DeletePhoneMessage(strList, &target);
  if (nResult != PHONE_SUCCESS)
    return ReportFailure("delete", nResult, phone);
  std::printf("Deleted.\n");
  return 0;
}

CCommandRegistrar g_identify("identify", "show the phone's maker, model, version and storages", RunIdentify);
CCommandRegistrar g_inbox("inbox", "list the received messages on the phone", RunInbox);
CCommandRegistrar g_outbox("outbox", "list the sent and stored messages on the phone", RunOutbox);
CCommandRegistrar g_send("send", "send a message (--report: and wait for its delivery report), or store it (--store)",
                         RunSend);
CCommandRegistrar g_delete("delete", "delete a message on the phone by index, or all of them", RunDelete);

}  // namespace
