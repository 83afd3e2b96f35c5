#include "platform/RegistryFile.h"

#include <algorithm>
#include <unordered_map>

#include "platform/CharsetUtf.h"
#include "res/resource.h"

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHive = "HKEY_CURRENT_USER";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && CRegistryFile::EqualNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// UTF-16LE (after its byte-order mark) to UTF-8. False on an odd length or an
// unpaired surrogate; nLine then tells the line it happened on.
bool DecodeUtf16Le(std::string_view bytes, std::string& out, int& nLine) {
  nLine = 1;
  out.reserve(bytes.size() / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    if (i + 1 >= bytes.size())
      return false;  // an odd byte at the end
    uint32_t u = static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 3 >= bytes.size())
        return false;
      uint32_t v = static_cast<uint8_t>(bytes[i + 2]) | (static_cast<uint8_t>(bytes[i + 3]) << 8);
      if (v < 0xDC00 || v > 0xDFFF)
        return false;
      u = 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
      i += 2;
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      return false;
    }
    if (u == '\n')
      ++nLine;
    CCharsetUtf::AppendUtf8(out, u);
  }
  return true;
}

// Reads a quoted string starting at s[0] == '"'. On success returns true, the
// unescaped text in out and the rest after the closing quote in rest. On failure
// nReason is IDS_REGERR_BAD_ESCAPE or nUnterminated.
bool ReadQuoted(std::string_view s, std::string& out, std::string_view& rest, unsigned int nUnterminated,
                unsigned int& nReason) {
  out.clear();
  size_t i = 1;
  for (;;) {
    size_t n = s.find_first_of("\"\\", i);
    if (n == std::string_view::npos)
      break;
    out.append(s.data() + i, n - i);
    if (s[n] == '"') {
      rest = s.substr(n + 1);
      return true;
    }
    if (n + 1 >= s.size())
      break;
    char c = s[n + 1];
    if (c != '\\' && c != '"') {
      nReason = IDS_REGERR_BAD_ESCAPE;
      return false;
    }
    out += c;
    i = n + 2;
  }
  nReason = nUnterminated;
  return false;
}

// Binary data (after "hex:" or "hex(n):"): hex digits, commas and blanks; a final
// backslash continues it on the next line.
bool IsRawDataLine(std::string_view s, bool& bContinues) {
  std::string_view t = TrimRight(s);
  bContinues = !t.empty() && t.back() == '\\';
  if (bContinues)
    t.remove_suffix(1);
  for (char c : t)
    if (HexDigit(c) < 0 && c != ',' && !IsBlank(c))
      return false;
  return true;
}

// "hex:" or "hex(<hex digits>):" at the start of s: the length of that prefix, else 0.
size_t RawTypePrefix(std::string_view s) {
  if (!StartsWithNoCase(s, "hex"))
    return 0;
  size_t i = 3;
  if (i < s.size() && s[i] == '(') {
    size_t j = i + 1;
    while (j < s.size() && HexDigit(s[j]) >= 0)
      ++j;
    if (j == i + 1 || j >= s.size() || s[j] != ')')
      return 0;
    i = j + 1;
  }
  if (i < s.size() && s[i] == ':')
    return i + 1;
  return 0;
}

void AppendEscaped(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0;;) {
    size_t n = s.find_first_of("\"\\", i);
    if (n == std::string_view::npos) {
      out.append(s.data() + i, s.size() - i);
      break;
    }
    out.append(s.data() + i, n - i);
    out += '\\';
    out += s[n];
    i = n + 1;
  }
  out += '"';
}

}  // namespace

bool CRegistryFile::EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i]))
      return false;
  return true;
}

bool CRegistryFile::IsValidText(std::string_view str) {
  return str.find('\n') == std::string_view::npos && str.find('\0') == std::string_view::npos;
}

bool CRegistryFile::IsValidKeyPath(std::string_view strPath) {
  if (!IsValidText(strPath))
    return false;
  if (strPath.empty())
    return true;
  size_t nStart = 0;
  for (;;) {
    size_t nEnd = strPath.find('\\', nStart);
    size_t nLen = (nEnd == std::string_view::npos ? strPath.size() : nEnd) - nStart;
    if (nLen == 0)
      return false;
    if (nEnd == std::string_view::npos)
      return true;
    nStart = nEnd + 1;
  }
}

namespace {
std::string Folded(std::string_view s) {
  std::string str(s);
  for (char& c : str)
    c = LowerAscii(c);
  return str;
}
}  // namespace

CRegistryFile::SKey& CRegistryFile::AddKey(std::string_view strPath) {
  std::string strFolded = Folded(strPath);
  m_index.emplace(strFolded, m_keys.size());
  for (size_t n = strFolded.rfind('\\'); n != std::string::npos && n != 0; n = strFolded.rfind('\\', n - 1)) {
    if (!m_implied.insert(strFolded.substr(0, n)).second)
      break;  // the rest is there already
  }
  m_keys.push_back(SKey{std::string(strPath), {}});
  return m_keys.back();
}

void CRegistryFile::ClearKeys() {
  m_keys.clear();
  m_index.clear();
  m_implied.clear();
}

const CRegistryFile::SKey* CRegistryFile::FindKey(std::string_view strPath) const {
  auto it = m_index.find(Folded(strPath));
  return it == m_index.end() ? nullptr : &m_keys[it->second];
}

CRegistryFile::SKey* CRegistryFile::FindKey(std::string_view strPath) {
  return const_cast<SKey*>(static_cast<const CRegistryFile*>(this)->FindKey(strPath));
}

bool CRegistryFile::KeyExists(std::string_view strPath) const {
  if (!IsValidKeyPath(strPath))
    return false;
  if (strPath.empty())
    return !m_keys.empty();  // any key implies the hive
  std::string strFolded = Folded(strPath);
  return m_index.count(strFolded) != 0 || m_implied.count(strFolded) != 0;
}

CRegistryFile::SKey* CRegistryFile::CreateKey(std::string_view strPath) {
  if (!IsValidKeyPath(strPath))
    return nullptr;
  // Parents first, so that the file lists a key after the keys above it.
  size_t nPos = 0;
  while (!strPath.empty()) {
    size_t nEnd = strPath.find('\\', nPos);
    std::string_view part = strPath.substr(0, nEnd == std::string_view::npos ? strPath.size() : nEnd);
    if (!FindKey(part))
      AddKey(part);
    if (nEnd == std::string_view::npos)
      break;
    nPos = nEnd + 1;
  }
  if (strPath.empty() && !FindKey(strPath))
    AddKey(strPath);
  return FindKey(strPath);
}

const CRegistryFile::SValue* CRegistryFile::FindValue(const SKey& key, std::string_view strName) {
  for (const SValue& v : key.values)
    if (EqualNoCase(v.strName, strName))
      return &v;
  return nullptr;
}

CRegistryFile::SValue* CRegistryFile::FindValue(SKey& key, std::string_view strName) {
  return const_cast<SValue*>(FindValue(static_cast<const SKey&>(key), strName));
}

void CRegistryFile::SetValue(SKey& key, const SValue& value) {
  if (SValue* p = FindValue(key, value.strName)) {
    std::string strName = std::move(p->strName);  // the first spelling stays
    *p = value;
    p->strName = std::move(strName);
  } else {
    key.values.push_back(value);
  }
}

bool CRegistryFile::DeleteValue(SKey& key, std::string_view strName) {
  auto it = std::find_if(key.values.begin(), key.values.end(),
                         [&](const SValue& v) { return EqualNoCase(v.strName, strName); });
  if (it == key.values.end())
    return false;
  key.values.erase(it);
  return true;
}

bool CRegistryFile::Parse(std::string_view text, SError& err) {
  ClearKeys();
  err = SError{};
  auto Fail = [&](int nLine, unsigned int nReason) {
    ClearKeys();
    err.nLine = nLine;
    err.nReasonID = nReason;
    return false;
  };

  std::string decoded;
  if (text.size() >= 2 && static_cast<uint8_t>(text[0]) == 0xFF && static_cast<uint8_t>(text[1]) == 0xFE) {
    int nLine = 0;
    if (!DecodeUtf16Le(text.substr(2), decoded, nLine))
      return Fail(nLine, IDS_REGERR_UTF16);
    text = decoded;
  } else if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
  }

  size_t nNul = text.find('\0');
  if (nNul != std::string_view::npos)
    return Fail(static_cast<int>(std::count(text.begin(), text.begin() + nNul, '\n')) + 1, IDS_REGERR_NUL);

  if (std::all_of(text.begin(), text.end(), [](char c) { return IsBlank(c) || c == '\n'; }))
    return true;  // nothing at all: an empty store

  // Split into lines; a "\r\n" end loses its '\r'.
  std::vector<std::string_view> lines;
  for (size_t nStart = 0; nStart <= text.size();) {
    size_t nEnd = text.find('\n', nStart);
    if (nEnd == std::string_view::npos) {
      if (nStart < text.size())
        lines.push_back(text.substr(nStart));
      break;
    }
    std::string_view line = text.substr(nStart, nEnd - nStart);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    lines.push_back(line);
    nStart = nEnd + 1;
  }
  if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\r')
    lines.back().remove_suffix(1);

  std::string_view header = TrimRight(lines.empty() ? std::string_view() : lines[0]);
  if (header != kHeader5 && header != kHeader4)
    return Fail(1, IDS_REGERR_HEADER);

  // Lower-cased value names of each key (by index), so that a value given twice is
  // found without scanning the key.
  std::vector<std::unordered_map<std::string, size_t>> nameIndex;
  size_t nKey = 0;
  SKey* pKey = nullptr;
  std::string strName, strText;
  for (size_t i = 1; i < lines.size(); ++i) {
    const int nLine = static_cast<int>(i) + 1;
    std::string_view line = TrimLeft(lines[i]);
    if (TrimRight(line).empty() || line.front() == ';')
      continue;

    if (line.front() == '[') {
      size_t nClose = line.rfind(']');
      if (nClose == std::string_view::npos || !TrimRight(line.substr(nClose + 1)).empty())
        return Fail(nLine, IDS_REGERR_BAD_KEY);
      std::string_view full = line.substr(1, nClose - 1);
      if (!StartsWithNoCase(full, kHive))
        return Fail(nLine, IDS_REGERR_BAD_KEY);
      std::string_view path = full.substr(kHive.size());
      if (!path.empty()) {
        if (path.front() != '\\')
          return Fail(nLine, IDS_REGERR_BAD_KEY);
        path.remove_prefix(1);
        if (path.empty())
          return Fail(nLine, IDS_REGERR_BAD_KEY);
      }
      if (!IsValidKeyPath(path))
        return Fail(nLine, IDS_REGERR_BAD_KEY);
      pKey = FindKey(path);
      if (!pKey) {
        nameIndex.emplace_back();
        pKey = &AddKey(path);
      }
      nKey = static_cast<size_t>(pKey - m_keys.data());
      continue;
    }

    std::string_view rest;
    if (line.front() == '@') {
      strName.clear();
      rest = line.substr(1);
    } else if (line.front() == '"') {
      unsigned int nReason = 0;
      if (!ReadQuoted(line, strName, rest, IDS_REGERR_BAD_NAME, nReason)) {
        return Fail(nLine, nReason == IDS_REGERR_BAD_ESCAPE ? IDS_REGERR_BAD_NAME : nReason);
      }
    } else {
      return Fail(nLine, IDS_REGERR_BAD_LINE);
    }
    rest = TrimLeft(rest);
    if (rest.empty() || rest.front() != '=')
      return Fail(nLine, IDS_REGERR_BAD_LINE);
    if (!pKey)
      return Fail(nLine, IDS_REGERR_VALUE_BEFORE_KEY);
    rest = TrimLeft(rest.substr(1));

    SValue value;
    value.strName = strName;
    if (!rest.empty() && rest.front() == '"') {
      std::string_view after;
      unsigned int nReason = 0;
      if (!ReadQuoted(rest, strText, after, IDS_REGERR_UNTERMINATED, nReason))
        return Fail(nLine, nReason);
      if (!TrimRight(after).empty())
        return Fail(nLine, IDS_REGERR_TRAILING);
      value.eType = EType::Text;
      value.strText = strText;
    } else if (StartsWithNoCase(rest, "dword:")) {
      std::string_view digits = TrimRight(rest.substr(6));
      if (digits.empty() || digits.size() > 8)
        return Fail(nLine, IDS_REGERR_BAD_DWORD);
      uint32_t n = 0;
      for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0)
          return Fail(nLine, IDS_REGERR_BAD_DWORD);
        n = (n << 4) | static_cast<uint32_t>(d);
      }
      value.eType = EType::Number;
      value.nNumber = n;
    } else if (size_t nPrefix = RawTypePrefix(rest); nPrefix != 0) {
      bool bContinues = false;
      if (!IsRawDataLine(rest.substr(nPrefix), bContinues))
        return Fail(nLine, IDS_REGERR_BAD_TYPE);
      value.eType = EType::Raw;
      value.strText = std::string(rest);
      while (bContinues) {
        if (++i >= lines.size())
          return Fail(nLine, IDS_REGERR_CONTINUATION);
        if (!IsRawDataLine(lines[i], bContinues))
          return Fail(static_cast<int>(i) + 1, IDS_REGERR_BAD_TYPE);
        value.strText += '\n';
        value.strText += lines[i];
      }
    } else {
      return Fail(nLine, IDS_REGERR_BAD_TYPE);
    }
    std::string strFolded = value.strName;
    for (char& c : strFolded)
      c = LowerAscii(c);
    auto [it, bNew] = nameIndex[nKey].emplace(std::move(strFolded), pKey->values.size());
    if (bNew) {
      pKey->values.push_back(std::move(value));
    } else {
      value.strName = std::move(pKey->values[it->second].strName);  // the first spelling stays
      pKey->values[it->second] = std::move(value);
    }
  }
  return true;
}

std::string CRegistryFile::Write() const {
  std::string out;
  size_t nSize = 64;
  for (const SKey& k : m_keys) {
    nSize += k.strPath.size() + 32;
    for (const SValue& v : k.values)
      nSize += v.strName.size() + v.strText.size() + 24;
  }
  out.reserve(nSize);
  out += kHeader5;
  out += "\r\n\r\n";
  for (const SKey& k : m_keys) {
    out += '[';
    out += kHive;
    if (!k.strPath.empty()) {
      out += '\\';
      out += k.strPath;
    }
    out += "]\r\n";
    for (const SValue& v : k.values) {
      if (v.strName.empty())
        out += '@';
      else
        AppendEscaped(out, v.strName);
      out += '=';
      switch (v.eType) {
        case EType::Text:
          AppendEscaped(out, v.strText);
          break;
        case EType::Number: {
          static const char kHex[] = "0123456789abcdef";
          char digits[8];
          for (int i = 0; i < 8; ++i)
            digits[i] = kHex[(v.nNumber >> (28 - 4 * i)) & 0xF];
          out += "dword:";
          out.append(digits, 8);
          break;
        }
        case EType::Raw:
          for (char c : v.strText) {
            if (c == '\n')
              out += '\r';
            out += c;
          }
          break;
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}
