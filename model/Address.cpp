#include "model/Address.h"

#include "model/Archive.h"

CAddress& CAddress::operator=(const CAddress& other) {
  if (this == &other)
    return *this;
  m_strNumber = other.m_strNumber;
  m_strName = other.m_strName;
  m_nIndex = other.m_nIndex;
  return *this;
}

void CAddress::Serialize(CArchive& ar) {
  if (ar.IsStoring())
    ar << m_strNumber << m_strName;
  else
    ar >> m_strNumber >> m_strName;
}
