// Saves that must never lose the only copy: the folder that takes no new file, the
// copy over the file that fails or is cut short, temporaries left by killed saves,
// and CSV copies replaced only when the new one is complete.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "ModelTestSupport.h"
#include "model/CsvExport.h"
#include "model/StoreLists.h"
#include "platform/SafeFile.h"

namespace {

CMessageArray Messages(size_t nCount, char cFill) {
  CMessageArray list;
  for (size_t i = 0; i < nCount; ++i)
    list.push_back(MakeMessage("+49" + std::to_string(100 + i), std::string(300, cFill)));
  return list;
}

size_t CountOf(const std::string& strPath) {
  CMessageArray back;
  EXPECT_TRUE(ReadStoreFile(strPath, back).IsOk()) << strPath;
  return back.size();
}

// A folder that takes no new file, whatever the user (root included): every attempt
// at a temporary beside the file is refused.
StoreFaultHook NoNewFileThen(StoreStep step, size_t nCall) {
  return [=](StoreStep s, size_t n) {
    CStoreFault f;
    if (s == StoreStep::createTemp || (s == step && n == nCall))
      f = {CStoreFault::fileError, CFileException::diskFull};
    return f;
  };
}

TEST(SafeSave, AFolderThatTakesNoNewFileNeverLeavesTheFileCut) {
  // What happens, the step that fails after the temporary was refused, and whether
  // the save goes through.
  const std::tuple<const char*, StoreStep, size_t, bool> cases[] = {
      {"goes through, old list kept as backup", StoreStep::read, 999, true},
      {"disk full while the new copy is written to the spare folder", StoreStep::write, 1, false},
      {"disk full in the middle of the copy over the file", StoreStep::copyBack, 4, false},
      {"the file cannot be flushed after the copy", StoreStep::sync, 2, false},
  };
  for (const auto& [pszName, failStep, nCall, bSaved] : cases) {
    SCOPED_TRACE(pszName);
    CSpareFolderScope spare;
    CTempFolder folder;
    const std::string strPath = folder.Path() + "SMSIn.Dat";
    ASSERT_TRUE(WriteStoreFile(strPath, Messages(400, 'o')).IsOk());  // about 130 KB: several buffers
    const std::string before = ReadFile(strPath);
    struct stat st;
    ASSERT_EQ(stat(strPath.c_str(), &st), 0);
    {
      CFaultHookScope scope(NoNewFileThen(failStep, nCall));
      EXPECT_EQ(WriteStoreFile(strPath, Messages(500, 'n')).IsOk(), bSaved);
    }
    // The same file (it is rewritten, not replaced), whole: the new list or the old.
    struct stat stAfter;
    ASSERT_EQ(stat(strPath.c_str(), &stAfter), 0);
    EXPECT_EQ(stAfter.st_ino, st.st_ino);
    EXPECT_EQ(CountOf(strPath), bSaved ? 500u : 400u);
    EXPECT_EQ(ReadFile(strPath) == before, !bSaved);
    // Nothing pending, no temporary left in either folder.
    EXPECT_EQ(spare.Files(".new"), 0u);
    EXPECT_EQ(spare.Files("XXXXXX"), 0u);
    EXPECT_EQ(folder.Count(), 1u);
    if (bSaved) {
      EXPECT_EQ(spare.Files(".bak"), 1u);  // the kept backup holds the old list
    }
  }
}

TEST(SafeSave, ACopyCutShortIsFinishedByTheNextReadOrSave) {
  for (bool bBySave : {false, true}) {
    SCOPED_TRACE(bBySave ? "next save" : "next read");
    CSpareFolderScope spare;
    CTempFolder folder, other;
    const std::string strPath = folder.Path() + "SMSOut.Dat";
    ASSERT_TRUE(WriteStoreFile(strPath, Messages(50, 'o')).IsOk());
    // A killed copy: the complete new list waits in the spare folder under the
    // file's name, the file itself is cut in the middle.
    {
      CFaultHookScope scope(NoNewFileThen(StoreStep::read, 999));
      ASSERT_TRUE(WriteStoreFile(strPath, Messages(60, 'n')).IsOk());
    }
    const std::string complete = ReadFile(strPath);
    ASSERT_EQ(spare.Files(".new"), 0u);
    std::string strNew;
    for (const auto& e : std::filesystem::directory_iterator(spare.Spare()))
      if (e.path().string().ends_with(".bak"))
        strNew = e.path().string().substr(0, e.path().string().size() - 4) + ".new";
    WriteFile(strNew, complete);
    WriteFile(strPath, complete.substr(0, complete.size() / 2));
    if (bBySave) {
      // The save that follows starts from the finished copy and replaces it.
      ASSERT_TRUE(WriteStoreFile(strPath, Messages(70, 'x')).IsOk());
      EXPECT_EQ(CountOf(strPath), 70u);
    } else {
      EXPECT_EQ(CountOf(strPath), 60u);
      EXPECT_EQ(ReadFile(strPath), complete);
    }
    EXPECT_FALSE(std::filesystem::exists(strNew));
  }
}

TEST(SafeSave, WithNowhereToKeepACopyTheSaveIsRefusedAndTheFileUntouched) {
  CTempFolder folder;
  const std::string strPath = folder.Path() + "SMSAdd.Dat";
  CAddressArray list;
  list.push_back(MakeAddress("+4911", "Old"));
  ASSERT_TRUE(WriteStoreFile(strPath, list).IsOk());
  const std::string before = ReadFile(strPath);
  // No cache, no home, no runtime folder: a plain file where the folders would be.
  const std::string strBlock = folder.Path() + "plain";
  WriteFile(strBlock, "x");
  CTestSandbox env("mireth-nowhere");
  for (const char* pszName : {"XDG_CACHE_HOME", "HOME", "XDG_RUNTIME_DIR"})
    env.SetEnv(pszName, strBlock + "/" + pszName);
  list.push_back(MakeAddress("+4922", "New"));
  CFaultHookScope scope(NoNewFileThen(StoreStep::read, 999));
  CRecordingPrompt prompt;
  EXPECT_FALSE(SaveAddressBook(folder.Path(), list));
  EXPECT_EQ(prompt.m_texts, std::vector<std::string>{"Unable to Save " + strPath});
  EXPECT_EQ(ReadFile(strPath), before);
}

TEST(SafeSave, TemporariesOfKilledSavesGoAtTheNextSaveAndARunningOneStays) {
  CTempFolder folder;
  const std::string strPath = folder.Path() + "SMSIn.Dat";
  // Two left by killed saves, one held by a save still running, and files that only
  // look alike (another suffix length, another file's temporary, a user's copy).
  WriteFile(strPath + ".tmp-Ab12Cd", std::string(5000, 'k'));
  WriteFile(strPath + ".tmp-zzzzzz", "");
  std::string strRunning;
  const int fdRunning = CreateLockedTemp(strPath, strRunning);
  ASSERT_GE(fdRunning, 0);
  for (const char* psz :
       {"SMSIn.Dat.tmp-abc", "SMSIn.Dat.backup", "SMSOut.Dat.tmp-Ab12Cd", "SMSIn.Dat.tmp-Ab12Cd7"})
    WriteFile(folder.Path() + psz, "mine");
  ASSERT_EQ(folder.Count(), 7u);
  // The first-ever save of the file.
  ASSERT_TRUE(WriteStoreFile(strPath, Messages(3, 'f')).IsOk());
  // Left: the store, the running one and the four look-alikes.
  EXPECT_EQ(std::make_tuple(std::filesystem::exists(strPath + ".tmp-Ab12Cd"),
                            std::filesystem::exists(strPath + ".tmp-zzzzzz"),
                            std::filesystem::exists(strRunning), folder.Count(), CountOf(strPath)),
            std::make_tuple(false, false, true, 6u, 3u));
  close(fdRunning);
  // A symbolic link to a file not yet there: the file is made, the link stays.
  const std::string strLink = folder.Path() + "link.Dat";
  std::filesystem::create_symlink("target.Dat", strLink);
  ASSERT_TRUE(WriteStoreFile(strLink, Messages(2, 'l')).IsOk());
  EXPECT_TRUE(std::filesystem::is_symlink(strLink));
  EXPECT_EQ(CountOf(folder.Path() + "target.Dat"), 2u);
}

TEST(SafeSave, ACsvCopyIsReplacedOnlyWhenTheNewOneIsComplete) {
  CTempFolder folder;
  const std::string strStore = folder.Path() + "SMSIn.Dat";
  ASSERT_EQ(WriteCsvFile(StoreList::inbox, strStore, Messages(3, 'a')), CsvResult::written);
  const std::string before = ReadFile(folder.Path() + "SMSIn.csv");
  ASSERT_NE(before.find(std::string(300, 'a')), std::string::npos);
  for (StoreStep step : {StoreStep::csvWrite, StoreStep::rename}) {
    CFaultHookScope scope(FailAt(step, 0, CStoreFault::fileError, CFileException::diskFull));
    CRecordingPrompt prompt;
    EXPECT_EQ(WriteCsvFile(StoreList::inbox, strStore, Messages(9, 'b')), CsvResult::failed);
    EXPECT_EQ(ReadFile(folder.Path() + "SMSIn.csv"), before);
    EXPECT_EQ(folder.Count(), 1u);
    EXPECT_TRUE(prompt.m_texts.empty());  // a failed copy ends silently
  }
}

}  // namespace
