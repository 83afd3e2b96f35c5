// The words that show a message's status and storage place, from the string table.
#pragma once

#include <cstdint>
#include <string>

// 1 "Sent", 2 "Unsent", 3 "Stored", 4 "At Service Center", 5 "Pending", 6 "Error",
// any other value "Invalid".
std::string GetStatusText(int32_t nStatus);
// 1 "Phone", 2 "SIM", any other value "Unknown".
std::string GetStorageText(int32_t nStorage);
