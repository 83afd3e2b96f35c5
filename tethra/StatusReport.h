// Status reports (SMS-STATUS-REPORT) and the messages they are about. A report names
// the message by its reference (the number AT+CMGS answered) and its recipient; the
// sender keeps those of each message sent with a report request in a journal, one
// line a message, so that whoever receives the report later can tell which message
// it concerns. No I/O here: the line format and the matching.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/PduMessage.h"

enum class DeliveryState { DELIVERED, PENDING, FAILED };

// 0x00-0x1F the transaction is completed, 0x20-0x3F the service centre is still
// trying, anything above: it gave up.
DeliveryState GetDeliveryState(uint8_t nStatus);
// "delivered", "pending", "failed".
const char* GetDeliveryStateName(DeliveryState state);

// A message sent with a report request.
struct CSentReference {
  int nReference = -1;
  std::string strNumber;
  std::string strTime;  // when it was sent, as the date-time value formats it
  std::string strText;
};

// True when two numbers name the same recipient: the same digits, or the shorter,
// without its leading zeros, the other's tail and still seven digits long (the
// national form of an international number).
bool IsSameRecipient(const std::string& strA, const std::string& strB);
bool ReportMatches(const CPduMessage& report, const CSentReference& sent);

// The journal line of a sent message (tab-separated, the text with \t, \n, \r and
// \\ escaped) and back; false on a line that is not one.
std::string FormatSentReference(const CSentReference& sent);
bool ParseSentReference(const std::string& strLine, CSentReference& sent);
// The latest entry of a journal's text that the report matches; nullptr when none.
const CSentReference* FindSentReference(const std::vector<CSentReference>& journal,
                                        const CPduMessage& report);
