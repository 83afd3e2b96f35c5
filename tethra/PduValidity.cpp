#include "tethra/PduValidity.h"

#include <cstdio>

#include "tethra/PduHex.h"

namespace {

std::string DescribeSeconds(int64_t n) {
  struct Unit {
    int64_t nSeconds;
    const char* pszName;
  };
  static const Unit kUnits[] = {
      {7 * 86400, "week"}, {86400, "day"}, {3600, "hour"}, {60, "minute"}, {1, "second"}};
  std::string s;
  for (const Unit& u : kUnits) {
    if (n >= u.nSeconds) {
      const int64_t k = n / u.nSeconds;
      n %= u.nSeconds;
      if (!s.empty())
        s += " ";
      s += std::to_string(k) + " " + u.pszName + (k == 1 ? "" : "s");
    }
  }
  return s.empty() ? "0 seconds" : s;
}

}  // namespace

CPduValidity CPduValidity::Relative(uint8_t nValue) {
  CPduValidity v;
  v.m_format = RELATIVE;
  v.m_nRelative = nValue;
  v.m_nSeconds = RelativeSeconds(nValue);
  return v;
}

size_t CPduValidity::FieldLength(Format format) {
  switch (format) {
    case NONE:
      return 0;
    case RELATIVE:
      return 1;
    case ENHANCED:
    case ABSOLUTE:
      return 7;
  }
  return 0;
}

int64_t CPduValidity::RelativeSeconds(uint8_t n) {
  if (n <= 143)
    return (static_cast<int64_t>(n) + 1) * 5 * 60;
  if (n <= 167)
    return 12 * 3600 + (static_cast<int64_t>(n) - 143) * 30 * 60;
  if (n <= 196)
    return (static_cast<int64_t>(n) - 166) * 86400;
  return (static_cast<int64_t>(n) - 192) * 7 * 86400;
}

CPduValidity CPduValidity::Decode(Format format, const uint8_t* p) {
  CPduValidity v;
  v.m_format = format;
  switch (format) {
    case NONE:
      break;
    case RELATIVE:
      v.m_nRelative = p[0];
      v.m_nSeconds = RelativeSeconds(p[0]);
      break;
    case ABSOLUTE:
      v.m_absolute = CPduTimeStamp::Decode(p);
      break;
    case ENHANCED: {
      for (int i = 0; i < 7; ++i)
        v.m_enhanced[i] = p[i];
      // Functionality indicator octets (bit 7: another one follows), then the period.
      size_t i = 0;
      while (i < 6 && (p[i] & 0x80))
        ++i;
      const int nKind = p[0] & 0x07;
      const uint8_t* q = p + i + 1;
      const size_t nLeft = 7 - (i + 1);
      if (nKind == 1 && nLeft >= 1) {
        v.m_nSeconds = RelativeSeconds(q[0]);
      } else if (nKind == 2 && nLeft >= 1) {
        v.m_nSeconds = q[0];
      } else if (nKind == 3 && nLeft >= 3) {
        const int h = CPduHex::SwappedBcd(q[0]);
        const int m = CPduHex::SwappedBcd(q[1]);
        const int s = CPduHex::SwappedBcd(q[2]);
        if (h >= 0 && m >= 0 && s >= 0)
          v.m_nSeconds = h * 3600 + m * 60 + s;
      }
      break;
    }
  }
  return v;
}

void CPduValidity::Encode(std::vector<uint8_t>& out) const {
  switch (m_format) {
    case NONE:
      break;
    case RELATIVE:
      out.push_back(m_nRelative);
      break;
    case ABSOLUTE:
      m_absolute.Encode(out);
      break;
    case ENHANCED:
      out.insert(out.end(), m_enhanced, m_enhanced + 7);
      break;
  }
}

std::string CPduValidity::Describe() const {
  char buf[32];
  switch (m_format) {
    case NONE:
      return "none";
    case RELATIVE:
      std::snprintf(buf, sizeof buf, "relative 0x%02X", m_nRelative);
      return std::string(buf) + " (" + DescribeSeconds(m_nSeconds) + ")";
    case ABSOLUTE:
      return "absolute " + m_absolute.Format();
    case ENHANCED: {
      std::string s = "enhanced " + CPduHex::Encode(m_enhanced, 7);
      if (m_enhanced[0] & 0x40)
        s += " single shot";
      if (m_nSeconds >= 0)
        s += " (" + DescribeSeconds(m_nSeconds) + ")";
      return s;
    }
  }
  return "none";
}
