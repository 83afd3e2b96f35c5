// Store-file bytes of any kind, read as a message list and as an address list. The
// reader must never crash or keep an empty entry; a list it accepts must write back
// to bytes that read to the same records, and writing those again must give the same
// bytes. Each record must also survive its JSON line form.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

template <class List>
void Check(const uint8_t* data, size_t size, StoreRecordClass expected) {
  List list;
  CStoreResult result = ReadRecordBytes(data, size, list);
  for (const auto& p : list)
    if (!p)
      std::abort();
  for (const auto& p : list) {
    typename List::value_type::element_type back;
    std::string strError;
    if (!RecordFromJson(RecordToJson(*p), back, strError) || !IsSameRecord(*p, back))
      std::abort();
  }
  if (!result.IsOk())
    return;
  if (!list.empty() && DetectRecordClass(data, size) != expected)
    std::abort();
  std::string bytes;
  if (!WriteRecordBytes(list, bytes).IsOk())
    std::abort();
  List again;
  if (!ReadRecordBytes(bytes.data(), bytes.size(), again).IsOk() || again.size() != list.size())
    std::abort();
  for (size_t i = 0; i < list.size(); ++i)
    if (!IsSameRecord(*list[i], *again[i]))
      std::abort();
  std::string bytes2;
  if (!WriteRecordBytes(again, bytes2).IsOk() || bytes2 != bytes)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check<CMessageArray>(data, size, StoreRecordClass::message);
  Check<CAddressArray>(data, size, StoreRecordClass::address);
  return 0;
}
