#include "vphone/MessageStore.h"

namespace vphone {

bool CMessageStore::AddStorage(const std::string& strName, int nCapacity) {
  if (nCapacity <= 0 || strName.empty() || Find(strName))
    return false;
  m_vecAreas.push_back(CArea{strName, nCapacity, {}});
  return true;
}

bool CMessageStore::HasStorage(const std::string& strName) const { return Find(strName) != nullptr; }

std::vector<std::string> CMessageStore::GetStorageNames() const {
  std::vector<std::string> names;
  for (const CArea& area : m_vecAreas)
    names.push_back(area.m_strName);
  return names;
}

int CMessageStore::GetCapacity(const std::string& strName) const {
  const CArea* pArea = Find(strName);
  return pArea ? pArea->m_nCapacity : 0;
}

int CMessageStore::GetUsed(const std::string& strName) const {
  const CArea* pArea = Find(strName);
  return pArea ? static_cast<int>(pArea->m_mapSlots.size()) : 0;
}

int CMessageStore::Add(const std::string& strName, const CStoredMessage& message) {
  CArea* pArea = Find(strName);
  if (!pArea)
    return 0;
  int nIndex = 1;
  for (const auto& slot : pArea->m_mapSlots) {  // ascending: the first gap is the lowest free
    if (slot.first != nIndex)
      break;
    ++nIndex;
  }
  if (nIndex > pArea->m_nCapacity)
    return 0;
  pArea->m_mapSlots[nIndex] = message;
  return nIndex;
}

CStoredMessage* CMessageStore::Get(const std::string& strName, int nIndex) {
  CArea* pArea = Find(strName);
  if (!pArea)
    return nullptr;
  auto it = pArea->m_mapSlots.find(nIndex);
  return it == pArea->m_mapSlots.end() ? nullptr : &it->second;
}

const CStoredMessage* CMessageStore::Get(const std::string& strName, int nIndex) const {
  return const_cast<CMessageStore*>(this)->Get(strName, nIndex);
}

bool CMessageStore::Delete(const std::string& strName, int nIndex) {
  CArea* pArea = Find(strName);
  return pArea && pArea->m_mapSlots.erase(nIndex) > 0;
}

std::vector<int> CMessageStore::GetIndexes(const std::string& strName) const {
  std::vector<int> indexes;
  if (const CArea* pArea = Find(strName))
    for (const auto& slot : pArea->m_mapSlots)
      indexes.push_back(slot.first);
  return indexes;
}

CMessageStore::CArea* CMessageStore::Find(const std::string& strName) {
  for (CArea& area : m_vecAreas)
    if (area.m_strName == strName)
      return &area;
  return nullptr;
}

const CMessageStore::CArea* CMessageStore::Find(const std::string& strName) const {
  return const_cast<CMessageStore*>(this)->Find(strName);
}

}  // namespace vphone
