#include "platform/CharsetUtf.h"

namespace {

bool IsContinuation(uint8_t b) { return (b & 0xC0) == 0x80; }

// What the first byte of a UTF-8 sequence announces: its length (0 for a byte that
// starts none), the bits of the code point it carries, and the least code point a
// sequence of that length may hold (less is an overlong form).
struct CLead {
  size_t nLength;
  char32_t c;
  char32_t cMin;
};

CLead ReadLead(uint8_t b0) {
  if (b0 < 0x80)
    return {1, b0, 0};
  if ((b0 & 0xE0) == 0xC0)
    return {2, static_cast<char32_t>(b0 & 0x1F), 0x80};
  if ((b0 & 0xF0) == 0xE0)
    return {3, static_cast<char32_t>(b0 & 0x0F), 0x800};
  if ((b0 & 0xF8) == 0xF0)
    return {4, static_cast<char32_t>(b0 & 0x07), 0x10000};
  return {0, 0, 0};
}

}  // namespace

std::u32string CCharsetUtf::DecodeUtf8(std::string_view strText, bool* pbValid) {
  std::u32string out;
  out.reserve(strText.size());
  bool bValid = true;
  const size_t n = strText.size();
  size_t i = 0;
  while (i < n) {
    char32_t c = 0;
    const size_t nSequence = Utf8SequenceLength(strText, i, &c);
    if (nSequence != 0) {
      out.push_back(c);
      i += nSequence;
      continue;
    }
    // One '?' for the bad sequence: its lead byte and the continuation bytes after
    // it, as many as the lead byte announced (a stray byte alone).
    out.push_back(U'?');
    bValid = false;
    const size_t nAnnounced = ReadLead(static_cast<uint8_t>(strText[i])).nLength;
    size_t j = 1;
    while (j < nAnnounced && i + j < n && IsContinuation(static_cast<uint8_t>(strText[i + j])))
      ++j;
    i += j;
  }
  if (pbValid)
    *pbValid = bValid;
  return out;
}

size_t CCharsetUtf::Utf8SequenceLength(std::string_view strText, size_t nAt, char32_t* pc) {
  if (nAt >= strText.size())
    return 0;
  const CLead lead = ReadLead(static_cast<uint8_t>(strText[nAt]));
  if (lead.nLength == 0 || strText.size() - nAt < lead.nLength)
    return 0;
  char32_t c = lead.c;
  for (size_t k = 1; k < lead.nLength; ++k) {
    const uint8_t b = static_cast<uint8_t>(strText[nAt + k]);
    if (!IsContinuation(b))
      return 0;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < lead.cMin || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return 0;
  if (pc)
    *pc = c;
  return lead.nLength;
}

bool CCharsetUtf::IsUtf8(std::string_view strText) {
  for (size_t i = 0; i < strText.size();) {
    const size_t n = Utf8SequenceLength(strText, i);
    if (n == 0)
      return false;
    i += n;
  }
  return true;
}

void CCharsetUtf::AppendUtf8(std::string& strOut, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    c = U'?';
  if (c < 0x80) {
    strOut.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    strOut.push_back(static_cast<char>(0xC0 | (c >> 6)));
    strOut.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    strOut.push_back(static_cast<char>(0xE0 | (c >> 12)));
    strOut.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    strOut.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    strOut.push_back(static_cast<char>(0xF0 | (c >> 18)));
    strOut.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    strOut.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    strOut.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string CCharsetUtf::EncodeUtf8(const std::u32string& text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text)
    AppendUtf8(out, c);
  return out;
}

std::u16string CCharsetUtf::ToUtf16(const std::u32string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      c = U'?';
    if (c > 0xFFFF) {
      const char32_t v = c - 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 | (v >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 | (v & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
  }
  return out;
}

std::vector<uint8_t> CCharsetUtf::ToUtf16Be(const std::u32string& text) {
  const std::u16string units = ToUtf16(text);
  std::vector<uint8_t> out;
  out.reserve(units.size() * 2);
  for (char16_t u : units) {
    out.push_back(static_cast<uint8_t>(u >> 8));
    out.push_back(static_cast<uint8_t>(u & 0xFF));
  }
  return out;
}

std::string CCharsetUtf::Utf16ToUtf8(const uint8_t* pData, size_t nLength, bool bBigEndian) {
  std::string out;
  out.reserve(nLength);
  const size_t nUnits = nLength / 2;
  auto unit = [&](size_t i) -> char32_t {
    const char32_t a = pData[2 * i], b = pData[2 * i + 1];
    return bBigEndian ? (a << 8) | b : (b << 8) | a;
  };
  size_t i = 0;
  while (i < nUnits) {
    const char32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (i + 1 < nUnits) {
        const char32_t u2 = unit(i + 1);
        if (u2 >= 0xDC00 && u2 <= 0xDFFF) {
          AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (u2 - 0xDC00));
          i += 2;
          continue;
        }
      }
      out.push_back('?');  // high surrogate without its low half
    } else if (u >= 0xDC00 && u <= 0xDFFF) {
      out.push_back('?');  // low surrogate on its own
    } else {
      AppendUtf8(out, u);
    }
    ++i;
  }
  if (nLength % 2 != 0)
    out.push_back('?');
  return out;
}

std::string CCharsetUtf::Latin1ToUtf8(const uint8_t* pData, size_t nLength) {
  std::string out;
  out.reserve(nLength);
  for (size_t i = 0; i < nLength; ++i)
    AppendUtf8(out, pData[i]);
  return out;
}
