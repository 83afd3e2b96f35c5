// The string table: every user-visible text, registry key path and value name of
// Mireth, looked up by number. Numbers below 1000 are the historic resource numbers
// the texts have always had; texts added later are numbered from 1000 up.
#pragma once

#include <string>

#include "res/resource.h"

// Returns the text with that number, or an empty text when there is none.
std::string LoadString(unsigned int nID);

// True when the table has a text under that number (an empty text counts).
bool HasString(unsigned int nID);
