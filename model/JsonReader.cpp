#include "model/JsonReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "model/JsonBytes.h"
#include "platform/CharsetUtf.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool CJsonReader::Fail(const char* pszReason) {
  if (m_strError.empty()) {
    m_strError = pszReason;
    m_nErrorPos = m_nPos;
  }
  return false;
}

std::string CJsonReader::Error() const { return m_strError + " at offset " + std::to_string(m_nErrorPos); }

bool CJsonReader::Literal(std::string_view word) {
  if (m_text.substr(m_nPos, word.size()) != word)
    return Fail("unknown word");
  m_nPos += word.size();
  return true;
}

CJsonReader::Kind CJsonReader::PeekValue(int nDepth) {
  if (nDepth > kMaxDepth)
    return Fail("nested too deeply"), invalid;
  SkipSpace();
  if (m_nPos >= m_text.size())
    return Fail("value expected"), invalid;
  const char c = m_text[m_nPos];
  switch (c) {
    case '{':
      return object;
    case '[':
      return array;
    case '"':
      return string;
    case 't':
    case 'f':
      return boolean;
    case 'n':
      return null;
    default:
      if (c == '-' || IsDigit(c))
        return number;
      return Fail("value expected"), invalid;
  }
}

bool CJsonReader::ReadBoolean(bool& b) {
  b = m_text[m_nPos] == 't';
  return Literal(b ? "true" : "false");
}

bool CJsonReader::ReadNull() { return Literal("null"); }

bool CJsonReader::ReadNumber(std::string_view& text) {
  const size_t nStart = m_nPos;
  if (m_text[m_nPos] == '-')
    ++m_nPos;
  auto digits = [&] {
    const size_t n = m_nPos;
    while (m_nPos < m_text.size() && IsDigit(m_text[m_nPos]))
      ++m_nPos;
    return m_nPos - n;
  };
  if (digits() == 0)
    return Fail("digit expected");
  if (m_nPos < m_text.size() && m_text[m_nPos] == '.') {
    ++m_nPos;
    if (digits() == 0)
      return Fail("digit expected");
  }
  if (m_nPos < m_text.size() && (m_text[m_nPos] == 'e' || m_text[m_nPos] == 'E')) {
    ++m_nPos;
    if (m_nPos < m_text.size() && (m_text[m_nPos] == '+' || m_text[m_nPos] == '-'))
      ++m_nPos;
    if (digits() == 0)
      return Fail("digit expected");
  }
  text = m_text.substr(nStart, m_nPos - nStart);
  return true;
}

bool CJsonReader::ReadHex4(unsigned int& n) {
  if (m_text.size() - m_nPos < 4)
    return Fail("bad \\u escape");
  n = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = m_text[m_nPos++];
    unsigned int d;
    if (c >= '0' && c <= '9')
      d = static_cast<unsigned int>(c - '0');
    else if (c >= 'a' && c <= 'f')
      d = static_cast<unsigned int>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      d = static_cast<unsigned int>(c - 'A' + 10);
    else
      return Fail("bad \\u escape");
    n = n * 16 + d;
  }
  return true;
}

// One escape after its backslash, appended to out.
bool CJsonReader::ReadEscape(std::string& out) {
  const char e = m_text[m_nPos++];
  switch (e) {
    case '"':
      out += '"';
      return true;
    case '\\':
      out += '\\';
      return true;
    case '/':
      out += '/';
      return true;
    case 'b':
      out += '\b';
      return true;
    case 'f':
      out += '\f';
      return true;
    case 'n':
      out += '\n';
      return true;
    case 'r':
      out += '\r';
      return true;
    case 't':
      out += '\t';
      return true;
    case 'u':
      break;
    default:
      return Fail("bad escape");
  }
  unsigned int u;
  if (!ReadHex4(u))
    return false;
  if (u >= 0xD800 && u <= 0xDBFF) {
    unsigned int u2;
    if (m_text.substr(m_nPos, 2) != "\\u")
      return Fail("unpaired surrogate");
    m_nPos += 2;
    if (!ReadHex4(u2) || u2 < 0xDC00 || u2 > 0xDFFF)
      return Fail("unpaired surrogate");
    CCharsetUtf::AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (u2 - 0xDC00));
  } else if (u >= 0xDC80 && u <= 0xDCFF) {
    out += static_cast<char>(u & 0xFF);  // a byte outside UTF-8
  } else if (u >= 0xDC00 && u <= 0xDFFF) {
    return Fail("unpaired surrogate");
  } else {
    CCharsetUtf::AppendUtf8(out, u);
  }
  return true;
}

bool CJsonReader::ReadString(std::string& out) {
  ++m_nPos;  // "
  out.clear();
  const char* const p = m_text.data();
  const size_t nSize = m_text.size();
  while (m_nPos < nSize) {
    const size_t nRun = FindJsonSpecial<false>(p, m_nPos, nSize);
    out.append(p + m_nPos, nRun - m_nPos);
    m_nPos = nRun;
    if (m_nPos >= nSize)
      break;
    const unsigned char c = static_cast<unsigned char>(p[m_nPos++]);
    if (c == '"')
      return true;
    if (c < 0x20)
      return Fail("control character in a string");
    if (m_nPos >= nSize)  // a backslash at the very end
      break;
    if (!ReadEscape(out))
      return false;
  }
  return Fail("string not closed");
}

bool CJsonReader::ReadString(std::string_view& text, std::string& strScratch) {
  const size_t nStart = m_nPos + 1;
  const size_t nEnd = FindJsonSpecial<false>(m_text.data(), nStart, m_text.size());
  if (nEnd < m_text.size() && m_text[nEnd] == '"') {
    text = m_text.substr(nStart, nEnd - nStart);
    m_nPos = nEnd + 1;
    return true;
  }
  if (!ReadString(strScratch))
    return false;
  text = strScratch;
  return true;
}

void CJsonReader::BeginObject(bool& bFirst) {
  ++m_nPos;  // {
  bFirst = true;
}

bool CJsonReader::NextMember(bool& bFirst, std::string_view& name, std::string& strScratch) {
  SkipSpace();
  if (bFirst) {
    bFirst = false;
    if (m_nPos < m_text.size() && m_text[m_nPos] == '}') {
      ++m_nPos;
      return false;
    }
  } else if (m_nPos < m_text.size() && m_text[m_nPos] == ',') {
    ++m_nPos;
  } else if (m_nPos < m_text.size() && m_text[m_nPos] == '}') {
    ++m_nPos;
    return false;
  } else {
    return Fail("',' or '}' expected");
  }
  SkipSpace();
  if (m_nPos >= m_text.size() || m_text[m_nPos] != '"')
    return Fail("member name expected");
  return ReadString(name, strScratch);
}

bool CJsonReader::Colon() {
  SkipSpace();
  if (m_nPos >= m_text.size() || m_text[m_nPos] != ':')
    return Fail("':' expected");
  ++m_nPos;
  return true;
}

bool CJsonReader::SkipObject(int nDepth) {
  bool bFirst;
  BeginObject(bFirst);
  CJsonNameList names;
  std::string_view name;
  std::string strScratch;
  while (NextMember(bFirst, name, strScratch)) {
    if (!names.Add(*this, name) || !Colon() || !SkipValue(nDepth + 1))
      return false;
  }
  return !Failed();
}

bool CJsonReader::SkipArray(int nDepth) {
  ++m_nPos;  // [
  SkipSpace();
  if (m_nPos < m_text.size() && m_text[m_nPos] == ']') {
    ++m_nPos;
    return true;
  }
  for (;;) {
    if (!SkipValue(nDepth + 1))
      return false;
    SkipSpace();
    if (m_nPos < m_text.size() && m_text[m_nPos] == ',') {
      ++m_nPos;
      continue;
    }
    if (m_nPos < m_text.size() && m_text[m_nPos] == ']') {
      ++m_nPos;
      return true;
    }
    return Fail("',' or ']' expected");
  }
}

bool CJsonReader::SkipValue(int nDepth) {
  std::string strText;
  std::string_view numberText;
  bool b;
  switch (PeekValue(nDepth)) {
    case invalid:
      return false;
    case null:
      return ReadNull();
    case boolean:
      return ReadBoolean(b);
    case number:
      return ReadNumber(numberText);
    case string:
      return ReadString(strText);
    case object:
      return SkipObject(nDepth);
    case array:
      return SkipArray(nDepth);
  }
  return false;
}

bool CJsonReader::AtEnd() {
  SkipSpace();
  if (m_nPos != m_text.size())
    return Fail("unexpected text after the value");
  return true;
}

bool CJsonNameList::Add(CJsonReader& reader, std::string_view name) {
  if (std::find(m_names.begin(), m_names.end(), name) != m_names.end())
    return reader.Fail("member given twice");
  m_names.emplace_back(name);
  return true;
}
