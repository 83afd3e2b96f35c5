#include "vphone/Phonebook.h"

namespace vphone {

namespace {

// Code points of a UTF-8 text; a broken sequence gives U+FFFD and moves on a byte.
std::vector<unsigned> CodePoints(const std::string& s) {
  std::vector<unsigned> out;
  for (std::size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    int nMore = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
    if (nMore < 0 || i + static_cast<std::size_t>(nMore) >= s.size() + (nMore == 0 ? 1 : 0)) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    unsigned cp = nMore == 0 ? c : c & (0x3F >> nMore);
    for (int k = 1; k <= nMore; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<std::size_t>(nMore) + 1;
  }
  return out;
}

}  // namespace

CPhonebook::CPhonebook() {
  m_mapBooks["SM"] = {
      {1, {"+447700900001", 145, "Alice Martin"}},
      {2, {"07700900002", 129, "J\xC3\xBCrgen Gro\xC3\x9F"}},                   // Jürgen Groß
      {3, {"+306912345678", 145, "\xCE\x95\xCE\xBB\xCE\xAD\xCE\xBD\xCE\xB7"}},  // Ελένη
  };
  m_mapBooks["ME"] = {
      {1, {"+8613800138000", 145, "\xE7\x8E\x8B\xE5\xB0\x8F\xE6\x98\x8E"}},  // 王小明
      {2, {"+447700900005", 145, "Bob"}},
      {4, {"+79161234567", 145, "\xD0\x90\xD0\xBB\xD0\xB5\xD0\xBA\xD1\x81\xD0\xB5\xD0\xB9"}},  // Алексей
  };
}

int CPhonebook::GetCapacity(const std::string& strName) const { return strName == "SM" ? 250 : 100; }

const std::map<int, CPhonebookEntry>& CPhonebook::GetEntries(const std::string& strName) const {
  static const std::map<int, CPhonebookEntry> kNone;
  auto it = m_mapBooks.find(strName);
  return it == m_mapBooks.end() ? kNone : it->second;
}

std::string CPhonebook::EncodeName(const std::string& strUtf8, const std::string& strCharset) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned cp : CodePoints(strUtf8)) {
    if (strCharset == "UCS2") {
      if (cp > 0xFFFF)
        cp = 0xFFFD;
      for (int nShift = 12; nShift >= 0; nShift -= 4)
        out += kHex[(cp >> nShift) & 0xF];
    } else if (strCharset == "8859-1" && cp < 0x100) {
      out += static_cast<char>(cp);
    } else {
      out += (cp < 0x80 && cp != '"') ? static_cast<char>(cp) : '?';
    }
  }
  return out;
}

}  // namespace vphone
