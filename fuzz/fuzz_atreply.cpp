// Feeds arbitrary modem output to the AT reply parser, in pieces of arbitrary size,
// under each kind of command, then gives every line it kept to the reply readers.
// Checks the parser's own promises: it consumes what it is given, a reply it calls
// complete has a final result, and no line it keeps is empty or holds a line end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tethra/AtReplyParser.h"
#include "tethra/AtResponse.h"

namespace {

const char* const kCommands[] = {
    "AT+CMGL=4", "AT+CMGS=23", "AT+CPMS=?",   "AT+CPMS?", "AT+CSMS?",
    "AT+CSCA?",  "AT+CGMI",    "ATE0+CMEE=1", "AT+CPIN?", "AT",
};

void Check(bool b) {
  if (!b)
    std::abort();
}

void ReadLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    Check(!line.empty());
    Check(line.find('\r') == std::string::npos && line.find('\n') == std::string::npos);
    Check(line.size() <= CAtReplyParser::MAX_LINE);
    std::vector<std::vector<std::string>> lists;
    if (AtParseCpmsSupport(line, lists))
      Check(lists.size() <= 3);
    std::vector<CAtStorageUse> uses;
    if (AtParseCpmsUse(line, uses))
      for (const CAtStorageUse& u : uses)
        Check(u.nUsed >= 0 && u.nTotal >= 0);
    std::vector<std::string> c;
    AtParseCpmsCurrent(line, c);
    int n1, n2, n3;
    AtParseCsms(line, n1, n2, n3);
    std::string s;
    AtParseCsca(line, s);
    AtParseCpin(line, s);
    AtParseNumberAfter(line, "+CMGS", n1);
    CAtListEntryHeader header;
    AtParseCmglHeader(line, header);
    AtSplitParameters(AtInfoValue(line, "+CGMI"));
  }
  std::vector<CAtListEntry> entries;
  std::vector<CAtBadEntry> bad;
  AtParseCmglListing(lines, entries, bad);
  CAtListEntry read;
  std::string strReason;
  if (AtParseCmgrReply(lines, read, strReason))
    entries.push_back(read);
  else
    Check(!strReason.empty());
  for (const CAtListEntry& e : entries) {
    Check(e.strPdu.size() % 2 == 0);
    Check(e.strPdu.size() / 2 ==
          1 + static_cast<size_t>(std::strtoul(e.strPdu.substr(0, 2).c_str(), nullptr, 16)) +
              static_cast<size_t>(e.header.nLength));
  }
  for (const CAtBadEntry& b : bad)
    Check(!b.strReason.empty() && b.nIndex >= -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2)
    return 0;
  const char* pszCommand = kCommands[data[0] % (sizeof kCommands / sizeof kCommands[0])];
  bool bPrompt = (data[0] & 0x80) != 0;
  size_t nChunk = 1 + data[1] % 64;
  const char* p = reinterpret_cast<const char*>(data + 2);
  size_t n = size - 2;

  CAtReplyParser parser;
  parser.Begin(pszCommand, bPrompt);
  size_t i = 0;
  while (i < n) {
    size_t nPiece = nChunk < n - i ? nChunk : n - i;
    size_t nTaken = parser.Feed(p + i, nPiece);
    Check(nTaken <= nPiece);
    i += nTaken;
    if (parser.HasPrompt() && bPrompt && !parser.IsDone())
      parser.BeginData("0011000B916407281553F80000AA0AE8329BFD4697D9EC37");
    else if (parser.IsDone()) {
      Check(parser.GetReply().eFinal != AT_FINAL_NONE);
      ReadLines(parser.GetReply().lines);
      parser.Begin(pszCommand, false);
    } else {
      Check(nTaken == nPiece);
    }
  }
  ReadLines(parser.GetReply().lines);
  for (const std::string& urc : parser.TakeUrcs())
    Check(!urc.empty());
  return 0;
}
