// A JSON line of any bytes, read as a message and as an address (what `mireth store
// write` reads from its input). The reader must never crash; a refusal must give a
// reason; a record it takes must write back to a line that reads to the same record
// and writes again to the same line; and a line taken as a record is a well-formed
// object whose class can be told.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

template <class Record>
void Check(std::string_view line) {
  Record record;
  std::string strError;
  if (!RecordFromJson(line, record, strError)) {
    if (strError.empty())
      std::abort();
    return;
  }
  std::string strClass;
  if (!GetJsonClass(line, strClass, strError))
    std::abort();
  const std::string strBack = RecordToJson(record);
  Record back;
  if (!RecordFromJson(strBack, back, strError) || !IsSameRecord(record, back) ||
      RecordToJson(back) != strBack)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  Check<CMessage>(line);
  Check<CAddress>(line);
  std::string strClass, strError;
  GetJsonClass(line, strClass, strError);
  return 0;
}
