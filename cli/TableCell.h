// Text from a message or a phone, made safe for a terminal, and cut to one cell of
// the command-line program's tables.
//
// A received SMS is written by a stranger: shown raw, an escape sequence in it
// could clear the screen, set the window title or hide text, and a bidirectional
// override could reorder the line. So every control character is shown as an
// escape: C0 as \n \r \t or \xNN (U+0000 too, and the text after it is kept), DEL as
// \x7F, the C1 controls U+0080..U+009F (CSI U+009B among them) as \u009B, bytes
// that are not UTF-8 as \xNN, and the bidirectional marks, embeddings, overrides
// and isolates (U+061C, U+200E, U+200F, U+202A..U+202E, U+2066..U+2069) as \u202E.
// Everything else, UTF-8 text of every script included, is shown as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/CharsetUtf.h"

namespace terminal_text {

inline void AppendHexEscape(std::string& out, const char* pszPrefix, uint32_t u, int nDigits) {
  static const char kHex[] = "0123456789ABCDEF";
  out += pszPrefix;
  for (int i = nDigits - 1; i >= 0; --i)
    out += kHex[(u >> (4 * i)) & 0xF];
}

inline bool IsBidiControl(uint32_t u) {
  return u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
         (u >= 0x2066 && u <= 0x2069);
}

// Appends the shown form of the character at s[i]; returns the bytes it took.
inline size_t AppendShown(std::string& out, std::string_view s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else if (c == '\t')
      out += "\\t";
    else if (c < 0x20 || c == 0x7F)
      AppendHexEscape(out, "\\x", c, 2);
    else
      out += static_cast<char>(c);
    return 1;
  }
  char32_t u = 0;
  const size_t n = CCharsetUtf::Utf8SequenceLength(s, i, &u);
  if (n == 0) {
    AppendHexEscape(out, "\\x", c, 2);
    return 1;
  }
  if ((u >= 0x80 && u <= 0x9F) || IsBidiControl(u))
    AppendHexEscape(out, "\\u", u, 4);
  else
    out.append(s.data() + i, n);
  return n;
}

}  // namespace terminal_text

// The whole text in its terminal-safe form.
inline std::string TerminalText(std::string_view str) {
  std::string out;
  out.reserve(str.size());
  for (size_t i = 0; i < str.size();)
    i += terminal_text::AppendShown(out, str, i);
  return out;
}

// The terminal-safe form cut to nMax bytes: a longer text ends in "..." and is cut
// between whole characters and escapes.
inline std::string TableCell(const std::string& str, size_t nMax) {
  std::string out;
  out.reserve(str.size() < nMax ? str.size() : nMax);
  size_t nFits = 0;  // the length of the longest whole prefix that leaves room for "..."
  for (size_t i = 0; i < str.size();) {
    i += terminal_text::AppendShown(out, str, i);
    if (out.size() + 3 <= nMax)
      nFits = out.size();
    if (out.size() > nMax) {
      out.resize(nFits);
      return out + "...";
    }
  }
  return out;
}
