// A list archived record by record as its records are made (what `mireth store
// write` saves): the same bytes as the whole list, in memory and on disk.
#include <string>

#include "ModelTestSupport.h"

namespace {

template <class R>
std::string BytesOf(CRecordListBytes<R>& list) {
  std::string bytes = list.GetCountBytes();
  for (const std::string& block : list.GetRecordBlocks())
    bytes += block;
  return bytes;
}

template <class List>
std::string WholeListBytes(const List& list) {
  std::string bytes;
  EXPECT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  return bytes;
}

TEST(ListBytes, RecordByRecordGivesTheBytesOfTheWholeList) {
  // Counts around the change of the count's form (a WORD below 0xFFFF, else FFFF
  // and a DWORD), one record object filled again for each record.
  const std::pair<size_t, std::string> cases[] = {
      {0, CBytes().w(0).s},
      {2, CBytes().w(2).s},
      {0xFFFE, CBytes().w(0xFFFE).s},
      {0xFFFF, CBytes().w(0xFFFF).l(0xFFFF).s},
      {0x10005, CBytes().w(0xFFFF).l(0x10005).s},
  };
  for (const auto& [nCount, countBytes] : cases) {
    CAddressArray whole;
    CRecordListBytes<CAddress> list;
    CAddress record;
    for (size_t i = 0; i < nCount; ++i) {
      whole.push_back(MakeAddress(std::to_string(i), i % 3 == 0 ? "Name " + std::to_string(i) : ""));
      record = *whole.back();
      list.Add(record);
    }
    EXPECT_EQ(list.GetCount(), nCount);
    EXPECT_EQ(list.GetCountBytes(), countBytes) << nCount;
    const std::string bytes = BytesOf(list);
    EXPECT_EQ(bytes, WholeListBytes(whole)) << nCount;
    CAddressArray back;
    ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk()) << nCount;
    EXPECT_EQ(back.size(), nCount);
  }

  // Messages whose bytes span several blocks, a record cut by a block's end among them.
  CMessageArray whole;
  CRecordListBytes<CMessage> list;
  CMessage record;
  for (size_t i = 0; i < 3000; ++i) {
    whole.push_back(MakeMessage("+49" + std::to_string(i), std::string(700 + i % 301, 'a' + i % 26)));
    whole.back()->m_dtDateTime = CDateTime(45000.0 + i, CDateTime::valid);
    record = *whole.back();
    list.Add(record);
  }
  EXPECT_GT(list.GetRecordBlocks().size(), 1u);
  EXPECT_EQ(BytesOf(list), WholeListBytes(whole));
  // Saved, the file holds those bytes (the save itself is the one every list goes through).
  CTempFolder folder;
  ASSERT_TRUE(WriteStoreFile(folder.Path() + "SMSIn.Dat", list).IsOk());
  EXPECT_EQ(ReadFile(folder.Path() + "SMSIn.Dat"), WholeListBytes(whole));
}

}  // namespace
