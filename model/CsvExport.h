// Comma-separated copies of the lists, written beside their store files with the
// extension ".csv" in place of ".Dat". They are never read back.
//
// Each line, the header included, ends in a carriage return and a line feed. A
// field is put in double quotes when it holds its writer's trigger character (a
// comma, and for some writers a carriage return); a double quote inside a field is
// written as it is. The text is written as the strings hold it, in one write, with
// no byte-order mark. A copy is replaced as a store file is (model/StoreFile): the
// old copy stays whole until the new one is complete.
//
// When the file cannot be opened for writing, "Unable to Save " followed by its path
// is shown; any later failure ends the writer silently.
#pragma once

#include <string>

#include "model/Lists.h"
#include "model/StoreLists.h"

// The writers of the five lists, given the data folder (ending in '/').
void WriteOutboxCsv(const std::string& strDataFolder, const CMessageArray& list);
void WriteInboxCsv(const std::string& strDataFolder, const CMessageArray& list);
void WriteAddressCsv(const std::string& strDataFolder, const CAddressArray& list);
void WritePresetCsv(const std::string& strDataFolder, const CMessageArray& list);
void WriteServiceCenterCsv(const std::string& strDataFolder, const CAddressArray& list);

// The CSV path of a store file: its extension ".Dat" (any letter case) replaced by
// ".csv"; a path without that extension gets ".csv" added.
std::string GetCsvPath(const std::string& strStorePath);

// The writer of one list for a store file at any path, with the outcome. The
// message lists are the inbox, outbox and presets; the address lists the address
// book and service centres (any other pairing writes nothing and fails).
enum class CsvResult { written, notOpened, failed };
CsvResult WriteCsvFile(StoreList which, const std::string& strStorePath, const CMessageArray& list);
CsvResult WriteCsvFile(StoreList which, const std::string& strStorePath, const CAddressArray& list);
