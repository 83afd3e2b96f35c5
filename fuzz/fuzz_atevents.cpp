// The readers of what a phone announces (new messages, status reports), of the
// indication settings it offers, of its phonebooks, and of the journal of sent
// messages: any input is read or refused, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tethra/AtEvents.h"
#include "tethra/Phonebook.h"
#include "tethra/StatusReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string strInput(reinterpret_cast<const char*>(pData), nSize);
  CAtEvent event;
  AtParseEvent(strInput, event);
  std::vector<std::vector<int>> values;
  if (AtParseCnmiSupport(strInput, values))
    AtChooseCnmi(values, true);
  int a = 0, b = 0;
  AtParseCmgrHeader(strInput, a, b);
  AtParseCpbrRange(strInput, a, b);
  std::vector<std::string> books;
  AtParseCpbsSupport(strInput, books);
  CPhonebookEntry entry;
  AtParseCpbrEntry(strInput, false, entry);
  AtParseCpbrEntry(strInput, true, entry);
  std::string strUtf8;
  DecodeUcs2Hex(strInput, strUtf8);
  CSentReference sent;
  if (ParseSentReference(strInput, sent)) {
    CSentReference again;
    if (!ParseSentReference(FormatSentReference(sent), again) || again.strText != sent.strText)
      __builtin_trap();  // a journal line must read back as it was written
  }
  return 0;
}
