// The records as JSON text, one object per line, with every stored field under its
// member name:
//
//   {"class":"CAddress","m_strNumber":"12345","m_strName":"Ann"}
//   {"class":"CMessage","m_strSenderName":"",...,"m_dtDateTime":{"date":45000.5,"status":0},...}
//
// Texts are written as UTF-8 JSON strings. A byte that is not part of a valid UTF-8
// sequence is written as the escape \udcXX (XX its value) and read back as that
// byte, so any text survives the round trip. A day number that is not finite is
// written as the string "inf", "-inf", "nan" (the usual quiet NaN) or "nan:" and the
// 16 hex digits of any other NaN's bits.
#pragma once

#include <string>
#include <string_view>

#include "model/Address.h"
#include "model/Message.h"

// How JsonString spells the characters it escapes by number; any JSON reader reads
// both forms as the same text.
enum JsonEscapes {
  JSON_HEX_LOWER_DEL_ESCAPED,  // \u001b, DEL as \u007f: the records' form
  JSON_HEX_UPPER_DEL_KEPT,     // \u001B, DEL written as it is: what `mireth pdu` prints
};

// A text as a JSON string (quoted, escaped; invalid UTF-8 bytes as \udcXX).
std::string JsonString(const std::string& str, JsonEscapes eEscapes = JSON_HEX_LOWER_DEL_ESCAPED);

std::string RecordToJson(const CMessage& message);
std::string RecordToJson(const CAddress& address);
// The same, appended to out (for writers that fill one buffer with many records).
void AppendRecordJson(std::string& out, const CMessage& message);
void AppendRecordJson(std::string& out, const CAddress& address);

// The "class" member of a JSON object line ("CMessage", "CAddress"); an empty text
// when the object has none. False, with a reason, when the line is not an object.
bool GetJsonClass(std::string_view strLine, std::string& strClass, std::string& strError);

// Fills every field of a record from a JSON object line. Members left out take their
// default values (a record filled again for each line keeps nothing of the last);
// an unknown member, a value of the wrong type or out of range, or a "class" naming
// the other class is refused, with a reason.
bool RecordFromJson(std::string_view strLine, CMessage& message, std::string& strError);
bool RecordFromJson(std::string_view strLine, CAddress& address, std::string& strError);
