// Delivery reports on the command line: `mireth send --report` (handed over by the
// send command when it sees --report) and what `mireth watch` shares with it: the
// journal of messages sent with a report request, kept in the data folder as
// "SMSSent.txt" (one line a message, see tethra/StatusReport.h), and the report line.
#pragma once

#include <string>
#include <vector>

#include "tethra/PduMessage.h"
#include "tethra/StatusReport.h"

// mireth send --report [--report-timeout SECONDS] --to N --text T [connection options]
// Exit status: 0 delivered, 1 failed (or the phone failed), 3 still pending when the
// time ran out, 2 usage.
int RunSendWithReport(const std::vector<std::string>& args);

std::string GetSentJournalPath(const std::string& strDataFolder);
bool AppendSentJournal(const std::string& strDataFolder, const CSentReference& sent);
std::vector<CSentReference> ReadSentJournal(const std::string& strDataFolder);

// One report as a line: a table line
//   report  <state>  <number>  ref <n>  <status text>  <discharge time>  ["<text>"]
// or a JSON object {"kind":"report","state":...}.
std::string FormatReportLine(const CPduMessage& report, const CSentReference* pSent, bool bJson);
