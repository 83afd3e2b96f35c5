// A list saved in blocks of records as they are made (what `mireth store write`
// does): the bytes of the whole list's save, with the class header before the first
// record whichever block holds it, a count that settles its form only at the end,
// and a save given up or failing halfway that leaves the file as it was.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "ModelTestSupport.h"

namespace {

// Gives the records of list in blocks of 700 (the first block empty), or gives the
// writing up at block nAbandonAt.
template <class R>
std::function<NextBlock(CRecordBlock<R>*&)> Blocks(const std::vector<std::unique_ptr<R>>& list,
                                                   size_t nAbandonAt = SIZE_MAX) {
  return [&list, nAbandonAt, pBlock = std::make_shared<CRecordBlock<R>>(), i = size_t(0),
          nBlock = size_t(0)](CRecordBlock<R>*& p) mutable {
    if (nBlock == nAbandonAt)
      return NextBlock::abandon;
    if (nBlock != 0 && i == list.size())
      return NextBlock::end;
    pBlock->Clear();
    for (size_t n = nBlock++ == 0 ? 0 : 700; n != 0 && i < list.size(); --n)
      pBlock->Add(*list[i++]);
    pBlock->Finish();
    p = pBlock.get();
    return NextBlock::block;
  };
}

CMessageArray Messages(size_t nCount, size_t nTextSize) {
  CMessageArray list;
  for (size_t i = 0; i < nCount; ++i) {
    list.push_back(MakeMessage("+49" + std::to_string(i), std::string(nTextSize + i % 301, 'a' + i % 26)));
    list.back()->m_dtDateTime = CDateTime(45000.0 + i, CDateTime::valid);
  }
  return list;
}

TEST(RecordsWrite, BlockByBlockGivesTheBytesOfTheWholeList) {
  CTempFolder folder;
  const std::string strPath = folder.Path() + "SMSAdd.Dat";
  // Counts around the change of the count's form (a WORD below 0xFFFF, else FFFF
  // and a DWORD): the records move up behind a short count.
  const std::pair<size_t, std::string> cases[] = {
      {0, CBytes().w(0).s},
      {2, CBytes().w(2).s},
      {0xFFFE, CBytes().w(0xFFFE).s},
      {0xFFFF, CBytes().w(0xFFFF).l(0xFFFF).s},
      {0x10005, CBytes().w(0xFFFF).l(0x10005).s},
  };
  for (const auto& [nCount, countBytes] : cases) {
    CAddressArray whole;
    for (size_t i = 0; i < nCount; ++i)
      whole.push_back(MakeAddress(std::to_string(i), i % 3 == 0 ? "Name " + std::to_string(i) : ""));
    ASSERT_TRUE(WriteStoreFileBlocks(strPath, Blocks(whole)).IsOk()) << nCount;
    const std::string bytes = ReadFile(strPath);
    EXPECT_EQ(bytes.substr(0, countBytes.size()), countBytes) << nCount;
    EXPECT_EQ(bytes, ListBytes(whole)) << nCount;
  }
  EXPECT_EQ(folder.Count(), 1u);  // no temporary left

  // Messages of many megabytes, some written while the first go to the disk, then
  // moved up across several buffers behind their short count; the file's
  // permissions are kept, and the temporary has them from the start.
  const std::string strInbox = folder.Path() + "SMSIn.Dat";
  ASSERT_TRUE(WriteStoreFile(strInbox, Messages(3, 10)).IsOk());
  ASSERT_EQ(chmod(strInbox.c_str(), 0640), 0);
  const CMessageArray whole = Messages(3000, 3000);
  mode_t nTempMode = 0;
  ASSERT_TRUE(
      WriteStoreFileBlocks(strInbox, [&, source = Blocks(whole)](CRecordBlock<CMessage>*& pBlock) mutable {
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
          if (struct stat st; entry.path().string().find(".tmp-") != std::string::npos &&
                              stat(entry.path().c_str(), &st) == 0)
            nTempMode = st.st_mode & 07777;
        return source(pBlock);
      }).IsOk());
  EXPECT_EQ(nTempMode, 0640u);
  EXPECT_EQ(ReadFile(strInbox), ListBytes(whole));
  struct stat st;
  ASSERT_EQ(stat(strInbox.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(RecordsWrite, AGivenUpOrFailedSaveLeavesTheFileAsItWas) {
  CTempFolder folder;
  const std::string strPath = folder.Path() + "SMSIn.Dat";
  ASSERT_TRUE(WriteStoreFile(strPath, Messages(5, 100)).IsOk());
  const std::string before = ReadFile(strPath);
  const CMessageArray list = Messages(2000, 1000);  // about 2 MB: several writes
  // What fails, the fault it is made to meet, and the outcome.
  const int fdHeld = open(strPath.c_str(), O_RDONLY);
  const std::tuple<const char*, StoreFaultHook, size_t, CStoreResult::Kind> cases[] = {
      {"given up at once", nullptr, 0, CStoreResult::abandoned},
      {"given up halfway", nullptr, 2, CStoreResult::abandoned},
      {"disk full", FailAt(StoreStep::write, 1, CStoreFault::fileError, CFileException::diskFull), SIZE_MAX,
       CStoreResult::fileError},
      {"not flushed", FailAt(StoreStep::sync, 0, CStoreFault::fileError, CFileException::hardIO), SIZE_MAX,
       CStoreResult::fileError},
      {"held by another program when the list is complete", nullptr, SIZE_MAX, CStoreResult::notOpened},
  };
  for (const auto& [pszName, hook, nAbandonAt, kind] : cases) {
    SCOPED_TRACE(pszName);
    if (kind == CStoreResult::notOpened) {
      ASSERT_EQ(flock(fdHeld, LOCK_EX | LOCK_NB), 0);
    }
    CFaultHookScope scope(hook);
    EXPECT_EQ(WriteStoreFileBlocks(strPath, Blocks(list, nAbandonAt)).m_kind, kind);
    EXPECT_EQ(ReadFile(strPath), before);
    EXPECT_EQ(folder.Count(), 1u);  // no temporary left
  }
  close(fdHeld);
}

TEST(RecordsWrite, AFolderThatTakesNoNewFileGetsTheListThroughTheSpareFolder) {
  CSpareFolderScope spare;
  CTempFolder folder;
  const std::string strPath = folder.Path() + "SMSIn.Dat";
  ASSERT_TRUE(WriteStoreFile(strPath, Messages(5, 100)).IsOk());
  const CMessageArray list = Messages(700, 500);
  {
    CFaultHookScope scope([](StoreStep step, size_t) {
      return step == StoreStep::createTemp ? CStoreFault{CStoreFault::fileError, CFileException::accessDenied}
                                           : CStoreFault();
    });
    ASSERT_TRUE(WriteStoreFileBlocks(strPath, Blocks(list)).IsOk());
  }
  EXPECT_EQ(ReadFile(strPath), ListBytes(list));
  EXPECT_EQ(folder.Count(), 1u);
  // Only the backup of the old list is kept there.
  EXPECT_EQ(spare.Files(""), spare.Files(".bak"));
}

}  // namespace
