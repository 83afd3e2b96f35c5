#include "res/StringTable.h"

std::string LoadString(unsigned int) { return {}; }
bool HasString(unsigned int) { return false; }
