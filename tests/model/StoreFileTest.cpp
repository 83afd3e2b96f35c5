// The five store files on disk: what each failure shows, the post-load steps, locks
// held by others and saves interrupted at any step.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "ModelTestSupport.h"
#include "model/StoreLists.h"

namespace {

using Texts = std::vector<std::string>;
const char kEndOfFileText[] = "Reached the end of file while reading an object";
const char kDiskFullText[] = "The disk is full. Please make more free space on the hard disk and try again";
const StoreList g_allLists[] = {StoreList::inbox, StoreList::outbox, StoreList::addressBook,
                                StoreList::presets, StoreList::serviceCenters};

// Loads a list with its page-level operation; nCount receives the list's length.
LoadResult LoadList(StoreList which, const std::string& d, size_t& nCount) {
  CMessageArray m;
  CAddressArray a;
  using L = StoreList;
  const LoadResult r = which == L::inbox         ? LoadInbox(d, m)
                       : which == L::outbox      ? LoadOutbox(d, m)
                       : which == L::presets     ? LoadPresets(d, m)
                       : which == L::addressBook ? LoadAddressBook(d, a)
                                                 : LoadServiceCenters(d, a);
  nCount = m.size() + a.size();
  return r;
}

// Saves nRecords records of 150 characters each, so that a few buffers are written.
bool SaveList(StoreList which, const std::string& d, size_t nRecords) {
  CMessageArray m;
  CAddressArray a;
  for (size_t i = 0; i < nRecords; ++i) {
    m.push_back(
        MakeMessage("+49" + std::to_string(1000 + i), std::string(150, static_cast<char>('a' + i % 26))));
    a.push_back(
        MakeAddress("+49" + std::to_string(1000 + i), std::string(150, static_cast<char>('A' + i % 26))));
  }
  using L = StoreList;
  return which == L::inbox         ? SaveInbox(d, m)
         : which == L::outbox      ? SaveOutbox(d, m)
         : which == L::presets     ? SavePresets(d, m)
         : which == L::addressBook ? SaveAddressBook(d, a)
                                   : SaveServiceCenters(d, a);
}

// Per file and kind of error: the text shown, or nothing. A load that fails keeps
// nothing (the error came before the first record); a save that fails leaves the file.
TEST(StoreFiles, EachFailureIsShownOrNotAsItsFileRules) {
  enum Kind { loadFile, loadArchive, loadMemory, saveFile, saveFileNoText, saveArchive, saveMemory };
  // The kind, the step that fails and how, and the text shown for it.
  const std::tuple<Kind, StoreStep, CStoreFault::Kind, int, const char*> kinds[] = {
      {loadFile, StoreStep::read, CStoreFault::fileError, CFileException::hardIO,
       "There was a hardware error"},
      {loadArchive, StoreStep::read, CStoreFault::none, 0,  // a class of another version
       "Tried to read an object with different version of the class"},
      {loadMemory, StoreStep::read, CStoreFault::memory, 0, nullptr},
      {saveFile, StoreStep::write, CStoreFault::fileError, CFileException::diskFull, kDiskFullText},
      {saveFileNoText, StoreStep::write, CStoreFault::fileError, CFileException::directoryFull, ""},
      {saveArchive, StoreStep::write, CStoreFault::archiveError, CArchiveException::genericException,
       "Unspecified Error"},
      {saveMemory, StoreStep::write, CStoreFault::memory, 0, nullptr},
  };
  // Which kinds each file shows.
  const std::pair<StoreList, std::vector<Kind>> shown[] = {
      {StoreList::inbox, {loadFile, loadArchive, saveFile, saveFileNoText, saveArchive}},
      {StoreList::outbox, {loadArchive, saveFile, saveFileNoText, saveArchive}},
      {StoreList::addressBook, {loadFile}},
      {StoreList::presets, {loadFile}},
      {StoreList::serviceCenters, {loadFile, loadArchive, saveFile, saveFileNoText, saveArchive}},
  };
  for (const auto& [which, kindsShown] : shown) {
    for (const auto& [kind, step, fault, nCause, pszText] : kinds) {
      SCOPED_TRACE(testing::Message() << GetStoreFileName(which) << " kind " << kind);
      CTempFolder folder;
      const std::string strPath = GetStorePath(folder.Path(), which);
      ASSERT_TRUE(SaveList(which, folder.Path(), 3));
      std::string before = ReadFile(strPath);
      if (kind == loadArchive) {
        before[4] = 2;
        WriteFile(strPath, before);
      }
      CRecordingPrompt prompt;
      CFaultHookScope scope(FailAt(step, 0, fault, nCause));
      if (step == StoreStep::read) {
        size_t nCount = 0;
        EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::failed);
        EXPECT_EQ(nCount, 0u);
      } else {
        EXPECT_FALSE(SaveList(which, folder.Path(), 5));
        EXPECT_EQ(ReadFile(strPath), before);
      }
      const bool bShown = std::count(kindsShown.begin(), kindsShown.end(), kind) > 0;
      EXPECT_EQ(prompt.m_texts, bShown ? Texts{pszText} : Texts{});
    }
  }
}

TEST(StoreFiles, ZeroLengthMissingAndEmptyFiles) {
  using Outcome = std::tuple<LoadResult, size_t, Texts>;
  for (StoreList which : g_allLists) {
    SCOPED_TRACE(GetStoreFileName(which));
    CTempFolder folder;
    CRecordingPrompt prompt;
    // The load's result, the list's length and the texts shown.
    auto load = [&] {
      size_t nCount = 0;
      const LoadResult r = LoadList(which, folder.Path(), nCount);
      return Outcome(r, nCount, std::exchange(prompt.m_texts, {}));
    };
    const size_t nDefaults = which == StoreList::presets ? 5 : 0;
    // Missing: nothing shown; the presets get their five defaults.
    EXPECT_EQ(load(), Outcome(LoadResult::notOpened, nDefaults, {}));
    // Zero length: the end of the file, shown for three files; no defaults after an error.
    WriteFile(GetStorePath(folder.Path(), which), "");
    const bool bShown =
        which == StoreList::inbox || which == StoreList::outbox || which == StoreList::serviceCenters;
    EXPECT_EQ(load(), Outcome(LoadResult::failed, 0, bShown ? Texts{kEndOfFileText} : Texts{}));
    // An empty list saves as 00 00 and loads without a message.
    ASSERT_TRUE(SaveList(which, folder.Path(), 0));
    EXPECT_EQ(ReadFile(GetStorePath(folder.Path(), which)), std::string(2, '\0'));
    EXPECT_EQ(load(), Outcome(LoadResult::loaded, nDefaults, {}));
  }
}

TEST(StoreFiles, PostLoadStepsRunOnlyAfterACompleteLoad) {
  CTempFolder folder;
  CAddressArray book;
  for (const char* name : {"b", "\xC3\xA9t\xC3\xA9", "", "A", "a", "Zoe"})
    book.push_back(MakeAddress(std::to_string(book.size()), name));
  ASSERT_TRUE(SaveAddressBook(folder.Path(), book));
  const std::string strBook = folder.Path() + "SMSAdd.Dat";
  std::string bytes = ReadFile(strBook);
  WriteFile(strBook, bytes + '\1');  // trailing bytes are ignored
  CAddressArray back;
  ASSERT_EQ(LoadAddressBook(folder.Path(), back), LoadResult::loaded);
  std::vector<std::string> names;
  for (const auto& p : back)
    names.push_back(p->m_strName);
  // Unnamed entries are named and sort first, then bytes as unsigned values.
  EXPECT_EQ(names, (std::vector<std::string>{"NoName", "A", "Zoe", "a", "b", "\xC3\xA9t\xC3\xA9"}));
  EXPECT_EQ(back[0]->m_strNumber, "2");

  // One record more than the file holds: what was read stays, unsorted and unnamed.
  bytes[0] = 7;
  WriteFile(strBook, bytes);
  back.clear();
  EXPECT_EQ(LoadAddressBook(folder.Path(), back), LoadResult::failed);
  ASSERT_EQ(back.size(), 6u);
  EXPECT_EQ(back[0]->m_strName, "b");
  EXPECT_EQ(back[2]->m_strName, "");
  // A preset file cut short: the first record, and no defaults.
  ASSERT_TRUE(SaveList(StoreList::presets, folder.Path(), 2));
  bytes = ReadFile(folder.Path() + "SMSList.Dat");
  WriteFile(folder.Path() + "SMSList.Dat", bytes.substr(0, bytes.size() - 1));
  CMessageArray presets;
  EXPECT_EQ(LoadPresets(folder.Path(), presets), LoadResult::failed);
  ASSERT_EQ(presets.size(), 1u);
  EXPECT_EQ(presets[0]->m_strMessage, std::string(150, 'a'));
}

TEST(StoreFiles, AFileHeldByAnotherOrNotCreatableIsNeitherLoadedNorSaved) {
  for (StoreList which : g_allLists) {
    SCOPED_TRACE(GetStoreFileName(which));
    CTempFolder folder;
    const std::string strPath = GetStorePath(folder.Path(), which);
    ASSERT_TRUE(SaveList(which, folder.Path(), 2));
    const std::string before = ReadFile(strPath);
    // Another open file description with an exclusive lock, as another program has.
    const int fd = open(strPath.c_str(), O_RDONLY);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    CRecordingPrompt prompt;
    size_t nCount = 99;
    EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::notOpened);
    EXPECT_EQ(nCount, which == StoreList::presets ? 5u : 0u);
    EXPECT_FALSE(SaveList(which, folder.Path(), 4));
    // The outgoing list names its file alone.
    const std::string strShown = which == StoreList::outbox ? GetStoreFileName(which) : strPath;
    EXPECT_EQ(prompt.m_texts, Texts{"Unable to Save " + strShown});
    EXPECT_EQ(ReadFile(strPath), before);
    close(fd);
    EXPECT_TRUE(SaveList(which, folder.Path(), 4));
    EXPECT_NE(ReadFile(strPath), before);

    // A folder that is not there, and a folder in the place of the file.
    prompt.m_texts.clear();
    EXPECT_FALSE(SaveList(which, folder.Path() + "gone/", 1));
    std::filesystem::remove(strPath);
    std::filesystem::create_directory(strPath);
    EXPECT_FALSE(SaveList(which, folder.Path(), 1));
    const std::string strGone =
        which == StoreList::outbox ? GetStoreFileName(which) : GetStorePath(folder.Path() + "gone/", which);
    EXPECT_EQ(prompt.m_texts, (Texts{"Unable to Save " + strGone, "Unable to Save " + strShown}));
  }
}

TEST(StoreFiles, AnInterruptedSaveLeavesThePreviousFileAsItWas) {
  for (StoreStep step : {StoreStep::write, StoreStep::sync, StoreStep::rename}) {
    for (bool bExisting : {true, false}) {
      CTempFolder folder;
      const std::string strPath = folder.Path() + "SMSIn.Dat";
      ASSERT_TRUE(!bExisting || SaveList(StoreList::inbox, folder.Path(), 3));
      const std::string before = ReadFile(strPath);
      size_t nFail = 0;
      for (; nFail < 200; ++nFail) {
        bool bFired = false;
        CFaultHookScope scope([&](StoreStep s, size_t nCall) {
          bFired |= s == step && nCall == nFail;
          return FailAt(step, nFail, CStoreFault::fileError, CFileException::diskFull)(s, nCall);
        });
        CRecordingPrompt prompt;
        const bool bSaved = SaveList(StoreList::inbox, folder.Path(), 1000);  // about 170 KB
        if (!bFired) {  // past the last call of the step: the save goes through
          EXPECT_TRUE(bSaved);
          break;
        }
        EXPECT_FALSE(bSaved);
        EXPECT_EQ(prompt.m_texts, Texts{kDiskFullText});
        // The previous file byte for byte (or still no file), and no temporary file.
        EXPECT_EQ(std::filesystem::exists(strPath), bExisting) << nFail;
        EXPECT_EQ(ReadFile(strPath), before) << nFail;
        EXPECT_EQ(folder.Count(), bExisting ? 1u : 0u) << nFail;
      }
      // The list took several buffers; it is flushed and renamed once.
      EXPECT_TRUE(step == StoreStep::write ? nFail >= 3 : nFail == 1) << nFail;
      EXPECT_EQ(folder.Count(), 1u);
    }
  }
}

TEST(StoreFiles, SaveKeepsPermissionsAndFollowsALink) {
  CTempFolder folder, elsewhere;
  const std::string strPath = folder.Path() + "SMSSCA.Dat", strTarget = elsewhere.Path() + "real.Dat";
  ASSERT_TRUE(SaveList(StoreList::serviceCenters, folder.Path(), 1));
  ASSERT_EQ(chmod(strPath.c_str(), 0640), 0);
  std::filesystem::rename(strPath, strTarget);
  std::filesystem::create_symlink(strTarget, strPath);
  ASSERT_TRUE(SaveList(StoreList::serviceCenters, folder.Path(), 2));
  // The file the link leads to is replaced with its permissions; the link stays.
  struct stat st;
  ASSERT_EQ(stat(strTarget.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_TRUE(std::filesystem::is_symlink(strPath));
  CAddressArray back;
  ASSERT_TRUE(ReadStoreFile(strTarget, back).IsOk());
  EXPECT_EQ(back.size(), 2u);
}

}  // namespace
