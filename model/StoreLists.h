// The five store files of the lists, as the pages load and save them: the full path
// is the data folder (ending in '/') followed by the file's name from the string
// table. Failures are reported here, in OK message boxes through the prompt service,
// as each file's rules say; nothing is thrown.
//
// Load: a file that cannot be opened (missing, in use, access denied) shows nothing
// and leaves the list empty. Records read before an error stay in the list. The
// model's own steps after a successful load are done here: the address book is
// sorted by name and unnamed entries get the name "NoName"; the preset list gets the
// five default texts when its file cannot be opened or holds no entry (but not after
// an error). The pages do their own steps when the result is `loaded`.
//
// Save: the whole list replaces the file (see StoreFile.h); a file that cannot be
// opened for writing shows "Unable to Save " followed by its path ("SMSOut.Dat"
// alone for the outgoing list).
#pragma once

#include <string>

#include "model/Lists.h"

enum class StoreList { inbox, outbox, addressBook, presets, serviceCenters };

// "SMSIn.Dat", "SMSOut.Dat", "SMSAdd.Dat", "SMSList.Dat", "SMSSCA.Dat".
std::string GetStoreFileName(StoreList which);
std::string GetStorePath(const std::string& strDataFolder, StoreList which);

enum class LoadResult {
  loaded,     // read completely
  notOpened,  // could not be opened: the list stays as it was
  failed,     // an error while reading: the list holds what was read before it
};

LoadResult LoadInbox(const std::string& strDataFolder, CMessageArray& list);
LoadResult LoadOutbox(const std::string& strDataFolder, CMessageArray& list);
LoadResult LoadAddressBook(const std::string& strDataFolder, CAddressArray& list);
LoadResult LoadPresets(const std::string& strDataFolder, CMessageArray& list);
LoadResult LoadServiceCenters(const std::string& strDataFolder, CAddressArray& list);

// True when the file was written.
bool SaveInbox(const std::string& strDataFolder, const CMessageArray& list);
bool SaveOutbox(const std::string& strDataFolder, const CMessageArray& list);
bool SaveAddressBook(const std::string& strDataFolder, const CAddressArray& list);
bool SavePresets(const std::string& strDataFolder, const CMessageArray& list);
bool SaveServiceCenters(const std::string& strDataFolder, const CAddressArray& list);

// Appends the five default preset texts (string-table entries 115 to 119).
void AddDefaultPresets(CMessageArray& list);
// Sorts the address book by name (bytes compared as unsigned values) and names the
// entries without a name "NoName", in their places.
void SortAndNameAddressBook(CAddressArray& list);
