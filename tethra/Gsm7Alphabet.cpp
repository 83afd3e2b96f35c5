#include "tethra/Gsm7Alphabet.h"

#include <array>
#include <cstdint>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7NationalTables.h"

namespace {

// The default alphabet, by septet value. The escape (0x1B) is shown as a space when
// it has to be shown at all.
constexpr char32_t kDefault[128] = {
    U'@',      U'\u00A3', U'$',      U'\u00A5', U'\u00E8', U'\u00E9', U'\u00F9', U'\u00EC',  // 0x00
    U'\u00F2', U'\u00C7', U'\n',     U'\u00D8', U'\u00F8', U'\r',     U'\u00C5', U'\u00E5',  // 0x08
    U'\u0394', U'_',      U'\u03A6', U'\u0393', U'\u039B', U'\u03A9', U'\u03A0', U'\u03A8',  // 0x10
    U'\u03A3', U'\u0398', U'\u039E', U' ',      U'\u00C6', U'\u00E6', U'\u00DF', U'\u00C9',  // 0x18
    U' ',      U'!',      U'"',      U'#',      U'\u00A4', U'%',      U'&',      U'\'',      // 0x20
    U'(',      U')',      U'*',      U'+',      U',',      U'-',      U'.',      U'/',       // 0x28
    U'0',      U'1',      U'2',      U'3',      U'4',      U'5',      U'6',      U'7',       // 0x30
    U'8',      U'9',      U':',      U';',      U'<',      U'=',      U'>',      U'?',       // 0x38
    U'\u00A1', U'A',      U'B',      U'C',      U'D',      U'E',      U'F',      U'G',       // 0x40
    U'H',      U'I',      U'J',      U'K',      U'L',      U'M',      U'N',      U'O',       // 0x48
    U'P',      U'Q',      U'R',      U'S',      U'T',      U'U',      U'V',      U'W',       // 0x50
    U'X',      U'Y',      U'Z',      U'\u00C4', U'\u00D6', U'\u00D1', U'\u00DC', U'\u00A7',  // 0x58
    U'\u00BF', U'a',      U'b',      U'c',      U'd',      U'e',      U'f',      U'g',       // 0x60
    U'h',      U'i',      U'j',      U'k',      U'l',      U'm',      U'n',      U'o',       // 0x68
    U'p',      U'q',      U'r',      U's',      U't',      U'u',      U'v',      U'w',       // 0x70
    U'x',      U'y',      U'z',      U'\u00E4', U'\u00F6', U'\u00F1', U'\u00FC', U'\u00E0',  // 0x78
};

struct ExtensionEntry {
  uint8_t nCode;
  char32_t c;
};

// The extension table: the code after the escape, and its character.
constexpr ExtensionEntry kExtension[] = {
    {0x0A, U'\f'}, {0x14, U'^'}, {0x28, U'{'}, {0x29, U'}'}, {0x2F, U'\\'},
    {0x3C, U'['},  {0x3D, U'~'}, {0x3E, U']'}, {0x40, U'|'}, {0x65, U'\u20AC'},
};

// Reverse lookup for code points below 0x400 (Latin and Greek): the septet, the
// extension code with 0x100 added, or -1.
class CReverseTable {
 public:
  CReverseTable() {
    m_table.fill(-1);
    for (int i = 0; i < 128; ++i)
      if (i != CGsm7Alphabet::ESCAPE)
        m_table[kDefault[i]] = static_cast<int16_t>(i);
    for (const auto& e : kExtension)
      if (e.c < m_table.size())
        m_table[e.c] = static_cast<int16_t>(0x100 | e.nCode);
  }
  // -1, a septet, or 0x100 | extension code.
  int Find(char32_t c) const {
    if (c < m_table.size())
      return m_table[c];
    if (c == U'\u20AC')
      return 0x100 | 0x65;
    return -1;
  }

 private:
  std::array<int16_t, 0x400> m_table{};
};

const CReverseTable& Reverse() {
  static const CReverseTable table;
  return table;
}

char32_t ExtensionChar(uint8_t nCode) {
  for (const auto& e : kExtension)
    if (e.nCode == nCode)
      return e.c;
  return 0;
}

// -1, a septet, or 0x100 | single-shift code, with national tables.
int FindIn(char32_t c, const CGsm7Tables& tables) {
  if (tables.IsDefault())
    return Reverse().Find(c);
  const char32_t* pLocking = CGsm7NationalTables::LockingTable(tables.nLocking);
  if (pLocking) {
    for (int i = 0; i < 128; ++i)
      if (i != CGsm7Alphabet::ESCAPE && pLocking[i] == c && c != 0)
        return i;
  } else {
    const int n = Reverse().Find(c);
    if (n >= 0 && n < 0x100)
      return n;
  }
  if (const char32_t* pSingle = CGsm7NationalTables::SingleTable(tables.nSingle))
    for (int i = 0; i < 128; ++i)
      if (i != CGsm7Alphabet::ESCAPE && pSingle[i] == c && c != 0)
        return 0x100 | i;
  for (const auto& e : kExtension)
    if (e.c == c)
      return 0x100 | e.nCode;
  return -1;
}

}  // namespace

int CGsm7Alphabet::SeptetsFor(char32_t c, const CGsm7Tables& tables) {
  const int n = FindIn(c, tables);
  if (n < 0)
    return 0;
  return n >= 0x100 ? 2 : 1;
}

bool CGsm7Alphabet::Encode(const std::u32string& text, std::vector<uint8_t>& septets,
                           const CGsm7Tables& tables) {
  if (tables.IsDefault())
    return Encode(text, septets);
  bool bAll = true;
  for (char32_t c : text) {
    const int n = FindIn(c, tables);
    if (n < 0) {
      septets.push_back(0x3F);
      bAll = false;
    } else if (n >= 0x100) {
      septets.push_back(ESCAPE);
      septets.push_back(static_cast<uint8_t>(n & 0x7F));
    } else {
      septets.push_back(static_cast<uint8_t>(n));
    }
  }
  return bAll;
}

std::string CGsm7Alphabet::Decode(const uint8_t* pSeptets, size_t nCount, const CGsm7Tables& tables) {
  const char32_t* pLocking = CGsm7NationalTables::LockingTable(tables.nLocking);
  const char32_t* pSingle = CGsm7NationalTables::SingleTable(tables.nSingle);
  if (!pLocking && !pSingle)
    return Decode(pSeptets, nCount);
  auto base = [&](uint8_t s) { return pLocking && pLocking[s] != 0 ? pLocking[s] : kDefault[s]; };
  std::string out;
  for (size_t i = 0; i < nCount; ++i) {
    const uint8_t s = pSeptets[i] & 0x7F;
    if (s != ESCAPE) {
      CCharsetUtf::AppendUtf8(out, base(s));
      continue;
    }
    if (i + 1 >= nCount) {
      out.push_back(' ');
      break;
    }
    const uint8_t code = pSeptets[++i] & 0x7F;
    if (code == ESCAPE) {
      out.push_back(' ');
      continue;
    }
    char32_t c = pSingle ? pSingle[code] : 0;
    if (c == 0)
      c = ExtensionChar(code);
    CCharsetUtf::AppendUtf8(out, c != 0 ? c : base(code));
  }
  return out;
}

bool CGsm7Alphabet::ChooseTables(const std::u32string& text, CGsm7Tables& tables) {
  auto cost = [&](const CGsm7Tables& t) -> size_t {
    size_t n = 0;
    for (char32_t c : text) {
      int k = SeptetsFor(c, t);
      if (k == 0)
        return SIZE_MAX;
      n += static_cast<size_t>(k);
    }
    // Each table named costs a header element of three octets (four septets or so).
    return n + (t.nLocking ? 4 : 0) + (t.nSingle ? 4 : 0);
  };
  CGsm7Tables best;
  size_t nBest = cost(best);
  if (nBest != SIZE_MAX) {
    tables = best;  // the default alphabet whenever it can: every phone reads it
    return true;
  }
  for (int n = 1; n <= CGsm7NationalTables::MAX_LANGUAGE; ++n) {
    const bool bLocking = CGsm7NationalTables::LockingTable(n) != nullptr;
    const bool bSingle = CGsm7NationalTables::SingleTable(n) != nullptr;
    for (CGsm7Tables t : {CGsm7Tables{0, n}, CGsm7Tables{n, 0}, CGsm7Tables{n, n}}) {
      if ((t.nLocking && !bLocking) || (t.nSingle && !bSingle))
        continue;
      size_t c = cost(t);
      if (c < nBest) {
        nBest = c;
        best = t;
      }
    }
  }
  if (nBest == SIZE_MAX)
    return false;
  tables = best;
  return true;
}

int CGsm7Alphabet::SeptetsFor(char32_t c) {
  const int n = Reverse().Find(c);
  if (n < 0)
    return 0;
  return n >= 0x100 ? 2 : 1;
}

bool CGsm7Alphabet::Encode(const std::u32string& text, std::vector<uint8_t>& septets) {
  bool bAll = true;
  septets.reserve(septets.size() + text.size());
  for (char32_t c : text) {
    const int n = Reverse().Find(c);
    if (n < 0) {
      septets.push_back(0x3F);  // '?'
      bAll = false;
    } else if (n >= 0x100) {
      septets.push_back(ESCAPE);
      septets.push_back(static_cast<uint8_t>(n & 0x7F));
    } else {
      septets.push_back(static_cast<uint8_t>(n));
    }
  }
  return bAll;
}

std::string CGsm7Alphabet::Decode(const uint8_t* pSeptets, size_t nCount) {
  std::string out;
  out.reserve(nCount + nCount / 4);
  for (size_t i = 0; i < nCount; ++i) {
    const uint8_t s = pSeptets[i] & 0x7F;
    if (s != ESCAPE) {
      CCharsetUtf::AppendUtf8(out, kDefault[s]);
      continue;
    }
    if (i + 1 >= nCount) {
      out.push_back(' ');  // a lone escape at the end
      break;
    }
    const uint8_t code = pSeptets[++i] & 0x7F;
    if (code == ESCAPE) {
      out.push_back(' ');  // escape to a table not defined yet
      continue;
    }
    const char32_t c = ExtensionChar(code);
    CCharsetUtf::AppendUtf8(out, c != 0 ? c : kDefault[code]);
  }
  return out;
}

void CGsm7Alphabet::Pack(const std::vector<uint8_t>& septets, size_t nBitOffset, std::vector<uint8_t>& out) {
  const size_t nBits = nBitOffset + septets.size() * 7;
  const size_t nOctets = (nBits + 7) / 8;
  if (out.size() < nOctets)
    out.resize(nOctets, 0);
  size_t nBit = nBitOffset;
  for (uint8_t s : septets) {
    const unsigned v = s & 0x7F;
    const size_t nByte = nBit / 8;
    const unsigned nShift = nBit % 8;
    out[nByte] = static_cast<uint8_t>(out[nByte] | ((v << nShift) & 0xFF));
    if (nShift > 1)
      out[nByte + 1] = static_cast<uint8_t>(out[nByte + 1] | (v >> (8 - nShift)));
    nBit += 7;
  }
}

std::vector<uint8_t> CGsm7Alphabet::Unpack(const uint8_t* pData, size_t nOctets, size_t nBitOffset,
                                           size_t nCount) {
  std::vector<uint8_t> septets;
  const size_t nAvailableBits = nOctets * 8;
  if (nBitOffset >= nAvailableBits)
    return septets;
  const size_t nFit = (nAvailableBits - nBitOffset) / 7;
  if (nCount > nFit)
    nCount = nFit;
  septets.reserve(nCount);
  size_t nBit = nBitOffset;
  for (size_t i = 0; i < nCount; ++i) {
    const size_t nByte = nBit / 8;
    const unsigned nShift = nBit % 8;
    unsigned v = pData[nByte] >> nShift;
    if (nShift > 1)
      v |= static_cast<unsigned>(pData[nByte + 1]) << (8 - nShift);
    septets.push_back(static_cast<uint8_t>(v & 0x7F));
    nBit += 7;
  }
  return septets;
}
