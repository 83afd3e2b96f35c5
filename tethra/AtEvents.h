// Readers for what a phone says on its own about new messages and status reports,
// and for the new-message indication settings it offers. Like the reply readers in
// AtResponse.h they do no I/O, take a line as the channel delivers it (a URC that
// carries a PDU comes as its two lines joined by "\n") and never fail on any input:
// false means "not this, or not readable", with the outputs left unchanged.
#pragma once

#include <string>
#include <vector>

// What a URC announces.
struct CAtEvent {
  enum Kind {
    NONE,
    STORED_MESSAGE,  // +CMTI: "SM",3   a message stored at storage/index
    DIRECT_MESSAGE,  // +CMT: ,24\nPDU  a message handed over without being stored
    STORED_REPORT,   // +CDSI: "SM",4   a status report stored at storage/index
    DIRECT_REPORT,   // +CDS: 26\nPDU   a status report handed over
  };
  Kind eKind = NONE;
  std::string strStorage;  // upper case (stored kinds)
  int nIndex = -1;         // stored kinds
  std::string strPdu;      // upper-case hex (direct kinds)
};
bool AtParseEvent(const std::string& strUrc, CAtEvent& event);

// The values AT+CNMI=? offers for each parameter, e.g.
// "+CNMI: (0-2),(0-3),(0,2),(0-2),(0,1)" gives {0,1,2},{0,1,2,3},{0,2},{0,1,2},{0,1}.
// A parameter given as one value without brackets counts as that value.
bool AtParseCnmiSupport(const std::string& strLine, std::vector<std::vector<int>>& values);

// The AT+CNMI setting to ask for, from what the phone offers: mode 2 (buffer while a
// command runs, else at once) or 1 or 3; <mt> 1 (+CMTI, the message is stored first,
// so nothing is lost if we are not there to take it) or else 2 (+CMT); <bm> 0;
// <ds> 1 (+CDS) or 2 (+CDSI) when bReports, else 0; <bfr> 0 when offered. Empty when
// the phone offers no way to announce new messages.
std::string AtChooseCnmi(const std::vector<std::vector<int>>& values, bool bReports);

// The header line of an AT+CMGR reply in PDU mode: "+CMGR: <stat>,[<alpha>],<length>".
bool AtParseCmgrHeader(const std::string& strLine, int& nStat, int& nLength);
