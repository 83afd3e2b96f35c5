#include "model/RecordJson.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "platform/CharsetUtf.h"

namespace {

constexpr uint64_t kQuietNanBits = 0x7FF8000000000000ull;

// ---- writing ------------------------------------------------------------------

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when there is none.
size_t Utf8SequenceLength(const uint8_t* p, size_t n) {
  uint8_t c = p[0];
  if (c < 0x80)
    return 1;
  size_t nLength;
  uint8_t nLow = 0x80, nHigh = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    nLength = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    nLength = 3;
    if (c == 0xE0) nLow = 0xA0;
    if (c == 0xED) nHigh = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    nLength = 4;
    if (c == 0xF0) nLow = 0x90;
    if (c == 0xF4) nHigh = 0x8F;
  } else {
    return 0;
  }
  if (n < nLength || p[1] < nLow || p[1] > nHigh)
    return 0;
  for (size_t i = 2; i < nLength; ++i)
    if ((p[i] & 0xC0) != 0x80)
      return 0;
  return nLength;
}

void AppendHex4(std::string& out, unsigned int n, bool bUpper) {
  static const char s_lower[] = "0123456789abcdef";
  static const char s_upper[] = "0123456789ABCDEF";
  const char* pszDigits = bUpper ? s_upper : s_lower;
  out += "\\u";
  for (int nShift = 12; nShift >= 0; nShift -= 4)
    out += pszDigits[(n >> nShift) & 0xF];
}

// Plain bytes are copied in runs: only a quote, a backslash, a control character or
// a byte outside UTF-8 ends a run and is escaped.
// The bytes that go into a JSON string as they are: printable ASCII but the quote
// and the backslash.
struct CPlainBytes {
  bool m_bPlain[256] = {};
  constexpr CPlainBytes() {
    for (int c = 0x20; c < 0x7F; ++c) m_bPlain[c] = c != '"' && c != '\\';
  }
};
constexpr CPlainBytes kPlain;

void AppendJsonString(std::string& out, const std::string& str, JsonEscapes eEscapes = JSON_HEX_LOWER_DEL_ESCAPED) {
  const bool bUpper = eEscapes == JSON_HEX_UPPER_DEL_KEPT;
  out += '"';
  const uint8_t* p = reinterpret_cast<const uint8_t*>(str.data());
  const size_t n = str.size();
  size_t nRun = 0;  // start of the run not yet copied
  for (size_t i = 0; i < n;) {
    while (i < n && kPlain.m_bPlain[p[i]]) ++i;
    if (i == n)
      break;
    const uint8_t c = p[i];
    if (c == 0x7F && bUpper) {  // DEL is a plain byte in that form
      ++i;
      continue;
    }
    size_t nSeq = c >= 0x80 ? Utf8SequenceLength(p + i, n - i) : 0;
    if (nSeq != 0) {
      i += nSeq;
      continue;
    }
    out.append(str, nRun, i - nRun);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        // Other controls by number; a byte outside UTF-8 kept by value.
        AppendHex4(out, c >= 0x80 ? (0xDC00u | c) : c, bUpper);
        break;
    }
    nRun = ++i;
  }
  out.append(str, nRun, n - nRun);
  out += '"';
}

// The member names are plain ASCII words: written without escaping.
void AppendMember(std::string& out, const char* pszName) {
  out += out.back() != '{' ? ",\"" : "\"";  // a comma unless the object's first member
  out += pszName;
  out += "\":";
}

void AppendText(std::string& out, const char* pszName, const std::string& str) {
  AppendMember(out, pszName);
  AppendJsonString(out, str);
}

void AppendInt(std::string& out, const char* pszName, long long n) {
  AppendMember(out, pszName);
  out += std::to_string(n);
}

void AppendDouble(std::string& out, double d) {
  if (std::isnan(d)) {
    // The usual quiet NaN by name; any other one by its bits, so that it survives.
    uint64_t nBits;
    std::memcpy(&nBits, &d, sizeof nBits);
    if (nBits == kQuietNanBits) {
      out += "\"nan\"";
    } else {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "\"nan:%016llx\"", static_cast<unsigned long long>(nBits));
      out += buffer;
    }
  } else if (std::isinf(d)) {
    out += d > 0 ? "\"inf\"" : "\"-inf\"";
  } else {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
    out.append(buffer, r.ptr);
  }
}

// ---- reading ------------------------------------------------------------------

struct CJsonMember;

struct CJsonValue {
  enum Type { null, boolean, number, string, object, array };
  Type type = null;
  bool b = false;
  std::string text;  // a string's bytes, or a number's own text
  std::vector<CJsonMember> members;
  std::vector<CJsonValue> items;
};

struct CJsonMember {
  std::string first;
  CJsonValue second;
};

class CJsonParser {
 public:
  explicit CJsonParser(const std::string& str) : m_str(str) {}

  bool ParseDocument(CJsonValue& value, std::string& strError) {
    if (!ParseValue(value, 0) || (SkipSpace(), m_nPos != m_str.size())) {
      if (m_strError.empty())
        Fail("unexpected text after the value");
      strError = m_strError + " at offset " + std::to_string(m_nPos);
      return false;
    }
    return true;
  }

 private:
  static constexpr int kMaxDepth = 32;

  bool Fail(const char* pszReason) {
    if (m_strError.empty())
      m_strError = pszReason;
    return false;
  }
  void SkipSpace() {
    while (m_nPos < m_str.size() && (m_str[m_nPos] == ' ' || m_str[m_nPos] == '\t' ||
                                     m_str[m_nPos] == '\r' || m_str[m_nPos] == '\n'))
      ++m_nPos;
  }
  bool Literal(const char* pszWord) {
    size_t n = std::strlen(pszWord);
    if (m_str.compare(m_nPos, n, pszWord) != 0)
      return Fail("unknown word");
    m_nPos += n;
    return true;
  }

  bool ParseValue(CJsonValue& value, int nDepth) {
    if (nDepth > kMaxDepth)
      return Fail("nested too deeply");
    SkipSpace();
    if (m_nPos >= m_str.size())
      return Fail("value expected");
    char c = m_str[m_nPos];
    switch (c) {
      case '{': return ParseObject(value, nDepth);
      case '[': return ParseArray(value, nDepth);
      case '"': value.type = CJsonValue::string; return ParseString(value.text);
      case 't': value.type = CJsonValue::boolean; value.b = true; return Literal("true");
      case 'f': value.type = CJsonValue::boolean; value.b = false; return Literal("false");
      case 'n': value.type = CJsonValue::null; return Literal("null");
      default:
        if (c == '-' || (c >= '0' && c <= '9'))
          return ParseNumber(value);
        return Fail("value expected");
    }
  }

  bool ParseObject(CJsonValue& value, int nDepth) {
    value.type = CJsonValue::object;
    ++m_nPos;  // {
    SkipSpace();
    if (m_nPos < m_str.size() && m_str[m_nPos] == '}') {
      ++m_nPos;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (m_nPos >= m_str.size() || m_str[m_nPos] != '"')
        return Fail("member name expected");
      std::string strName;
      if (!ParseString(strName))
        return false;
      for (const auto& member : value.members)
        if (member.first == strName)
          return Fail("member given twice");
      SkipSpace();
      if (m_nPos >= m_str.size() || m_str[m_nPos] != ':')
        return Fail("':' expected");
      ++m_nPos;
      CJsonValue member;
      if (!ParseValue(member, nDepth + 1))
        return false;
      value.members.push_back(CJsonMember{std::move(strName), std::move(member)});
      SkipSpace();
      if (m_nPos < m_str.size() && m_str[m_nPos] == ',') {
        ++m_nPos;
        continue;
      }
      if (m_nPos < m_str.size() && m_str[m_nPos] == '}') {
        ++m_nPos;
        return true;
      }
      return Fail("',' or '}' expected");
    }
  }

  bool ParseArray(CJsonValue& value, int nDepth) {
    value.type = CJsonValue::array;
    ++m_nPos;  // [
    SkipSpace();
    if (m_nPos < m_str.size() && m_str[m_nPos] == ']') {
      ++m_nPos;
      return true;
    }
    for (;;) {
      CJsonValue item;
      if (!ParseValue(item, nDepth + 1))
        return false;
      value.items.push_back(std::move(item));
      SkipSpace();
      if (m_nPos < m_str.size() && m_str[m_nPos] == ',') {
        ++m_nPos;
        continue;
      }
      if (m_nPos < m_str.size() && m_str[m_nPos] == ']') {
        ++m_nPos;
        return true;
      }
      return Fail("',' or ']' expected");
    }
  }

  bool ParseNumber(CJsonValue& value) {
    size_t nStart = m_nPos;
    if (m_str[m_nPos] == '-')
      ++m_nPos;
    auto digits = [&] {
      size_t n = m_nPos;
      while (m_nPos < m_str.size() && m_str[m_nPos] >= '0' && m_str[m_nPos] <= '9')
        ++m_nPos;
      return m_nPos - n;
    };
    if (digits() == 0)
      return Fail("digit expected");
    if (m_nPos < m_str.size() && m_str[m_nPos] == '.') {
      ++m_nPos;
      if (digits() == 0)
        return Fail("digit expected");
    }
    if (m_nPos < m_str.size() && (m_str[m_nPos] == 'e' || m_str[m_nPos] == 'E')) {
      ++m_nPos;
      if (m_nPos < m_str.size() && (m_str[m_nPos] == '+' || m_str[m_nPos] == '-'))
        ++m_nPos;
      if (digits() == 0)
        return Fail("digit expected");
    }
    value.type = CJsonValue::number;
    value.text = m_str.substr(nStart, m_nPos - nStart);
    return true;
  }

  bool ParseHex4(unsigned int& n) {
    if (m_str.size() - m_nPos < 4)
      return Fail("bad \\u escape");
    n = 0;
    for (int i = 0; i < 4; ++i) {
      char c = m_str[m_nPos++];
      unsigned int d;
      if (c >= '0' && c <= '9') d = static_cast<unsigned int>(c - '0');
      else if (c >= 'a' && c <= 'f') d = static_cast<unsigned int>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F') d = static_cast<unsigned int>(c - 'A' + 10);
      else return Fail("bad \\u escape");
      n = n * 16 + d;
    }
    return true;
  }

    bool ParseString(std::string& out) {
    ++m_nPos;  // "
    out.clear();
    while (m_nPos < m_str.size()) {
      // A run of plain characters is copied at once.
      size_t nRun = m_nPos;
      const size_t nSize = m_str.size();
      const char* p = m_str.data();
      while (nRun < nSize && (kPlain.m_bPlain[static_cast<unsigned char>(p[nRun])] ||
                              static_cast<unsigned char>(p[nRun]) >= 0x7F))
        ++nRun;
      out.append(m_str, m_nPos, nRun - m_nPos);
      m_nPos = nRun;
      if (m_nPos >= m_str.size())
        break;
      unsigned char c = static_cast<unsigned char>(m_str[m_nPos++]);
      if (c == '"')
        return true;
      if (c < 0x20)
        return Fail("control character in a string");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (m_nPos >= m_str.size())
        break;
      char e = m_str[m_nPos++];
      switch (e) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          unsigned int u;
          if (!ParseHex4(u))
            return false;
          if (u >= 0xD800 && u <= 0xDBFF) {
            unsigned int u2;
            if (m_str.compare(m_nPos, 2, "\\u") != 0)
              return Fail("unpaired surrogate");
            m_nPos += 2;
            if (!ParseHex4(u2) || u2 < 0xDC00 || u2 > 0xDFFF)
              return Fail("unpaired surrogate");
            CCharsetUtf::AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (u2 - 0xDC00));
          } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u & 0xFF);  // a byte outside UTF-8
          } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return Fail("unpaired surrogate");
          } else {
            CCharsetUtf::AppendUtf8(out, u);
          }
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("string not closed");
  }

  const std::string& m_str;
  size_t m_nPos = 0;
  std::string m_strError;
};

bool ParseObjectLine(const std::string& strLine, CJsonValue& value, std::string& strError) {
  CJsonParser parser(strLine);
  if (!parser.ParseDocument(value, strError))
    return false;
  if (value.type != CJsonValue::object) {
    strError = "a JSON object expected";
    return false;
  }
  return true;
}

bool ReadText(const CJsonValue& v, const std::string& strName, std::string& out, std::string& strError) {
  if (v.type != CJsonValue::string) {
    strError = strName + ": a string expected";
    return false;
  }
  out = v.text;
  return true;
}

template <class T>
bool ReadInteger(const CJsonValue& v, const std::string& strName, T& out, std::string& strError) {
  long long n = 0;
  if (v.type == CJsonValue::number) {
    auto r = std::from_chars(v.text.data(), v.text.data() + v.text.size(), n);
    if (r.ec == std::errc() && r.ptr == v.text.data() + v.text.size() &&
        n >= static_cast<long long>(std::numeric_limits<T>::min()) &&
        n <= static_cast<long long>(std::numeric_limits<T>::max())) {
      out = static_cast<T>(n);
      return true;
    }
  }
  strError = strName + ": an integer from " + std::to_string(+std::numeric_limits<T>::min()) +
             " to " + std::to_string(+std::numeric_limits<T>::max()) + " expected";
  return false;
}

bool ReadDouble(const CJsonValue& v, const std::string& strName, double& out, std::string& strError) {
  if (v.type == CJsonValue::number) {
    auto r = std::from_chars(v.text.data(), v.text.data() + v.text.size(), out);
    if (r.ec == std::errc() && r.ptr == v.text.data() + v.text.size())
      return true;
  } else if (v.type == CJsonValue::string) {
    if (v.text == "nan") { out = std::numeric_limits<double>::quiet_NaN(); return true; }
    if (v.text.size() == 20 && v.text.compare(0, 4, "nan:") == 0) {
      uint64_t nBits = 0;
      auto r = std::from_chars(v.text.data() + 4, v.text.data() + 20, nBits, 16);
      double d;
      std::memcpy(&d, &nBits, sizeof d);
      if (r.ec == std::errc() && r.ptr == v.text.data() + 20 && std::isnan(d)) {
        out = d;
        return true;
      }
    }
    if (v.text == "inf") { out = std::numeric_limits<double>::infinity(); return true; }
    if (v.text == "-inf") { out = -std::numeric_limits<double>::infinity(); return true; }
  }
  strError = strName + ": a number expected";
  return false;
}

bool ReadDateTime(const CJsonValue& v, const std::string& strName, CDateTime& out, std::string& strError) {
  if (v.type != CJsonValue::object) {
    strError = strName + ": an object {\"date\":...,\"status\":...} expected";
    return false;
  }
  double dDate = out.GetDate();
  int32_t nStatus = out.GetStatus();
  for (const auto& [strMember, value] : v.members) {
    if (strMember == "date") {
      if (!ReadDouble(value, strName + ".date", dDate, strError))
        return false;
    } else if (strMember == "status") {
      if (!ReadInteger(value, strName + ".status", nStatus, strError))
        return false;
    } else {
      strError = strName + ": unknown member \"" + strMember + "\"";
      return false;
    }
  }
  out = CDateTime(dDate, static_cast<CDateTime::DateTimeStatus>(nStatus));
  return true;
}

bool CheckClass(const CJsonValue& v, const char* pszClass, std::string& strError) {
  if (v.type != CJsonValue::string || v.text != pszClass) {
    strError = std::string("class: \"") + pszClass + "\" expected";
    return false;
  }
  return true;
}

}  // namespace

std::string JsonString(const std::string& str, JsonEscapes eEscapes) {
  std::string out;
  AppendJsonString(out, str, eEscapes);
  return out;
}

std::string RecordToJson(const CMessage& m) {
  std::string out;
  AppendRecordJson(out, m);
  return out;
}

std::string RecordToJson(const CAddress& a) {
  std::string out;
  AppendRecordJson(out, a);
  return out;
}

void AppendRecordJson(std::string& out, const CMessage& m) {
  out += '{';
  AppendText(out, "class", "CMessage");
  AppendText(out, "m_strSenderName", m.m_strSenderName);
  AppendText(out, "m_strName", m.m_strName);
  AppendText(out, "m_strNumber", m.m_strNumber);
  AppendInt(out, "m_nStatus", m.m_nStatus);
  AppendInt(out, "m_nStorage", m.m_nStorage);
  AppendInt(out, "m_nType", m.m_nType);
  AppendText(out, "m_strDateTime", m.m_strDateTime);
  AppendMember(out, "m_dtDateTime");
  out += "{\"date\":";
  AppendDouble(out, m.m_dtDateTime.GetDate());
  out += ",\"status\":";
  out += std::to_string(static_cast<int32_t>(m.m_dtDateTime.GetStatus()));
  out += '}';
  AppendText(out, "m_strExtra", m.m_strExtra);
  AppendText(out, "m_strMessage", m.m_strMessage);
  AppendText(out, "m_strPdu", m.m_strPdu);
  AppendText(out, "m_strServiceCenter", m.m_strServiceCenter);
  AppendInt(out, "m_bFlag", m.m_bFlag);
  AppendInt(out, "m_bReplyCharges", m.m_bReplyCharges);
  AppendInt(out, "m_wFirstOctet", m.m_wFirstOctet);
  AppendInt(out, "m_nValidity", m.m_nValidity);
  out += '}';
}

void AppendRecordJson(std::string& out, const CAddress& a) {
  out += '{';
  AppendText(out, "class", "CAddress");
  AppendText(out, "m_strNumber", a.m_strNumber);
  AppendText(out, "m_strName", a.m_strName);
  out += '}';
}

bool GetJsonClass(const std::string& strLine, std::string& strClass, std::string& strError) {
  CJsonValue value;
  if (!ParseObjectLine(strLine, value, strError))
    return false;
  strClass.clear();
  for (const auto& [strName, member] : value.members) {
    if (strName == "class") {
      if (member.type != CJsonValue::string) {
        strError = "class: a string expected";
        return false;
      }
      strClass = member.text;
    }
  }
  return true;
}

bool RecordFromJson(const std::string& strLine, CMessage& m, std::string& strError) {
  CJsonValue value;
  if (!ParseObjectLine(strLine, value, strError))
    return false;
  for (const auto& [n, v] : value.members) {
    bool bOk;
    if (n == "class") bOk = CheckClass(v, "CMessage", strError);
    else if (n == "m_strSenderName") bOk = ReadText(v, n, m.m_strSenderName, strError);
    else if (n == "m_strName") bOk = ReadText(v, n, m.m_strName, strError);
    else if (n == "m_strNumber") bOk = ReadText(v, n, m.m_strNumber, strError);
    else if (n == "m_nStatus") bOk = ReadInteger(v, n, m.m_nStatus, strError);
    else if (n == "m_nStorage") bOk = ReadInteger(v, n, m.m_nStorage, strError);
    else if (n == "m_nType") bOk = ReadInteger(v, n, m.m_nType, strError);
    else if (n == "m_strDateTime") bOk = ReadText(v, n, m.m_strDateTime, strError);
    else if (n == "m_dtDateTime") bOk = ReadDateTime(v, n, m.m_dtDateTime, strError);
    else if (n == "m_strExtra") bOk = ReadText(v, n, m.m_strExtra, strError);
    else if (n == "m_strMessage") bOk = ReadText(v, n, m.m_strMessage, strError);
    else if (n == "m_strPdu") bOk = ReadText(v, n, m.m_strPdu, strError);
    else if (n == "m_strServiceCenter") bOk = ReadText(v, n, m.m_strServiceCenter, strError);
    else if (n == "m_bFlag") bOk = ReadInteger(v, n, m.m_bFlag, strError);
    else if (n == "m_bReplyCharges") bOk = ReadInteger(v, n, m.m_bReplyCharges, strError);
    else if (n == "m_wFirstOctet") bOk = ReadInteger(v, n, m.m_wFirstOctet, strError);
    else if (n == "m_nValidity") bOk = ReadInteger(v, n, m.m_nValidity, strError);
    else {
      strError = "unknown member \"" + n + "\"";
      bOk = false;
    }
    if (!bOk)
      return false;
  }
  return true;
}

bool RecordFromJson(const std::string& strLine, CAddress& a, std::string& strError) {
  CJsonValue value;
  if (!ParseObjectLine(strLine, value, strError))
    return false;
  for (const auto& [n, v] : value.members) {
    bool bOk;
    if (n == "class") bOk = CheckClass(v, "CAddress", strError);
    else if (n == "m_strNumber") bOk = ReadText(v, n, a.m_strNumber, strError);
    else if (n == "m_strName") bOk = ReadText(v, n, a.m_strName, strError);
    else {
      strError = "unknown member \"" + n + "\"";
      bOk = false;
    }
    if (!bOk)
      return false;
  }
  return true;
}
