// mireth contacts: the phonebooks of the SIM and the phone.
//
//   mireth contacts [--json]              lists them (names in UCS2 where the phone
//                                         can, so any script shows as it is)
//   mireth contacts import                merges them into the address book store
//                                         file of the data folder, with the address
//                                         book's own rules: a name and number pair
//                                         it holds is not added again
//   mireth contacts export --vcard [FILE] writes them as vCard 3.0 (to FILE, or to
//                                         standard output)
// Each takes the connection options of SessionOptions.h.
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/SessionOptions.h"
#include "cli/TableCell.h"
#include "model/AddressBookRules.h"
#include "model/PhoneStatus.h"
#include "model/RecordJson.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"
#include "res/StringTable.h"
#include "tethra/PhoneSession.h"

namespace {

const char kUsage[] =
    "usage: mireth contacts [--json]\n"
    "       mireth contacts import\n"
    "       mireth contacts export --vcard [FILE]\n";

const char* BookName(const std::string& strStorage) {
  return strStorage == "SM" ? "SIM" : strStorage == "ME" ? "phone" : strStorage.c_str();
}

// A vCard 3.0 text value: backslash, comma, semicolon and line breaks escaped.
std::string VcardText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == ',' || c == ';')
      out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    if (c != '\r')
      out += c;
  }
  return out;
}

// Lines longer than 75 octets are folded (a CRLF and a blank), never inside a
// UTF-8 sequence.
std::string FoldLine(const std::string& strLine) {
  std::string out;
  size_t nStart = 0, nLimit = 75;
  while (strLine.size() - nStart > nLimit) {
    size_t nCut = nStart + nLimit;
    while (nCut > nStart && (static_cast<unsigned char>(strLine[nCut]) & 0xC0) == 0x80)
      --nCut;
    out += strLine.substr(nStart, nCut - nStart) + "\r\n ";
    nStart = nCut;
    nLimit = 74;  // the blank counts
  }
  return out + strLine.substr(nStart) + "\r\n";
}

std::string ToVcard(const CPhonebookEntry& e) {
  std::string strName = VcardText(e.strName);
  return FoldLine("BEGIN:VCARD") + FoldLine("VERSION:3.0") + FoldLine("FN:" + strName) +
         FoldLine("N:" + strName + ";;;;") + FoldLine("TEL;TYPE=CELL:" + e.strNumber) +
         FoldLine("NOTE:" + std::string(BookName(e.strStorage)) + " entry " + std::to_string(e.nIndex)) +
         FoldLine("END:VCARD");
}

int Import(const std::vector<CPhonebookEntry>& entries, const CSessionOptions& o) {
  std::string strFolder = SessionDataFolder(o);
  if (strFolder.empty()) {
    std::fprintf(stderr, "mireth contacts: no data folder (give --data DIR)\n");
    return 1;
  }
  std::string strPath = GetStorePath(strFolder, StoreList::addressBook);
  CAddressArray book;
  CStoreResult read = ReadStoreFile(strPath, book);
  if (!read.IsOk() && !(read.m_kind == CStoreResult::notOpened && access(strPath.c_str(), F_OK) != 0)) {
    std::fprintf(stderr, "mireth contacts: %s cannot be read; nothing imported\n", strPath.c_str());
    return 1;
  }
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const CPhonebookEntry& e : entries)
    pairs.emplace_back(e.strName, e.strNumber);
  int nAdded = MergeAddressEntries(book, pairs, LoadString(IDS_NO_NAME));
  if (nAdded > 0) {
    if (!WriteStoreFile(strPath, book).IsOk()) {
      std::fprintf(stderr, "mireth contacts: %s cannot be written; nothing imported\n", strPath.c_str());
      return 1;
    }
  }
  std::printf("Imported %d of %zu contacts into %s.\n", nAdded, entries.size(), strPath.c_str());
  return 0;
}

int Export(const std::vector<CPhonebookEntry>& entries, const std::string& strFile) {
  std::string strText;
  for (const CPhonebookEntry& e : entries)
    strText += ToVcard(e);
  if (strFile.empty() || strFile == "-") {
    std::fwrite(strText.data(), 1, strText.size(), stdout);
    return 0;
  }
  std::ofstream out(strFile, std::ios::binary | std::ios::trunc);
  out << strText;
  out.flush();
  if (!out) {
    std::fprintf(stderr, "mireth contacts: %s cannot be written\n", strFile.c_str());
    return 1;
  }
  std::printf("Wrote %zu contacts to %s.\n", entries.size(), strFile.c_str());
  return 0;
}

void List(const std::vector<CPhonebookEntry>& entries, bool bJson) {
  if (!bJson)
    std::printf("%-6s %-5s %-20s %s\n", "Book", "Index", "Number", "Name");
  for (const CPhonebookEntry& e : entries) {
    if (bJson)
      std::printf("{\"book\":\"%s\",\"index\":%d,\"number\":%s,\"type\":%d,\"name\":%s}\n",
                  BookName(e.strStorage), e.nIndex, JsonString(e.strNumber).c_str(), e.nType,
                  JsonString(e.strName).c_str());
    else
      std::printf("%-6s %-5d %-20s %s\n", BookName(e.strStorage), e.nIndex,
                  TableCell(e.strNumber, 20).c_str(), TableCell(e.strName, 60).c_str());
  }
}

int RunContacts(const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  CSessionOptions o;
  std::string strError, strDevice;
  if (!TakeSessionOptions(args, o, strError)) {
    std::fprintf(stderr, "mireth contacts: %s\n", strError.c_str());
    return 2;
  }
  enum { LIST, IMPORT, EXPORT } eAction = LIST;
  bool bJson = false;
  std::string strFile;
  size_t i = 0;
  if (!args.empty() && args[0] == "import") {
    eAction = IMPORT;
    i = 1;
  } else if (args.size() >= 2 && args[0] == "export" && args[1] == "--vcard") {
    eAction = EXPORT;
    i = 2;
    if (args.size() == 3)
      strFile = args[2];
    i = args.size();
  } else if (args.size() == 1 && args[0] == "--json") {
    bJson = true;
    i = 1;
  }
  if (i != args.size()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (!ResolveSessionOptions(o, strDevice, strError)) {
    std::fprintf(stderr, "mireth contacts: %s\n", strError.c_str());
    return 2;
  }
  CPhoneSession session;
  std::vector<CPhonebookEntry> entries;
  session.SetSimPin(o.strPin);
  int nCode = session.Open(strDevice, o.nBaudRate, o.nTimeOut);
  if (nCode == PHONE_SUCCESS)
    nCode = session.ReadPhonebooks(entries);
  session.Close();
  if (nCode != PHONE_SUCCESS)
    return ReportPhoneFailure("contacts", nCode, session.GetDiagnostics());
  switch (eAction) {
    case IMPORT:
      return Import(entries, o);
    case EXPORT:
      return Export(entries, strFile);
    case LIST:
      break;
  }
  List(entries, bJson);
  return 0;
}

CCommandRegistrar g_contacts("contacts", "list, import or export (vCard) the SIM and phone phonebooks",
                             RunContacts);

}  // namespace
