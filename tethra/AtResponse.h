// Readers for the information lines of the replies the phone library uses. Each
// takes a line as the channel delivers it (trimmed, echo and URCs already removed)
// and returns false on anything it cannot read, leaving its outputs unchanged or
// empty; none of them fails on any input.
#pragma once

#include <string>
#include <vector>

// The value after a "+NAME:" prefix, trimmed: AtInfoValue("+CGMI: Nokia", "+CGMI")
// is "Nokia". A line without the prefix is returned trimmed as it is.
std::string AtInfoValue(const std::string& strLine, const char* pszPrefix);

// The parameters of a reply value, split at commas outside quotes and brackets,
// trimmed: "\"SM\",3,30" gives "\"SM\"", "3", "30".
std::vector<std::string> AtSplitParameters(const std::string& strValue);

// A parameter without its surrounding quotes.
std::string AtUnquote(const std::string& strParameter);

// A decimal parameter (optional sign, at most 9 digits).
bool AtParseInt(const std::string& strParameter, int& nValue);

// The <stat> of a stored message in PDU mode, and the value that lists them all.
enum AtMessageStat : int {
  AT_STAT_REC_UNREAD = 0,
  AT_STAT_REC_READ = 1,
  AT_STAT_STO_UNSENT = 2,
  AT_STAT_STO_SENT = 3,
  AT_STAT_ALL = 4,
};

// One +CMGL header in PDU mode: "+CMGL: <index>,<stat>,[<alpha>],<length>".
struct CAtListEntryHeader {
  int nIndex = -1;
  int nStat = -1;    // an AtMessageStat other than AT_STAT_ALL
  int nLength = -1;  // octets of the transfer unit (service-centre part not counted)
};
bool AtParseCmglHeader(const std::string& strLine, CAtListEntryHeader& header);

// One message of a listing: its header and its PDU line.
struct CAtListEntry {
  CAtListEntryHeader header;
  std::string strPdu;  // upper-case hexadecimal
};
// An entry of a listing that cannot be read: its index when the header gave one
// (-1 otherwise) and why.
struct CAtBadEntry {
  int nIndex = -1;
  std::string strReason;
};
// The messages of a +CMGL reply (header lines, each followed by its PDU line). An
// entry that cannot be read (a header that makes no sense, a PDU line missing, not
// hexadecimal or of another length than the header says, a PDU line without its
// header) is put in bad and the rest of the listing is still read. Other lines are
// passed over.
void AtParseCmglListing(const std::vector<std::string>& lines, std::vector<CAtListEntry>& entries,
                        std::vector<CAtBadEntry>& bad);

// The message of an "AT+CMGR=<index>" reply: "+CMGR: <stat>,[<alpha>],<length>"
// and the PDU line. False, with the reason, when it is not there or not whole; the
// index is the caller's to set.
bool AtParseCmgrReply(const std::vector<std::string>& lines, CAtListEntry& entry, std::string& strReason);

// The storages that "AT+CPMS=?" offers, one list per parameter the phone takes
// (one to three: reading and deleting, writing and sending, receiving), as phones
// write them: "+CPMS: (\"ME\",\"SM\"),(\"ME\",\"SM\"),(\"SM\")", nested
// "+CPMS: ((\"SM\",\"BM\"),(\"SM\"))", unbracketed "+CPMS: \"ME\",\"SM\"" (one
// list), spaced, unquoted, empty "+CPMS: (),(),()" or "+CPMS: ". Names in upper
// case, each once a list; a list may be empty. True for every +CPMS line.
bool AtParseCpmsSupport(const std::string& strLine, std::vector<std::vector<std::string>>& lists);

// The use of each storage from "AT+CPMS?" ("+CPMS: \"SM\",3,30,\"ME\",0,100") or
// from the answer to a selection ("+CPMS: 3,30,0,100", names left empty).
struct CAtStorageUse {
  std::string strName;
  int nUsed = 0;
  int nTotal = 0;
};
bool AtParseCpmsUse(const std::string& strLine, std::vector<CAtStorageUse>& uses);

// The storages in use, from "AT+CPMS?": "+CPMS: \"SM\",3,30,\"ME\",0,100,..." gives
// "SM", "ME", ... (one to three names).
bool AtParseCpmsCurrent(const std::string& strLine, std::vector<std::string>& storages);

// "+CSMS: <service>,<mt>,<mo>,<bm>" from "AT+CSMS?".
bool AtParseCsms(const std::string& strLine, int& nService, int& nMt, int& nMo);

// "+CSCA: \"+447785016005\",145": the number (empty when the phone has none).
bool AtParseCsca(const std::string& strLine, std::string& strNumber);

// "+CPIN: READY" or "+CPIN: SIM PIN": the code after the prefix, upper case.
bool AtParseCpin(const std::string& strLine, std::string& strCode);

// The first number after a prefix: "+CMGW: 5" gives 5 for "+CMGW".
bool AtParseNumberAfter(const std::string& strLine, const char* pszPrefix, int& nValue);
