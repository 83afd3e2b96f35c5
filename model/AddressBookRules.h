// The rules of the address book of name and number pairs, free of any window so that
// the Compose page and the command line keep it the same way: when a pair is known,
// when it is added, and how a book merged from outside is put in order.
//
// Names and numbers are the records' own (UTF-8 bytes) and are compared exactly,
// byte by byte, letter case and blanks counting.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/Lists.h"

// Position of the first entry holding exactly that name and that number; -1 when
// there is none.
int FindAddress(const CAddressArray& book, const std::string& strName, const std::string& strNumber);

// Position of the first entry holding that number, whatever its name; -1 when there
// is none (or the number is empty).
int FindAddressByNumber(const CAddressArray& book, const std::string& strNumber);

// Adds the pair to the address book unless it is known; returns true when an entry
// was appended.
//   - An empty name and an empty number add nothing.
//   - A named pair is known when an entry has that name and that number.
//   - A pair without a name is known when any entry already has that number (so
//     sending again and again to a bare number does not fill the book with copies);
//     otherwise it is added under strNoName ("No Name").
bool AddAddressEntry(CAddressArray& book, const std::string& strName, const std::string& strNumber,
                     const std::string& strNoName);

// Adds each (name, number) pair by the rule of AddAddressEntry and, when anything
// was added, puts the book in the order a loaded book has (sorted by name, unnamed
// entries named "NoName"). Returns how many entries were added; a book that gains
// nothing is left exactly as it was.
int MergeAddressEntries(CAddressArray& book, const std::vector<std::pair<std::string, std::string>>& pairs,
                        const std::string& strNoName);
