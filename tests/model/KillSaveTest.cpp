// Saves killed at random moments (SIGKILL): whatever moment the kill hits, the
// store file afterwards reads back whole as the old list or the new one (a first-ever
// save: no file yet, or the new list), and the next save leaves no temporary behind.
//
// Three ways of saving: into a normal folder, into a folder that takes no new file
// while the store file is writable (the copy goes through the spare folder), and
// first-ever saves. The number of kills per way is MIRETH_KILLS (default 20, for the
// normal test run); each run prints its kills and corrupted files.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "ModelTestSupport.h"

namespace {

enum class Way { normalFolder, noNewFileFolder, firstSave };

CMessageArray ListOf(size_t nCount, char cFill) {
  CMessageArray list;
  for (size_t i = 0; i < nCount; ++i)
    list.push_back(MakeMessage("+49" + std::to_string(i), std::string(200, cFill)));
  return list;
}

// The lists a child saves in turn; told apart by their length.
constexpr size_t kOld = 1500, kNew = 1800;

size_t KillsPerWay() {
  const char* p = getenv("MIRETH_KILLS");
  return p && atoi(p) > 0 ? static_cast<size_t>(atoi(p)) : 20;
}

// Built before the children are forked, so that a kill always meets a save.
const CMessageArray& Lists(size_t i) {
  static const CMessageArray lists[2] = {ListOf(kOld, 'o'), ListOf(kNew, 'n')};
  return lists[i % 2];
}

// The child: saves for ever until killed.
[[noreturn]] void SaveUntilKilled(Way way, const std::string& strFolder) {
  if (way == Way::noNewFileFolder) {
    chmod(strFolder.c_str(), 0555);  // effective for a user other than root
    SetStoreFaultHook([](StoreStep s, size_t) {
      CStoreFault f;
      if (s == StoreStep::createTemp)
        f.m_kind = CStoreFault::fileError;
      return f;
    });
  }
  for (size_t i = 0;; ++i) {
    std::string strPath = strFolder + "SMSIn.Dat";
    if (way == Way::firstSave)
      strPath = strFolder + "f" + std::to_string(i) + ".Dat";
    WriteStoreFile(strPath, Lists(way == Way::firstSave ? 1 : i));
  }
}

// True when the file reads back whole as one of the lists the child saved.
bool IsWhole(const std::string& strPath, bool bOldAllowed) {
  CMessageArray back;
  if (!ReadStoreFile(strPath, back).IsOk())
    return false;
  return back.size() == kNew || (bOldAllowed && back.size() == kOld);
}

// Kills one child at a random moment and counts the corrupted files it left.
size_t KillOnce(Way way, const std::string& strFolder, std::mt19937& rng, int nMaxDelayUs) {
  pid_t pid = fork();
  if (pid == 0)
    SaveUntilKilled(way, strFolder);
  std::this_thread::sleep_for(
      std::chrono::microseconds(std::uniform_int_distribution<int>(0, nMaxDelayUs)(rng)));
  kill(pid, SIGKILL);
  int nStatus = 0;
  waitpid(pid, &nStatus, 0);
  chmod(strFolder.c_str(), 0755);
  size_t nCorrupted = 0;
  if (way == Way::firstSave) {
    for (const auto& e : std::filesystem::directory_iterator(strFolder))
      if (e.path().extension() == ".Dat" && !IsWhole(e.path().string(), false))
        ++nCorrupted;
  } else {
    nCorrupted += !IsWhole(strFolder + "SMSIn.Dat", true);
  }
  return nCorrupted;
}

TEST(KilledSaves, NoKillLeavesACorruptedFileOrATemporaryAfterTheNextSave) {
  CSpareFolderScope spare;
  std::mt19937 rng(std::random_device{}());
  const size_t nKills = KillsPerWay();
  Lists(0);
  const std::pair<Way, const char*> ways[] = {{Way::normalFolder, "normal folder"},
                                              {Way::noNewFileFolder, "folder taking no new file"},
                                              {Way::firstSave, "first-ever save"}};
  for (const auto& [way, pszWay] : ways) {
    CTempFolder folder;
    const std::string strStore = folder.Path() + "SMSIn.Dat";
    // How long one save takes here, so that the kills spread over whole saves.
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteStoreFile(strStore, ListOf(kOld, 'o')).IsOk());
    const int nSaveUs = static_cast<int>(
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count());
    if (way == Way::firstSave)
      std::filesystem::remove(strStore);
    size_t nCorrupted = 0;
    for (size_t i = 0; i < nKills; ++i)
      nCorrupted += KillOnce(way, folder.Path(), rng, 3 * nSaveUs + 2000);

    // The next save sweeps what the killed ones left beside the file.
    ASSERT_TRUE(WriteStoreFile(strStore, ListOf(kNew, 'n')).IsOk());
    size_t nLeft = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder.Path()))
      nLeft += e.path().string().find("SMSIn.Dat.tmp-") != std::string::npos;
    printf("%s: %zu kills, %zu corrupted files, %zu temporaries left after the next save\n", pszWay, nKills,
           nCorrupted, nLeft);
    EXPECT_EQ(nCorrupted, 0u) << pszWay;
    EXPECT_EQ(nLeft, 0u) << pszWay;
  }
}

}  // namespace
