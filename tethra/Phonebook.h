// The phone's phonebooks (27.007 AT+CPBS, AT+CPBR): readers for their replies, no
// I/O, never failing on any input (false: not readable, outputs unchanged), and the
// UCS2 hex form names take when AT+CSCS="UCS2" is in force.
#pragma once

#include <string>
#include <vector>

struct CPhonebookEntry {
  std::string strStorage;  // "SM" (SIM), "ME" (phone), ...
  int nIndex = -1;
  std::string strNumber;  // "+" in front when the type of address is international
  int nType = 129;
  std::string strName;  // UTF-8
};

// "+CPBS: (\"SM\",\"ME\",\"FD\")": the phonebooks the phone offers, upper case.
bool AtParseCpbsSupport(const std::string& strLine, std::vector<std::string>& storages);
// "+CPBR: (1-250),40,18": the first and last index of the chosen phonebook.
bool AtParseCpbrRange(const std::string& strLine, int& nFirst, int& nLast);
// "+CPBR: 3,\"+306912345678\",145,\"039503BB03AD03BD03B7\"". With bUcs2 the name
// (and a number that comes as UCS2 hex too) is decoded from hex of UTF-16; without,
// the name is taken as it is (bytes that are not UTF-8 become '?').
bool AtParseCpbrEntry(const std::string& strLine, bool bUcs2, CPhonebookEntry& entry);

// UTF-16 big-endian code units as hex ("00410042" is "AB") to UTF-8; surrogate pairs
// joined, a lone surrogate becomes U+FFFD. False on an odd length or a non-hex digit.
bool DecodeUcs2Hex(const std::string& strHex, std::string& strUtf8);
