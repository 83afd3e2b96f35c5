#include "model/StoreLists.h"

#include <algorithm>
#include <new>

#include "errors/ErrorTexts.h"
#include "model/StoreFile.h"
#include "platform/PromptService.h"
#include "res/StringTable.h"

namespace {

// Which failures of a file are shown to the user. Out of memory never is.
struct SFileRules {
  StoreList which;
  unsigned int nNameId;
  bool bShowLoadFileError;
  bool bShowLoadArchiveError;
  bool bShowSaveFileError;
  bool bShowSaveArchiveError;
};

constexpr SFileRules g_rules[] = {
    {StoreList::inbox, IDS_FILE_SMSIN, true, true, true, true},
    {StoreList::outbox, IDS_FILE_SMSOUT, false, true, true, true},
    {StoreList::addressBook, IDS_FILE_SMSADD, true, false, false, false},
    {StoreList::presets, IDS_FILE_SMSLIST, true, false, false, false},
    {StoreList::serviceCenters, IDS_FILE_SMSSCA, true, true, true, true},
};

const SFileRules& RulesOf(StoreList which) { return g_rules[static_cast<size_t>(which)]; }

// Shows the text of a file or archive error when the rules ask for it. A cause
// without a text gives an empty message box.
void ReportError(const CStoreResult& result, bool bShowFileError, bool bShowArchiveError) {
  std::string strText;
  if (result.m_kind == CStoreResult::fileError && bShowFileError) {
    GetFileErrorText(result.m_nCause, strText);
    AfxMessageBox(strText, MB_OK);
  } else if (result.m_kind == CStoreResult::archiveError && bShowArchiveError) {
    GetArchiveErrorText(result.m_nCause, strText);
    AfxMessageBox(strText, MB_OK);
  }
}

template <class List>
LoadResult Load(const std::string& strDataFolder, StoreList which, List& list) {
  const SFileRules& rules = RulesOf(which);
  try {
    CStoreResult result = ReadStoreFile(GetStorePath(strDataFolder, which), list);
    if (result.m_kind == CStoreResult::notOpened)
      return LoadResult::notOpened;
    if (!result.IsOk()) {
      ReportError(result, rules.bShowLoadFileError, rules.bShowLoadArchiveError);
      return LoadResult::failed;
    }
    return LoadResult::loaded;
  } catch (const std::bad_alloc&) {  // out of memory is never shown
    return LoadResult::failed;
  }
}

template <class List>
bool Save(const std::string& strDataFolder, StoreList which, const List& list) {
  const SFileRules& rules = RulesOf(which);
  try {
    std::string strPath = GetStorePath(strDataFolder, which);
    CStoreResult result = WriteStoreFile(strPath, list);
    if (result.m_kind == CStoreResult::notOpened) {
      // The outgoing list names its file alone; the others give the full path.
      AfxMessageBox(
          LoadString(IDS_UNABLE_TO_SAVE) + (which == StoreList::outbox ? GetStoreFileName(which) : strPath),
          MB_OK);
      return false;
    }
    if (!result.IsOk()) {
      ReportError(result, rules.bShowSaveFileError, rules.bShowSaveArchiveError);
      return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

std::string GetStoreFileName(StoreList which) { return LoadString(RulesOf(which).nNameId); }

std::string GetStorePath(const std::string& strDataFolder, StoreList which) {
  return strDataFolder + GetStoreFileName(which);
}

LoadResult LoadInbox(const std::string& strDataFolder, CMessageArray& list) {
  return Load(strDataFolder, StoreList::inbox, list);
}

LoadResult LoadOutbox(const std::string& strDataFolder, CMessageArray& list) {
  return Load(strDataFolder, StoreList::outbox, list);
}

LoadResult LoadAddressBook(const std::string& strDataFolder, CAddressArray& list) {
  LoadResult result = Load(strDataFolder, StoreList::addressBook, list);
  if (result == LoadResult::loaded) {
    try {
      SortAndNameAddressBook(list);
    } catch (const std::bad_alloc&) {
      return LoadResult::failed;
    }
  }
  return result;
}

LoadResult LoadPresets(const std::string& strDataFolder, CMessageArray& list) {
  LoadResult result = Load(strDataFolder, StoreList::presets, list);
  if (result == LoadResult::notOpened || (result == LoadResult::loaded && list.empty())) {
    try {
      AddDefaultPresets(list);
    } catch (const std::bad_alloc&) {
      return LoadResult::failed;
    }
  }
  return result;
}

LoadResult LoadServiceCenters(const std::string& strDataFolder, CAddressArray& list) {
  return Load(strDataFolder, StoreList::serviceCenters, list);
}

bool SaveInbox(const std::string& strDataFolder, const CMessageArray& list) {
  return Save(strDataFolder, StoreList::inbox, list);
}

bool SaveOutbox(const std::string& strDataFolder, const CMessageArray& list) {
  return Save(strDataFolder, StoreList::outbox, list);
}

bool SaveAddressBook(const std::string& strDataFolder, const CAddressArray& list) {
  return Save(strDataFolder, StoreList::addressBook, list);
}

bool SavePresets(const std::string& strDataFolder, const CMessageArray& list) {
  return Save(strDataFolder, StoreList::presets, list);
}

bool SaveServiceCenters(const std::string& strDataFolder, const CAddressArray& list) {
  return Save(strDataFolder, StoreList::serviceCenters, list);
}

void AddDefaultPresets(CMessageArray& list) {
  static constexpr unsigned int s_ids[] = {IDS_PRESET_1, IDS_PRESET_2, IDS_PRESET_3, IDS_PRESET_4,
                                           IDS_PRESET_5};
  for (unsigned int nId : s_ids) {
    auto pPreset = std::make_unique<CMessage>();
    pPreset->SetMessage(LoadString(nId));
    list.push_back(std::move(pPreset));
  }
}

void SortAndNameAddressBook(CAddressArray& list) {
  // std::string compares its bytes as unsigned values.
  std::stable_sort(list.begin(), list.end(),
                   [](const std::unique_ptr<CAddress>& a, const std::unique_ptr<CAddress>& b) {
                     return a->m_strName < b->m_strName;
                   });
  std::string strNoName = LoadString(IDS_NONAME);
  for (auto& pEntry : list) {
    if (!pEntry->m_strName.empty())
      continue;
    auto pNamed = std::make_unique<CAddress>();
    pNamed->SetNumber(pEntry->GetNumber());
    pNamed->SetName(strNoName);
    pEntry = std::move(pNamed);
  }
}
