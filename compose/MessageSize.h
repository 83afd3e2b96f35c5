// How a message text goes out: in how many messages and in which alphabet. A text
// whose every character has a place in the GSM 7-bit alphabet goes in it (160
// septets in one message, an extension character such as the euro sign taking two);
// any other text goes in UCS2 (70 characters in one message). A longer text is sent
// as several messages, each of which loses room to the header that joins them (153
// septets or 67 UCS2 characters each). The Compose page shows this below its
// character count, which itself counts characters as typed.
#pragma once

#include <string>

struct CMessageSize {
  int nParts = 0;      // 0 for an empty text
  bool bUcs2 = false;  // the text needs UCS2
};

// The size of a text as the phone library sends it; strText as the records hold it
// (UTF-8, line breaks as "\r\n"), which is what the library encodes.
CMessageSize MeasureMessage(const std::string& strText);

// The counter's second line for a size: empty for one message in the GSM alphabet,
// else "Goes as 3 messages", "Goes in UCS2 (Unicode)" or "Goes as 2 messages in UCS2
// (Unicode)".
std::string DescribeMessageSize(const CMessageSize& size);
