// One text field of a record (CMessage): a NUL-terminated byte string that is either
// its own heap block or a view into a block its record owns. A record read from a
// store file keeps all its texts in one block (see CMessage::PackTexts), so that a
// list of 100,000 records costs two heap blocks per record, not one per text.
//
// The contract:
//  - A copy or a move of a text is always its own: it never points into a record's
//    block, so it outlives the record it came from.
//  - Assigning to a text makes it its own (reusing its own block when large enough);
//    the record's block keeps the bytes it had, unused.
//  - A text that views a block is valid only while that block lives; only CMessage
//    makes such texts, and only for its own members.
//  - It reads like a const std::string (size, empty, c_str, data, [], comparisons,
//    +) and converts to std::string and std::string_view, so callers that read the
//    fields compile unchanged. Lengths are limited to 4 GB - 1, as in the store files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

class CRecordText {
 public:
  CRecordText() = default;
  explicit CRecordText(std::string_view text) { Assign(text); }
  CRecordText(const CRecordText& other) { Assign(other.View()); }
  CRecordText(CRecordText&& other) noexcept;
  ~CRecordText() { Release(); }

  CRecordText& operator=(const CRecordText& other);
  CRecordText& operator=(CRecordText&& other) noexcept;
  CRecordText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  CRecordText& operator=(const std::string& str) {
    Assign(str);
    return *this;
  }
  CRecordText& operator=(const char* psz) {
    Assign(std::string_view(psz));
    return *this;
  }
  CRecordText& operator+=(std::string_view text);

  size_t size() const { return m_nLength; }
  size_t length() const { return m_nLength; }
  bool empty() const { return m_nLength == 0; }
  const char* c_str() const { return m_psz; }
  const char* data() const { return m_psz; }
  const char* begin() const { return m_psz; }
  const char* end() const { return m_psz + m_nLength; }
  char operator[](size_t i) const { return m_psz[i]; }
  void clear() { Assign(std::string_view()); }
  std::string_view View() const { return {m_psz, m_nLength}; }
  std::string substr(size_t nPos, size_t nCount = std::string::npos) const {
    return std::string(View().substr(nPos, nCount));
  }
  size_t find(std::string_view text, size_t nPos = 0) const { return View().find(text, nPos); }
  size_t find(char c, size_t nPos = 0) const { return View().find(c, nPos); }

  operator std::string_view() const { return View(); }          // NOLINT: reads like a string
  operator std::string() const { return std::string(View()); }  // NOLINT

  friend bool operator==(const CRecordText& a, const CRecordText& b) { return a.View() == b.View(); }
  friend bool operator==(const CRecordText& a, std::string_view b) { return a.View() == b; }
  friend bool operator==(const CRecordText& a, const std::string& b) { return a.View() == b; }
  friend bool operator==(const CRecordText& a, const char* b) { return a.View() == b; }
  friend auto operator<=>(const CRecordText& a, const CRecordText& b) { return a.View() <=> b.View(); }
  friend auto operator<=>(const CRecordText& a, std::string_view b) { return a.View() <=> b; }

  friend std::string operator+(const CRecordText& a, std::string_view b) { return Join(a.View(), b); }
  friend std::string operator+(std::string_view a, const CRecordText& b) { return Join(a, b.View()); }
  friend std::string operator+(const CRecordText& a, const std::string& b) { return Join(a.View(), b); }
  friend std::string operator+(const std::string& a, const CRecordText& b) { return Join(a, b.View()); }
  friend std::string operator+(const CRecordText& a, const char* b) { return Join(a.View(), b); }
  friend std::string operator+(const char* a, const CRecordText& b) { return Join(a, b.View()); }
  friend std::string operator+(const CRecordText& a, const CRecordText& b) {
    return Join(a.View(), b.View());
  }

 private:
  friend class CMessage;

  // Points the text at nLength bytes of a record's block, followed by a NUL there.
  void ViewInto(const char* p, size_t nLength) {
    Release();
    m_psz = p;
    m_nLength = static_cast<uint32_t>(nLength);
  }
  void Assign(std::string_view text);
  void Release() {
    if (m_nCapacity != 0)
      FreeOwn();
    m_psz = s_szEmpty;
    m_nLength = 0;
  }
  void FreeOwn();                               // frees the text's own block
  void TakeBlock(CRecordText& other) noexcept;  // other's own block becomes this text's; other is empty
  static std::string Join(std::string_view a, std::string_view b);

  static const char s_szEmpty[1];
  const char* m_psz = s_szEmpty;
  uint32_t m_nLength = 0;
  uint32_t m_nCapacity = 0;  // non-zero: m_psz is this text's own block of m_nCapacity + 1 bytes
};

std::ostream& operator<<(std::ostream& os, const CRecordText& text);
