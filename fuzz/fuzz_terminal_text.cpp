// Fuzzes the terminal-safe form of texts from messages: whatever the bytes, the
// shown form holds no control character (C0, DEL, C1 as UTF-8), no bidirectional
// control and no byte outside UTF-8; no input byte is lost (each is shown as itself
// or as an escape); and a table cell never exceeds its width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cli/TableCell.h"
#include "platform/CharsetUtf.h"

namespace {

void Check(bool bCondition) {
  if (!bCondition)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string in(reinterpret_cast<const char*>(data), size);
  const std::string shown = TerminalText(in);
  Check(shown.size() >= in.size());
  for (size_t i = 0; i < shown.size();) {
    const unsigned char c = static_cast<unsigned char>(shown[i]);
    Check(c >= 0x20 && c != 0x7F);
    char32_t u = 0;
    size_t n = c < 0x80 ? 1 : CCharsetUtf::Utf8SequenceLength(shown, i, &u);
    Check(n != 0);  // well-formed UTF-8 only
    if (n > 1)
      Check(u > 0x9F && !terminal_text::IsBidiControl(u));
    i += n;
  }
  const size_t nMax = size == 0 ? 3 : 3 + data[0] % 64;
  const std::string cell = TableCell(in, nMax);
  Check(cell.size() <= nMax);
  Check(cell == shown || (cell.size() >= 3 && cell.compare(cell.size() - 3, 3, "...") == 0 &&
                          shown.compare(0, cell.size() - 3, cell, 0, cell.size() - 3) == 0));
  return 0;
}
