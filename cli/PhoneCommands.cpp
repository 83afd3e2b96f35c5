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
// Every one of them takes the connection options of SessionOptions.h (not --data).
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
#include "cli/SessionOptions.h"
#include "cli/TableCell.h"
#include "grellow/ComPorts.h"
#include "model/MessageText.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "model/RecordJson.h"
#include "platform/Registry.h"
#include "res/StringTable.h"

namespace {

// The options every phone command takes, and the ones some of them add.
struct CPhoneOptions {
  CSessionOptions session;
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

// Reads the words after the command's name; false, with a reason, on a word it does
// not know or an option without its value.
bool ParseOptions(std::vector<std::string> args, const std::vector<std::string>& allowed, CPhoneOptions& o,
                  std::string& strError) {
  if (!TakeSessionOptions(args, o.session, strError, false))
    return false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (std::find(allowed.begin(), allowed.end(), a) == allowed.end()) {
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
    if (a == "--to") {
      o.strTo = v;
    } else if (a == "--text") {
      o.strText = v;
      o.bTextGiven = true;
    } else if (a == "--storage") {
      o.strStorage = v;
    } else if (a == "--smsc") {
      o.strServiceCenter = v;
    } else if (a == "--validity") {
      if (!ParseCount(v, o.nValidity) || o.nValidity > 255) {
        strError = "--validity takes a relative validity value from 0 to 255";
        return false;
      }
    } else if (a == "--index") {
      if (!ParseCount(v, o.nIndex)) {
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
  std::string strError;
  if (!ResolveSessionDefaults(o.session, strError)) {
    std::fprintf(stderr, "mireth %s: %s\n", pszCommand, strError.c_str());
    return 2;
  }
  int nPort = GetComPortIndex(o.session.strPort);
  if (!o.session.strDevice.empty()) {
    if (!map.Map(o.session.strDevice)) {
      std::fprintf(stderr, "mireth %s: cannot give %s a COM name\n", pszCommand, o.session.strDevice.c_str());
      return 1;
    }
    nPort = 0;
  }
  phone.SetSimPin(o.session.strPin);
  int nResult = phone.SetupCommPort(nPort, o.session.nBaudRate, o.session.nTimeOut);
  if (nResult == PHONE_NOT_READY && bSimLockAllowed && !phone.GetDiagnostics().strSimLock.empty())
    return 0;  // the phone can still say what it is
  if (nResult != PHONE_SUCCESS)
    return ReportPhoneFailure(pszCommand, nResult, phone.GetDiagnostics());
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
    return ReportPhoneFailure("identify", nResult, phone.GetDiagnostics());
  const std::string strLock = phone.GetDiagnostics().strSimLock;
  int nPreferred = strLock.empty() ? phone.GetPreferredMessageStorage() : MSG_STORAGE_UNKNOWN;
  const char* pszPreferred = nPreferred == MSG_STORAGE_PHONE ? "phone"
                             : nPreferred == MSG_STORAGE_SIM ? "SIM"
                                                             : "unknown";
  if (o.bJson) {
    std::printf(
        "{\"manufacturer\":%s,\"model\":%s,\"version\":%s,\"storage\":%d,\"preferred\":%d,"
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
  int nResult = bOutgoing ? phone.GetOutgoingMessagesFromPhone(&messages)
                          : phone.GetIncomingMessagesFromPhone(&messages);
  if (nResult == PHONE_NO_MESSAGES) {
    if (!o.bJson)
      std::printf("No messages.\n");
    return 0;
  }
  if (nResult != PHONE_SUCCESS) {
    ReportUnreadable(phone, o.bJson);
    return ReportPhoneFailure(pszCommand, nResult, phone.GetDiagnostics());
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

int RunInbox(const std::vector<std::string>& args) { return RunList(args, false); }

int RunOutbox(const std::vector<std::string>& args) { return RunList(args, true); }

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
    std::fprintf(stderr,
                 "usage: mireth send --to NUMBER --text TEXT [--store] [--storage phone|sim]\n"
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
  message.m_nType = MSG_TYPE_COMPOSED;
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
    return ReportPhoneFailure("send", nResult, phone.GetDiagnostics());
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
    std::fprintf(stderr,
                 "usage: mireth delete --index N --storage phone|sim\n"
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
      return ReportPhoneFailure("delete", nResult, phone.GetDiagnostics());
    std::printf("Deleted every message.\n");
    return 0;
  }
  // Find the message in the listing ("storage, index, status, PDU" a line).
  std::string strList;
  int nResult = phone.ListAllMessages(strList);
  if (nResult != PHONE_SUCCESS)
    return ReportPhoneFailure("delete", nResult, phone.GetDiagnostics());
  const std::string strWanted =
      std::string(nStorage == MSG_STORAGE_PHONE ? "ME" : "SM") + "\t" + std::to_string(o.nIndex) + "\t";
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
    return ReportPhoneFailure("delete", nResult, phone.GetDiagnostics());
  std::printf("Deleted.\n");
  return 0;
}

CCommandRegistrar g_identify("identify", "show the phone's maker, model, version and storages", RunIdentify);
CCommandRegistrar g_inbox("inbox", "list the received messages on the phone", RunInbox);
CCommandRegistrar g_outbox("outbox", "list the sent and stored messages on the phone", RunOutbox);
CCommandRegistrar g_send("send",
                         "send a message (--report: and wait for its delivery report), or store it (--store)",
                         RunSend);
CCommandRegistrar g_delete("delete", "delete a message on the phone by index, or all of them", RunDelete);

}  // namespace
