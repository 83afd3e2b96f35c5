// The five store files on disk: what each failure shows, the post-load steps, locks
// held by others and saves interrupted at any step.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "ModelTestSupport.h"
#include "model/StoreLists.h"

namespace {

const char kEndOfFileText[] = "Reached the end of file while reading an object";
const char kBadSchemaText[] = "Tried to read an object with different version of the class";
const char kUnspecifiedText[] = "Unspecified Error";
const char kHardwareText[] = "There was a hardware error";
const char kDiskFullText[] =
    "The disk is full. Please make more free space on the hard disk and try again";

const StoreList g_allLists[] = {StoreList::inbox, StoreList::outbox, StoreList::addressBook,
                                StoreList::presets, StoreList::serviceCenters};

const char* FileName(StoreList which) {
  switch (which) {
    case StoreList::inbox: return "SMSIn.Dat";
    case StoreList::outbox: return "SMSOut.Dat";
    case StoreList::addressBook: return "SMSAdd.Dat";
    case StoreList::presets: return "SMSList.Dat";
    case StoreList::serviceCenters: return "SMSSCA.Dat";
  }
  return "";
}

// Loads a list with its page-level operation; nCount receives the list's length.
LoadResult LoadList(StoreList which, const std::string& strFolder, size_t& nCount) {
  CMessageArray messages;
  CAddressArray addresses;
  LoadResult r = LoadResult::failed;
  switch (which) {
    case StoreList::inbox: r = LoadInbox(strFolder, messages); break;
    case StoreList::outbox: r = LoadOutbox(strFolder, messages); break;
    case StoreList::presets: r = LoadPresets(strFolder, messages); break;
    case StoreList::addressBook: r = LoadAddressBook(strFolder, addresses); break;
    case StoreList::serviceCenters: r = LoadServiceCenters(strFolder, addresses); break;
  }
  nCount = messages.size() + addresses.size();
  return r;
}

// Saves nRecords records (with some text, so that a few buffers are written).
bool SaveList(StoreList which, const std::string& strFolder, size_t nRecords) {
  CMessageArray messages;
  CAddressArray addresses;
  for (size_t i = 0; i < nRecords; ++i) {
    auto m = std::make_unique<CMessage>();
    m->m_strNumber = "+49" + std::to_string(1000 + i);
    m->m_strMessage = std::string(150, static_cast<char>('a' + i % 26));
    messages.push_back(std::move(m));
    auto a = std::make_unique<CAddress>();
    a->m_strNumber = "+49" + std::to_string(1000 + i);
    a->m_strName = std::string(150, static_cast<char>('A' + i % 26));
    addresses.push_back(std::move(a));
  }
  switch (which) {
    case StoreList::inbox: return SaveInbox(strFolder, messages);
    case StoreList::outbox: return SaveOutbox(strFolder, messages);
    case StoreList::presets: return SavePresets(strFolder, messages);
    case StoreList::addressBook: return SaveAddressBook(strFolder, addresses);
    case StoreList::serviceCenters: return SaveServiceCenters(strFolder, addresses);
  }
  return false;
}

StoreFaultHook FailFirst(StoreStep step, CStoreFault::Kind kind, int nCause) {
  return [=](StoreStep s, size_t nCall) {
    CStoreFault f;
    if (s == step && nCall == 0) {
      f.m_kind = kind;
      f.m_nCause = nCause;
    }
    return f;
  };
}

TEST(StoreFiles, EachFailureIsShownOrNotAsItsFileRules) {
  struct Rules {
    StoreList which;
    bool bLoadFile, bLoadArchive, bSaveFile, bSaveArchive;
  };
  const Rules rules[] = {
      {StoreList::inbox, true, true, true, true},
      {StoreList::outbox, false, true, true, true},
      {StoreList::addressBook, true, false, false, false},
      {StoreList::presets, true, false, false, false},
      {StoreList::serviceCenters, true, true, true, true},
  };
  enum Kind { loadFile, loadArchive, loadMemory, saveFile, saveFileNoText, saveArchive, saveMemory };
  for (const Rules& r : rules) {
    for (Kind kind : {loadFile, loadArchive, loadMemory, saveFile, saveFileNoText, saveArchive,
                      saveMemory}) {
      SCOPED_TRACE(testing::Message() << FileName(r.which) << " kind " << kind);
      CTempFolder folder;
      std::string strPath = folder.Path() + FileName(r.which);
      ASSERT_TRUE(SaveList(r.which, folder.Path(), 3));
      std::string before = ReadFileBytes(strPath);
      if (kind == loadArchive) {  // a class of another version
        std::string bytes = before;
        bytes[4] = 2;
        WriteFileBytes(strPath, bytes);
      }
      CRecordingPrompt prompt;
      std::vector<std::string> expected;
      bool bLoad = kind == loadFile || kind == loadArchive || kind == loadMemory;
      StoreFaultHook hook;
      switch (kind) {
        case loadFile:
          hook = FailFirst(StoreStep::read, CStoreFault::fileError, CFileException::hardIO);
          if (r.bLoadFile) expected = {kHardwareText};
          break;
        case loadArchive:
          if (r.bLoadArchive) expected = {kBadSchemaText};
          break;
        case loadMemory:
          hook = FailFirst(StoreStep::read, CStoreFault::memory, 0);
          break;
        case saveFile:
          hook = FailFirst(StoreStep::write, CStoreFault::fileError, CFileException::diskFull);
          if (r.bSaveFile) expected = {kDiskFullText};
          break;
        case saveFileNoText:  // a cause without a text shows an empty box
          hook = FailFirst(StoreStep::write, CStoreFault::fileError, CFileException::directoryFull);
          if (r.bSaveFile) expected = {""};
          break;
        case saveArchive:
          hook = FailFirst(StoreStep::write, CStoreFault::archiveError, CArchiveException::genericException);
          if (r.bSaveArchive) expected = {kUnspecifiedText};
          break;
        case saveMemory:
          hook = FailFirst(StoreStep::write, CStoreFault::memory, 0);
          break;
      }
      CFaultHookScope scope(hook);
      if (bLoad) {
        size_t nCount = 0;
        EXPECT_EQ(LoadList(r.which, folder.Path(), nCount), LoadResult::failed);
        EXPECT_EQ(nCount, 0u);  // the error came before the first record was complete
      } else {
        EXPECT_FALSE(SaveList(r.which, folder.Path(), 5));
        EXPECT_EQ(ReadFileBytes(strPath), before);
      }
      EXPECT_EQ(prompt.m_texts, expected);
      for (unsigned int nType : prompt.m_types)
        EXPECT_EQ(nType, static_cast<unsigned int>(MB_OK));
    }
  }
}

TEST(StoreFiles, ZeroLengthMissingAndEmptyFiles) {
  const char* const defaults[] = {"Happy Birthday!", "I received your message. Thank you.",
                                  "Could you please give me a call?",
                                  "What are your plans for the weekend?", "What time is our meeting?"};
  for (StoreList which : g_allLists) {
    SCOPED_TRACE(FileName(which));
    CTempFolder folder;
    std::string strPath = folder.Path() + FileName(which);
    CRecordingPrompt prompt;
    size_t nCount = 0;

    // Missing: nothing shown; the presets get their five defaults.
    EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::notOpened);
    EXPECT_EQ(nCount, which == StoreList::presets ? 5u : 0u);
    EXPECT_TRUE(prompt.m_texts.empty());

    // Zero length: the end of the file is shown for three files; the presets get no
    // defaults after the error.
    WriteFileBytes(strPath, "");
    EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::failed);
    EXPECT_EQ(nCount, 0u);
    bool bShown = which == StoreList::inbox || which == StoreList::outbox ||
                  which == StoreList::serviceCenters;
    EXPECT_EQ(prompt.m_texts, bShown ? std::vector<std::string>{kEndOfFileText}
                                     : std::vector<std::string>{});
    prompt.m_texts.clear();

    // An empty list saves as 00 00 and loads without a message.
    ASSERT_TRUE(SaveList(which, folder.Path(), 0));
    EXPECT_EQ(ReadFileBytes(strPath), Bytes({0, 0}));
    EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::loaded);
    EXPECT_EQ(nCount, which == StoreList::presets ? 5u : 0u);
    EXPECT_TRUE(prompt.m_texts.empty());
  }
  CTempFolder folder;
  CMessageArray presets;
  EXPECT_EQ(LoadPresets(folder.Path(), presets), LoadResult::notOpened);
  ASSERT_EQ(presets.size(), 5u);
  for (size_t i = 0; i < 5; ++i)
    EXPECT_EQ(presets[i]->GetMessage(), defaults[i]);
}

TEST(StoreFiles, ListsRoundTripThroughTheirFiles) {
  CTempFolder folder;
  CMessageArray inbox;
  for (int i = 0; i < 3; ++i) {
    auto m = std::make_unique<CMessage>();
    m->m_strNumber = std::to_string(i);
    m->m_strMessage = "line one\r\nline two";
    m->m_dtDateTime = CDateTime(2024, 5, 6, 7, 8, i);
    inbox.push_back(std::move(m));
  }
  ASSERT_TRUE(SaveInbox(folder.Path(), inbox));
  CMessageArray back;
  ASSERT_EQ(LoadInbox(folder.Path(), back), LoadResult::loaded);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(IsSameRecord(*back[i], *inbox[i]));
  // Saving writes no more files than the store file itself.
  EXPECT_EQ(folder.List(), std::vector<std::string>{"SMSIn.Dat"});
}

TEST(StoreFiles, AddressBookIsSortedByBytesAndUnnamedEntriesNamed) {
  CTempFolder folder;
  CAddressArray book;
  const std::pair<const char*, const char*> entries[] = {
      {"1", "b"}, {"2", "\xC3\xA9t\xC3\xA9"}, {"3", ""}, {"4", "A"}, {"5", "a"}, {"6", ""}, {"7", "Zoe"}};
  for (const auto& [number, name] : entries) {
    auto a = std::make_unique<CAddress>();
    a->SetNumber(number);
    a->SetName(name);
    book.push_back(std::move(a));
  }
  ASSERT_TRUE(SaveAddressBook(folder.Path(), book));
  CAddressArray back;
  ASSERT_EQ(LoadAddressBook(folder.Path(), back), LoadResult::loaded);
  std::vector<std::string> names, numbers;
  for (const auto& p : back) {
    names.push_back(p->GetName());
    numbers.push_back(p->GetNumber());
  }
  // Unnamed entries sort first, then bytes as unsigned values: 'A' < 'Z' < 'a' < 0xC3.
  EXPECT_EQ(names, (std::vector<std::string>{"NoName", "NoName", "A", "Zoe", "a", "b", "\xC3\xA9t\xC3\xA9"}));
  std::vector<std::string> firstTwo(numbers.begin(), numbers.begin() + 2);
  std::sort(firstTwo.begin(), firstTwo.end());
  EXPECT_EQ(firstTwo, (std::vector<std::string>{"3", "6"}));
  EXPECT_EQ(numbers[2], "4");
  // The file itself keeps the order it was saved in.
  CAddressArray raw;
  ASSERT_TRUE(ReadStoreFile(folder.Path() + "SMSAdd.Dat", raw).IsOk());
  EXPECT_EQ(raw[0]->GetName(), "b");
  EXPECT_EQ(raw[2]->GetName(), "");
}

TEST(StoreFiles, AfterAnErrorRecordsReadStayAndPostLoadStepsAreSkipped) {
  CTempFolder folder;
  ASSERT_TRUE(SaveList(StoreList::presets, folder.Path(), 2));
  std::string strPath = folder.Path() + "SMSList.Dat";
  std::string bytes = ReadFileBytes(strPath);
  WriteFileBytes(strPath, bytes.substr(0, bytes.size() - 1));
  CRecordingPrompt prompt;
  CMessageArray presets;
  EXPECT_EQ(LoadPresets(folder.Path(), presets), LoadResult::failed);
  ASSERT_EQ(presets.size(), 1u);  // the first record, and no defaults
  EXPECT_EQ(presets[0]->GetMessage(), std::string(150, 'a'));
  EXPECT_TRUE(prompt.m_texts.empty());

  // An address book cut short is not sorted or named.
  CAddressArray book;
  for (const char* name : {"z", ""}) {
    book.push_back(std::make_unique<CAddress>());
    book.back()->SetName(name);
  }
  ASSERT_TRUE(SaveAddressBook(folder.Path(), book));
  std::string strBook = folder.Path() + "SMSAdd.Dat";
  bytes = ReadFileBytes(strBook);
  WriteFileBytes(strBook, bytes + Bytes({1}));  // trailing bytes are ignored
  CAddressArray back;
  EXPECT_EQ(LoadAddressBook(folder.Path(), back), LoadResult::loaded);
  bytes[0] = 3;  // one record more than the file holds
  WriteFileBytes(strBook, bytes);
  back.clear();
  EXPECT_EQ(LoadAddressBook(folder.Path(), back), LoadResult::failed);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0]->GetName(), "z");
  EXPECT_EQ(back[1]->GetName(), "");
}

TEST(StoreFiles, InboxCutAtAnyByteShowsTheEndOfFile) {
  CTempFolder folder;
  ASSERT_TRUE(SaveList(StoreList::inbox, folder.Path(), 3));
  std::string strPath = folder.Path() + "SMSIn.Dat";
  const std::string full = ReadFileBytes(strPath);
  size_t nPrevious = 0;
  for (size_t nCut = 0; nCut < full.size(); ++nCut) {
    WriteFileBytes(strPath, full.substr(0, nCut));
    CRecordingPrompt prompt;
    CMessageArray list;
    ASSERT_EQ(LoadInbox(folder.Path(), list), LoadResult::failed) << nCut;
    ASSERT_EQ(prompt.m_texts, std::vector<std::string>{kEndOfFileText}) << nCut;
    ASSERT_LE(list.size(), 2u);
    ASSERT_GE(list.size(), nPrevious);  // more bytes never give fewer records
    nPrevious = list.size();
    for (size_t i = 0; i < list.size(); ++i)
      ASSERT_EQ(list[i]->GetNumber(), "+49" + std::to_string(1000 + i));
  }
  EXPECT_EQ(nPrevious, 2u);
}

TEST(StoreFiles, AFileHeldByAnotherIsNeitherLoadedNorSaved) {
  for (StoreList which : g_allLists) {
    SCOPED_TRACE(FileName(which));
    CTempFolder folder;
    std::string strPath = folder.Path() + FileName(which);
    ASSERT_TRUE(SaveList(which, folder.Path(), 2));
    std::string before = ReadFileBytes(strPath);
    // Another open file description with an exclusive lock, as another program has.
    int fd = open(strPath.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);

    CRecordingPrompt prompt;
    size_t nCount = 99;
    EXPECT_EQ(LoadList(which, folder.Path(), nCount), LoadResult::notOpened);
    EXPECT_EQ(nCount, which == StoreList::presets ? 5u : 0u);
    EXPECT_TRUE(prompt.m_texts.empty());

    EXPECT_FALSE(SaveList(which, folder.Path(), 4));
    std::string strExpected = which == StoreList::outbox ? "Unable to Save SMSOut.Dat"
                                                         : "Unable to Save " + strPath;
    EXPECT_EQ(prompt.m_texts, std::vector<std::string>{strExpected});
    EXPECT_EQ(ReadFileBytes(strPath), before);
    close(fd);

    // Released, the file is written again.
    prompt.m_texts.clear();
    EXPECT_TRUE(SaveList(which, folder.Path(), 4));
    EXPECT_NE(ReadFileBytes(strPath), before);
    EXPECT_TRUE(prompt.m_texts.empty());
  }
}

TEST(StoreFiles, AFileThatCannotBeCreatedGivesUnableToSave) {
  CTempFolder folder;
  std::string strMissing = folder.Path() + "no-such-folder/";
  for (StoreList which : g_allLists) {
    CRecordingPrompt prompt;
    EXPECT_FALSE(SaveList(which, strMissing, 1));
    std::string strExpected = which == StoreList::outbox
                                  ? std::string("Unable to Save SMSOut.Dat")
                                  : "Unable to Save " + strMissing + FileName(which);
    EXPECT_EQ(prompt.m_texts, std::vector<std::string>{strExpected});
  }
  // A folder where the store file's name is taken by a folder.
  std::filesystem::create_directory(folder.Path() + "SMSIn.Dat");
  CRecordingPrompt prompt;
  EXPECT_FALSE(SaveList(StoreList::inbox, folder.Path(), 1));
  EXPECT_EQ(prompt.m_texts, std::vector<std::string>{"Unable to Save " + folder.Path() + "SMSIn.Dat"});
  size_t nCount = 0;
  EXPECT_EQ(LoadList(StoreList::inbox, folder.Path(), nCount), LoadResult::notOpened);
}

TEST(StoreFiles, AnInterruptedSaveLeavesThePreviousFileAsItWas) {
  struct Step {
    StoreStep step;
    size_t nMaxCall;
  };
  const Step steps[] = {{StoreStep::write, 64}, {StoreStep::sync, 0}, {StoreStep::rename, 0}};
  for (const Step& s : steps) {
    for (bool bExisting : {true, false}) {
      CTempFolder folder;
      std::string strPath = folder.Path() + "SMSIn.Dat";
      if (bExisting) {
        ASSERT_TRUE(SaveList(StoreList::inbox, folder.Path(), 3));
      }
      std::string before = ReadFileBytes(strPath);
      size_t nFailures = 0;
      for (size_t nFail = 0; nFail <= s.nMaxCall; ++nFail) {
        bool bFired = false;
        CFaultHookScope scope([&](StoreStep step, size_t nCall) {
          CStoreFault f;
          if (step == s.step && nCall == nFail) {
            f.m_kind = CStoreFault::fileError;
            f.m_nCause = CFileException::diskFull;
            bFired = true;
          }
          return f;
        });
        CRecordingPrompt prompt;
        bool bSaved = SaveList(StoreList::inbox, folder.Path(), 100);  // about 17 KB
        if (!bFired) {  // past the last write: the save goes through
          EXPECT_TRUE(bSaved);
          break;
        }
        ++nFailures;
        EXPECT_FALSE(bSaved);
        EXPECT_EQ(prompt.m_texts, std::vector<std::string>{kDiskFullText});
        // The previous file, byte for byte (or still no file), and no temporary file.
        EXPECT_EQ(std::filesystem::exists(strPath), bExisting) << nFail;
        EXPECT_EQ(ReadFileBytes(strPath), before) << nFail;
        EXPECT_EQ(folder.List().size(), bExisting ? 1u : 0u) << nFail;
      }
      if (s.step == StoreStep::write) {
        EXPECT_GE(nFailures, 4u);  // the list took several buffers
      } else {
        EXPECT_EQ(nFailures, 1u);
      }
    }
  }
}

TEST(StoreFiles, SaveKeepsPermissionsAndFollowsALink) {
  CTempFolder folder;
  std::string strPath = folder.Path() + "SMSSCA.Dat";
  ASSERT_TRUE(SaveList(StoreList::serviceCenters, folder.Path(), 1));
  ASSERT_EQ(chmod(strPath.c_str(), 0640), 0);
  ASSERT_TRUE(SaveList(StoreList::serviceCenters, folder.Path(), 2));
  struct stat st;
  ASSERT_EQ(stat(strPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A store file that is a link to a file elsewhere: that file is replaced, the link stays.
  CTempFolder elsewhere;
  std::string strTarget = elsewhere.Path() + "real.Dat";
  std::filesystem::rename(strPath, strTarget);
  std::filesystem::create_symlink(strTarget, strPath);
  ASSERT_TRUE(SaveList(StoreList::serviceCenters, folder.Path(), 3));
  EXPECT_TRUE(std::filesystem::is_symlink(strPath));
  CAddressArray back;
  ASSERT_TRUE(ReadStoreFile(strTarget, back).IsOk());
  EXPECT_EQ(back.size(), 3u);
}

}  // namespace

namespace {

TEST(StoreFiles, AFolderThatTakesNoNewFileIsWrittenInPlace) {
  CTempFolder folder;
  std::string strPath = folder.Path() + "SMSOut.Dat";
  ASSERT_TRUE(SaveList(StoreList::outbox, folder.Path(), 3));
  CMessageArray expected;
  ASSERT_TRUE(ReadStoreFile(strPath, expected).IsOk());
  ASSERT_TRUE(SaveList(StoreList::outbox, folder.Path(), 1));
  struct stat stBefore;
  ASSERT_EQ(stat(strPath.c_str(), &stBefore), 0);

  CFaultHookScope scope([](StoreStep step, size_t) {
    CStoreFault f;
    if (step == StoreStep::createTemp)
      f.m_kind = CStoreFault::fileError;
    return f;
  });
  CRecordingPrompt prompt;
  ASSERT_TRUE(SaveList(StoreList::outbox, folder.Path(), 3));
  EXPECT_TRUE(prompt.m_texts.empty());
  struct stat st;
  ASSERT_EQ(stat(strPath.c_str(), &st), 0);
  EXPECT_EQ(st.st_ino, stBefore.st_ino);  // the same file, rewritten
  CMessageArray back;
  ASSERT_TRUE(ReadStoreFile(strPath, back).IsOk());
  ASSERT_EQ(back.size(), expected.size());
  for (size_t i = 0; i < back.size(); ++i)
    EXPECT_TRUE(IsSameRecord(*back[i], *expected[i]));
  EXPECT_EQ(folder.List(), std::vector<std::string>{"SMSOut.Dat"});
}

}  // namespace
