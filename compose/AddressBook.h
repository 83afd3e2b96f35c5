// The rules of the Compose page's two small lists, kept free of any window so that
// they can be used and checked on their own: the address book of name and number
// pairs (whose rules are model/AddressBookRules.h, shared with the command line),
// the preset message texts, the recipient the host hands over, the message lifetime
// and the way a message's characters are counted.
//
// Texts are the records' own (the locale's character set, UTF-8 bytes); names,
// numbers and preset texts are compared exactly, byte by byte, letter case counting.
#pragma once

#include <string>
#include <vector>

#include "model/AddressBookRules.h"
#include "model/Lists.h"

// Position of the first preset whose text is exactly strText; -1 when none.
int FindPreset(const CMessageArray& presets, const std::string& strText);

// Appends a preset holding strText unless one holds that text already; returns true
// when it was appended.
bool AddPresetText(CMessageArray& presets, const std::string& strText);

// What the preset list shows for a preset: its first line followed by strEllipsis
// ("...") when the text goes on after a line break, else the whole text.
std::string GetPresetListText(const std::string& strPreset, const std::string& strEllipsis);

// The numbers of the recipient the host handed over, one per round, nCount rounds:
// each round takes the text before the first carriage return and goes on with the
// rest (from that carriage return on) trimmed of blanks, tabs, carriage returns and
// line feeds at both ends; a text without a carriage return is taken whole and
// ends the rounds (later rounds would only take it again). Empty when nCount < 1.
std::vector<std::string> SplitHostNumbers(const std::string& strNumbers, int nCount);

// The validity value sent for a message-lifetime index: 0 for "None" (0), 12 x index
// for "1 Hour" to "6 Hours" (1-6), 167 for "1 Day" (7), 193 for "1 Week" (8), 0 for
// anything else.
int GetValidityForLifetime(int nLifetime);

// The number of characters of a message text as the page counts them: every
// character (not byte) counts one, so a line break, a carriage return and a line
// feed, counts two.
int CountMessageCharacters(const std::string& strMessage);
