#include "model/RecordJson.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>
#include <variant>

#include "model/JsonBytes.h"
#include "model/JsonReader.h"
#include "platform/CharsetUtf.h"

namespace {

constexpr uint64_t kQuietNanBits = 0x7FF8000000000000ull;

// ---- the fields of each record --------------------------------------------------

// One stored field of a record: its member name in the JSON object and the member
// itself. The same table writes a record and reads it back.
template <class R>
struct CJsonField {
  std::string_view m_name;
  std::variant<std::string R::*, CRecordText R::*, int32_t R::*, uint8_t R::*, uint16_t R::*, CDateTime R::*>
      m_member;
};

template <class R>
struct CRecordFields;

template <>
struct CRecordFields<CMessage> {
  static constexpr const char* kClass = "CMessage";
  static constexpr CJsonField<CMessage> kFields[] = {
      {"m_strSenderName", &CMessage::m_strSenderName},
      {"m_strName", &CMessage::m_strName},
      {"m_strNumber", &CMessage::m_strNumber},
      {"m_nStatus", &CMessage::m_nStatus},
      {"m_nStorage", &CMessage::m_nStorage},
      {"m_nType", &CMessage::m_nType},
      {"m_strDateTime", &CMessage::m_strDateTime},
      {"m_dtDateTime", &CMessage::m_dtDateTime},
      {"m_strExtra", &CMessage::m_strExtra},
      {"m_strMessage", &CMessage::m_strMessage},
      {"m_strPdu", &CMessage::m_strPdu},
      {"m_strServiceCenter", &CMessage::m_strServiceCenter},
      {"m_bFlag", &CMessage::m_bFlag},
      {"m_bReplyCharges", &CMessage::m_bReplyCharges},
      {"m_wFirstOctet", &CMessage::m_wFirstOctet},
      {"m_nValidity", &CMessage::m_nValidity},
  };
};

template <>
struct CRecordFields<CAddress> {
  static constexpr const char* kClass = "CAddress";
  static constexpr CJsonField<CAddress> kFields[] = {
      {"m_strNumber", &CAddress::m_strNumber},
      {"m_strName", &CAddress::m_strName},
  };
};

// ---- writing ------------------------------------------------------------------

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
void AppendJsonString(std::string& out, std::string_view str,
                      JsonEscapes eEscapes = JSON_HEX_LOWER_DEL_ESCAPED) {
  const bool bUpper = eEscapes == JSON_HEX_UPPER_DEL_KEPT;
  out += '"';
  const uint8_t* p = reinterpret_cast<const uint8_t*>(str.data());
  const size_t n = str.size();
  size_t nRun = 0;  // start of the run not yet copied
  for (size_t i = 0; i < n;) {
    i = FindJsonSpecial<true>(str.data(), i, n);
    if (i == n)
      break;
    const uint8_t c = p[i];
    if (c == 0x7F && bUpper) {  // DEL is a plain byte in that form
      ++i;
      continue;
    }
    size_t nSeq = c >= 0x80 ? CCharsetUtf::Utf8SequenceLength(str, i) : 0;
    if (nSeq != 0) {
      i += nSeq;
      continue;
    }
    out.append(str, nRun, i - nRun);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
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
    out.append(buffer, static_cast<size_t>(r.ptr - buffer));
  }
}

void AppendValue(std::string& out, std::string_view str) { AppendJsonString(out, str); }

template <class T>
requires std::is_integral_v<T>
void AppendValue(std::string& out, T n) {
  char buffer[16];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(n));
  out.append(buffer, static_cast<size_t>(r.ptr - buffer));
}

void AppendValue(std::string& out, const CDateTime& dt) {
  out += "{\"date\":";
  AppendDouble(out, dt.GetDate());
  out += ",\"status\":";
  AppendValue(out, static_cast<int32_t>(dt.GetStatus()));
  out += '}';
}

// What goes before each field's value: a comma and the quoted member name (plain
// ASCII words, written as they are).
template <class R>
const std::array<std::string, std::size(CRecordFields<R>::kFields)>& MemberPrefixes() {
  static const auto s_prefixes = [] {
    std::array<std::string, std::size(CRecordFields<R>::kFields)> prefixes;
    for (size_t i = 0; i < prefixes.size(); ++i)
      prefixes[i] = ",\"" + std::string(CRecordFields<R>::kFields[i].m_name) + "\":";
    return prefixes;
  }();
  return s_prefixes;
}

// The object of one record: its class first, then every field in table order.
template <class R>
void AppendRecord(std::string& out, const R& record) {
  out += "{\"class\":\"";
  out += CRecordFields<R>::kClass;
  out += '"';
  const auto& prefixes = MemberPrefixes<R>();
  for (size_t i = 0; i < prefixes.size(); ++i) {
    out += prefixes[i];
    std::visit([&](auto pMember) { AppendValue(out, record.*pMember); },
               CRecordFields<R>::kFields[i].m_member);
  }
  out += '}';
}

// ---- reading ------------------------------------------------------------------

// Reads the members of one JSON object line into a record. The line is read once,
// front to back. A syntax error anywhere in the line is the reason given, even when
// a member before it was already refused; otherwise the first refused member is.
// Refusals are kept in m_strRefusal while the rest of the line is still checked.
class CRecordReader {
 public:
  // strText: a scratch text, kept by the caller so that its block serves line
  // after line.
  CRecordReader(std::string_view strLine, std::string& strText) : m_reader(strLine), m_strText(strText) {}

  // The reason the line was refused, syntax first; empty when it was taken.
  std::string Outcome() {
    if (!m_reader.Failed())
      m_reader.AtEnd();
    if (m_reader.Failed())
      return m_reader.Error();
    return m_strRefusal;
  }
  // After Outcome: true when the line is a well-formed JSON object (taken or refused).
  bool IsWellFormedObject() const { return m_bObject && !m_reader.Failed(); }

  // The document: an object, whose members go to fnMember(name) one by one (the
  // reader then at the member's value, one level down). Anything else is checked
  // and refused.
  template <class Fn>
  void ReadDocument(Fn&& fnMember) {
    if (m_reader.PeekValue(0) != CJsonReader::object) {
      if (m_reader.SkipValue(0) && m_reader.AtEnd())
        Refuse("a JSON object expected");
      return;
    }
    m_bObject = true;
    ReadMembers(fnMember);
  }

  // A record's own members, by its field table.
  template <class R>
  void ReadRecordMembers(R& record) {
    constexpr size_t nFields = std::size(CRecordFields<R>::kFields);
    static_assert(nFields < 32, "one bit per field");
    uint32_t nSeen = 0;
    size_t nNext = 0;  // the field after the last one found
    CJsonNameList others;
    ReadDocument([&](std::string_view name) {
      const size_t nField = FindField<R>(name, nNext);  // "class" has the bit after the fields'
      if (nField < nFields)
        nNext = nField + 1;
      if (nField <= nFields) {
        if (nSeen & (1u << nField))
          return m_reader.Fail("member given twice");
        nSeen |= 1u << nField;
      } else if (!others.Add(m_reader, name)) {
        return false;
      }
      if (!m_reader.Colon())
        return false;
      if (nField == nFields)
        return ReadClass(CRecordFields<R>::kClass);
      if (nField > nFields) {
        Refuse("unknown member \"" + std::string(name) + "\"");
        return m_reader.SkipValue(1);
      }
      const CJsonField<R>& field = CRecordFields<R>::kFields[nField];
      return std::visit([&](auto pMember) { return ReadValue({field.m_name}, record.*pMember, 1); },
                        field.m_member);
    });
    // The fields the line left out take their defaults.
    static const R s_blank;
    for (size_t i = 0; i < nFields; ++i)
      if (!(nSeen & (1u << i)))
        std::visit([&](auto pMember) { record.*pMember = s_blank.*pMember; },
                   CRecordFields<R>::kFields[i].m_member);
  }

  // The "class" member of any object line; its other members are checked only.
  void ReadClassOf(std::string& strClass) {
    CJsonNameList names;
    ReadDocument([&](std::string_view name) {
      if (!names.Add(m_reader, name) || !m_reader.Colon())
        return false;
      if (name != "class" || IsRefused())
        return m_reader.SkipValue(1);
      if (m_reader.PeekValue(1) != CJsonReader::string) {
        Refuse("class: a string expected");
        return m_reader.SkipValue(1);
      }
      return m_reader.ReadString(strClass);
    });
  }

 private:
  bool IsRefused() const { return !m_strRefusal.empty(); }
  void Refuse(std::string strReason) {
    if (m_strRefusal.empty())
      m_strRefusal = std::move(strReason);
  }

  // Index of the field with that name; the field count for "class"; more when none.
  // The search begins at nFrom and wraps around: the fields of a line written in
  // table order are each found at the first look.
  template <class R>
  static size_t FindField(std::string_view name, size_t nFrom) {
    constexpr size_t nFields = std::size(CRecordFields<R>::kFields);
    if (name == "class")
      return nFields;
    for (size_t n = 0, i = nFrom % nFields; n < nFields; ++n, i = i + 1 == nFields ? 0 : i + 1)
      if (name == CRecordFields<R>::kFields[i].m_name)
        return i;
    return nFields + 1;
  }

  // The members of an object, the reader at its '{'.
  template <class Fn>
  void ReadMembers(Fn&& fnMember) {
    bool bFirst;
    m_reader.BeginObject(bFirst);
    std::string_view name;
    std::string strScratch;
    while (m_reader.NextMember(bFirst, name, strScratch))
      if (!fnMember(name) || m_reader.Failed())
        return;
  }

  bool ReadClass(const char* pszClass) {
    if (IsRefused())
      return m_reader.SkipValue(1);
    if (m_reader.PeekValue(1) == CJsonReader::string) {
      std::string_view name;
      if (!m_reader.ReadString(name, m_strText))
        return false;
      if (name == pszClass)
        return true;
    } else if (!m_reader.SkipValue(1)) {
      return false;
    }
    Refuse(std::string("class: \"") + pszClass + "\" expected");
    return true;
  }

  // The name of a field in a reason: the member's, and the part of its value.
  struct CFieldName {
    std::string_view m_name;
    const char* m_pszPart = "";
    std::string Text() const { return std::string(m_name) + m_pszPart; }
  };

  // Each ReadValue reads the value at the reader into a field, or checks and skips
  // it: when a member was refused before, or when it is of the wrong kind (which
  // refuses it, naming the field).
  bool ReadValue(const CFieldName& name, std::string& str, int nDepth) {
    const CJsonReader::Kind kind = m_reader.PeekValue(nDepth);
    if (kind == CJsonReader::string && !IsRefused())
      return m_reader.ReadString(str);
    if (kind != CJsonReader::invalid && !IsRefused())
      Refuse(name.Text() + ": a string expected");
    return m_reader.SkipValue(nDepth);
  }

  bool ReadValue(const CFieldName& name, CRecordText& text, int nDepth) {
    // Straight from the line when it holds no escape: assigning reuses the field's
    // own block.
    if (m_reader.PeekValue(nDepth) != CJsonReader::string || IsRefused())
      return ReadValue(name, m_strText, nDepth);
    std::string_view value;
    if (!m_reader.ReadString(value, m_strText))
      return false;
    text = value;
    return true;
  }

  template <class T>
  requires std::is_integral_v<T>
  bool ReadValue(const CFieldName& name, T& n, int nDepth) {
    std::string_view text;
    if (IsRefused() || m_reader.PeekValue(nDepth) != CJsonReader::number) {
      if (!m_reader.SkipValue(nDepth))
        return false;
    } else {
      if (!m_reader.ReadNumber(text))
        return false;
      long long nValue = 0;
      auto r = std::from_chars(text.data(), text.data() + text.size(), nValue);
      if (r.ec == std::errc() && r.ptr == text.data() + text.size() &&
          nValue >= static_cast<long long>(std::numeric_limits<T>::min()) &&
          nValue <= static_cast<long long>(std::numeric_limits<T>::max())) {
        n = static_cast<T>(nValue);
        return true;
      }
    }
    if (!IsRefused())
      Refuse(name.Text() + ": an integer from " + std::to_string(+std::numeric_limits<T>::min()) + " to " +
             std::to_string(+std::numeric_limits<T>::max()) + " expected");
    return true;
  }

  // A day number: a number, or one of the names AppendDouble gives the values
  // that are not finite.
  bool ReadDayNumber(const CFieldName& name, double& d, int nDepth) {
    const CJsonReader::Kind kind = IsRefused() ? CJsonReader::invalid : m_reader.PeekValue(nDepth);
    if (kind == CJsonReader::number) {
      std::string_view text;
      if (!m_reader.ReadNumber(text))
        return false;
      auto r = std::from_chars(text.data(), text.data() + text.size(), d);
      if (r.ec == std::errc() && r.ptr == text.data() + text.size())
        return true;
    } else if (kind == CJsonReader::string) {
      if (!m_reader.ReadString(m_strText))
        return false;
      if (DayNumberFromName(m_strText, d))
        return true;
    } else if (!m_reader.SkipValue(nDepth)) {
      return false;
    }
    if (!IsRefused())
      Refuse(name.Text() + ": a number expected");
    return true;
  }

  static bool DayNumberFromName(const std::string& strText, double& d) {
    if (strText == "nan") {
      d = std::numeric_limits<double>::quiet_NaN();
      return true;
    }
    if (strText.size() == 20 && strText.compare(0, 4, "nan:") == 0) {
      uint64_t nBits = 0;
      auto r = std::from_chars(strText.data() + 4, strText.data() + 20, nBits, 16);
      double dNan;
      std::memcpy(&dNan, &nBits, sizeof dNan);
      if (r.ec == std::errc() && r.ptr == strText.data() + 20 && std::isnan(dNan)) {
        d = dNan;
        return true;
      }
    }
    if (strText == "inf" || strText == "-inf") {
      d = strText[0] == '-' ? -std::numeric_limits<double>::infinity()
                            : std::numeric_limits<double>::infinity();
      return true;
    }
    return false;
  }

  // {"date":...,"status":...}; a member left out keeps the value's own.
  bool ReadValue(const CFieldName& name, CDateTime& dt, int nDepth) {
    if (IsRefused() || m_reader.PeekValue(nDepth) != CJsonReader::object) {
      if (!m_reader.SkipValue(nDepth))
        return false;
      if (!IsRefused())
        Refuse(name.Text() + ": an object {\"date\":...,\"status\":...} expected");
      return true;
    }
    double dDate = dt.GetDate();
    int32_t nStatus = dt.GetStatus();
    bool bDate = false, bStatus = false;
    CJsonNameList others;
    ReadMembers([&](std::string_view member) {
      bool& bSeen = member == "date" ? bDate : bStatus;
      const bool bKnown = member == "date" || member == "status";
      if (bKnown && bSeen)
        return m_reader.Fail("member given twice");
      if (bKnown)
        bSeen = true;
      else if (!others.Add(m_reader, member))
        return false;
      if (!m_reader.Colon())
        return false;
      if (member == "date")
        return ReadDayNumber({name.m_name, ".date"}, dDate, nDepth + 1);
      if (member == "status")
        return ReadValue({name.m_name, ".status"}, nStatus, nDepth + 1);
      Refuse(name.Text() + ": unknown member \"" + std::string(member) + "\"");
      return m_reader.SkipValue(nDepth + 1);
    });
    if (!IsRefused())
      dt = CDateTime(dDate, static_cast<CDateTime::DateTimeStatus>(nStatus));
    return !m_reader.Failed();
  }

  CJsonReader m_reader;
  bool m_bObject = false;
  std::string m_strRefusal;
  std::string& m_strText;  // a text read only to be looked at, or on its way to a field
};

template <class R>
bool ReadRecord(std::string_view strLine, R& record, std::string& strError) {
  thread_local std::string t_strText;
  CRecordReader reader(strLine, t_strText);
  reader.ReadRecordMembers(record);
  strError = reader.Outcome();
  if (t_strText.capacity() > 65536)  // a rare long text does not stay held
    std::string().swap(t_strText);
  return strError.empty();
}

}  // namespace

std::string JsonString(const std::string& str, JsonEscapes eEscapes) {
  std::string out;
  AppendJsonString(out, str, eEscapes);
  return out;
}

std::string RecordToJson(const CMessage& m) {
  std::string out;
  AppendRecord(out, m);
  return out;
}

std::string RecordToJson(const CAddress& a) {
  std::string out;
  AppendRecord(out, a);
  return out;
}

void AppendRecordJson(std::string& out, const CMessage& m) { AppendRecord(out, m); }

void AppendRecordJson(std::string& out, const CAddress& a) { AppendRecord(out, a); }

bool GetJsonClass(std::string_view strLine, std::string& strClass, std::string& strError) {
  std::string strText;
  CRecordReader reader(strLine, strText);
  std::string strFound;
  reader.ReadClassOf(strFound);
  strError = reader.Outcome();
  if (reader.IsWellFormedObject())
    strClass = strFound;
  return strError.empty();
}

bool RecordFromJson(std::string_view strLine, CMessage& m, std::string& strError) {
  return ReadRecord(strLine, m, strError);
}

bool RecordFromJson(std::string_view strLine, CAddress& a, std::string& strError) {
  return ReadRecord(strLine, a, strError);
}
