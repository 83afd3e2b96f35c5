#include "model/RecordText.h"

#include <cstring>
#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>
#include <utility>

const char CRecordText::s_szEmpty[1] = {'\0'};

CRecordText::CRecordText(CRecordText&& other) noexcept { *this = std::move(other); }

CRecordText& CRecordText::operator=(const CRecordText& other) {
  if (this != &other)
    Assign(other.View());
  return *this;
}

CRecordText& CRecordText::operator=(CRecordText&& other) noexcept {
  if (this == &other)
    return *this;
  if (other.m_nCapacity == 0) {
    // A view or the empty text: the bytes are not other's to give away. Copying
    // cannot throw here without memory, which a move may not report: an empty
    // text stands in then, as after a failed allocation nothing else would.
    try {
      Assign(other.View());
    } catch (...) {
      Release();
    }
    return *this;
  }
  Release();
  TakeBlock(other);
  return *this;
}

void CRecordText::TakeBlock(CRecordText& other) noexcept {
  m_psz = other.m_psz;
  m_nLength = other.m_nLength;
  m_nCapacity = other.m_nCapacity;
  other.m_psz = s_szEmpty;
  other.m_nLength = 0;
  other.m_nCapacity = 0;
}

void CRecordText::FreeOwn() {
  delete[] m_psz;
  m_nCapacity = 0;
}

void CRecordText::Assign(std::string_view text) {
  if (text.size() > std::numeric_limits<uint32_t>::max() - 1)
    throw std::length_error("record text");
  if (text.empty() && m_nCapacity == 0) {
    Release();
    return;
  }
  if (m_nCapacity >= text.size()) {
    // Own block large enough: refill in place (the text may be a part of it). The
    // block is kept even for an empty text, for a record that is filled again.
    char* p = const_cast<char*>(m_psz);
    if (!text.empty())  // an empty view may have no bytes at all
      std::memmove(p, text.data(), text.size());
    p[text.size()] = '\0';
    m_nLength = static_cast<uint32_t>(text.size());
    return;
  }
  char* p = new char[text.size() + 1];
  std::memcpy(p, text.data(), text.size());
  p[text.size()] = '\0';
  Release();
  m_psz = p;
  m_nLength = static_cast<uint32_t>(text.size());
  m_nCapacity = m_nLength;
}

CRecordText& CRecordText::operator+=(std::string_view text) {
  if (!text.empty())
    Assign(Join(View(), text));
  return *this;
}

std::string CRecordText::Join(std::string_view a, std::string_view b) {
  std::string str;
  str.reserve(a.size() + b.size());
  str.append(a);
  str.append(b);
  return str;
}

std::ostream& operator<<(std::ostream& os, const CRecordText& text) { return os << text.View(); }
