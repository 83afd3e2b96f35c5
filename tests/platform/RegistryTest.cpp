// The settings store on disk: what the store writes and reads back, damaged
// files, open-versus-create, the text size limit and concurrent writers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/Registry.h"
#include "tests/shell/ScriptedPromptService.h"
#include "tests/support/TestIo.h"

namespace fs = std::filesystem;

namespace {

const std::string kOptions = "SOFTWARE\\Kelvane\\Mireth\\Options";

using test_io::ReadFile;
using test_io::RunInChild;
using test_io::WriteFile;

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    // A memory file system when there is one: the store flushes every write, and the
    // concurrency test writes two thousand times.
    std::string s =
        access("/dev/shm", W_OK) == 0 ? "/dev/shm/mireth-registry-XXXXXX" : "/tmp/mireth-registry-XXXXXX";
    ASSERT_NE(mkdtemp(s.data()), nullptr);
    m_dir = s;
    m_store = m_dir / "config" / "Mireth.reg";
    setenv("MIRETH_REGISTRY", m_store.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MIRETH_REGISTRY");
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  // The files in the store's folder whose names start with strPrefix.
  std::vector<fs::path> Files(const std::string& strPrefix) const {
    std::vector<fs::path> v;
    for (const auto& e : fs::directory_iterator(m_store.parent_path()))
      if (e.path().filename().string().rfind(strPrefix, 0) == 0)
        v.push_back(e.path());
    std::sort(v.begin(), v.end());
    return v;
  }

  fs::path m_dir, m_store;
  CScriptedPromptService m_prompt;  // every message box of the store, in order
};

TEST_F(RegistryStore, WhatItWritesAndAHandWrittenFileReadBack) {
  CRegKey key;
  ASSERT_TRUE(key.Create(kOptions));  // creates the folder and the file
  ASSERT_TRUE(key.SetNumber("Baud Rate", 9600));
  ASSERT_TRUE(key.SetText("COM Port", "a \"b\" c:\\d\\"));
  ASSERT_TRUE(key.SetNumber("Time Out", 0xFFFFFFFF));
  ASSERT_TRUE(key.SetNumber("BAUD RATE", 57600));  // same value, another spelling
  ASSERT_TRUE(key.SetText("Empty", ""));
  ASSERT_TRUE(key.SetNumber("Q\"d", 1));
  EXPECT_FALSE(key.SetText("Bad", "two\nlines"));  // not representable: refused
  EXPECT_FALSE(key.Create("SOFTWARE\\Bad\\"));
  EXPECT_EQ(ReadFile(m_store),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
            "\"Baud Rate\"=dword:0000e100\r\n"
            "\"COM Port\"=\"a \\\"b\\\" c:\\\\d\\\\\"\r\n"
            "\"Time Out\"=dword:ffffffff\r\n"
            "\"Empty\"=\"\"\r\n"
            "\"Q\\\"d\"=dword:00000001\r\n\r\n");
  CRegKey again;
  ASSERT_TRUE(again.Open(kOptions));
  EXPECT_EQ(again.GetValueNames(),
            (std::vector<std::string>{"Baud Rate", "COM Port", "Time Out", "Empty", "Q\"d"}));
  uint32_t n = 0;
  std::string str = "kept";
  const auto read = std::pair(0xFFFFFFFFu, std::string("a \"b\" c:\\d\\"));
  ASSERT_TRUE(again.QueryNumber("Time Out", n) && again.QueryText("COM Port", str));
  EXPECT_EQ(std::pair(n, str), read);
  // A value of the other type, or a missing one, is not read and leaves the output.
  EXPECT_FALSE(again.QueryNumber("COM Port", n) || again.QueryText("Time Out", str) ||
               again.QueryText("x", str));
  EXPECT_EQ(std::pair(n, str), read);
  ASSERT_TRUE(again.DeleteValue("com port"));
  EXPECT_FALSE(again.QueryText("COM Port", str));
  EXPECT_TRUE(m_prompt.m_boxes.empty());
}

TEST_F(RegistryStore, OpenNeverCreatesAndTextsAreCutToTheBuffer) {
  CRegKey key;
  EXPECT_FALSE(key.Open(kOptions));
  EXPECT_FALSE(fs::exists(m_store.parent_path()));  // not even the folder
  ASSERT_TRUE(key.Create("SOFTWARE\\Kelvane\\Mireth\\Data"));
  const std::string strBefore = ReadFile(m_store);
  CRegKey other;
  for (const char* psz : {"SOFTWARE\\Kelvane\\Mireth\\Options", "SOFTWARE\\Kelvane\\Mireth\\Data\\Deeper",
                          "SOFTWARE\\\\Kelvane"})
    EXPECT_FALSE(other.Open(psz)) << psz;
  EXPECT_EQ(ReadFile(m_store), strBefore);

  // 260 bytes with the terminator; a character across the limit is left out whole.
  // The whole text stays in the store.
  const std::pair<std::string, std::string> texts[] = {
      {std::string(300, 'x'), std::string(259, 'x')},
      {std::string(259, 'y'), std::string(259, 'y')},
      {std::string(258, 'z') + "\xC3\xA9", std::string(258, 'z')},
  };
  std::string str;
  for (const auto& [strStored, strRead] : texts) {
    ASSERT_TRUE(key.SetText("Text", strStored));
    ASSERT_TRUE(key.QueryText("Text", str));
    EXPECT_EQ(str, strRead);
    ASSERT_TRUE(key.QueryText("Text", str, 1000));
    EXPECT_EQ(str, strStored);
  }
  ASSERT_TRUE(key.QueryText("Text", str, 4));
  EXPECT_EQ(str, "zzz");
  EXPECT_FALSE(key.QueryText("Text", str, 0));
}

TEST_F(RegistryStore, DamagedFileIsKeptAsideAndReportedOnce) {
  const std::string strBad =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
      "\"Baud Rate\"=dword:0000zz00\r\n";
  WriteFile(m_store, strBad);
  // In a folder the program cannot write: reported once, read as empty, and never
  // written over; the write refused by the folder is reported once in words.
  ASSERT_EQ(chmod(m_dir.c_str(), 0755) | chmod(m_store.parent_path().c_str(), 0555), 0);
  EXPECT_EQ(
      RunInChild(
          [] {
            CScriptedPromptService prompt;
            CRegKey key;
            const bool bOk = !key.Open(kOptions) && !key.Open(kOptions) && !key.Create(kOptions);
            return bOk && prompt.m_boxes.size() == 2 &&
                           prompt.m_boxes[0].strText.find("could not be moved aside") != std::string::npos &&
                           prompt.m_boxes[1].strText ==
                               "The settings file " + GetRegistryFilePath() +
                                   " cannot be written (Permission denied). Changed settings are not saved."
                       ? 0
                       : 1;
          },
          true),
      0);
  chmod(m_store.parent_path().c_str(), 0755);
  EXPECT_EQ(ReadFile(m_store), strBad);

  CRegKey key;
  EXPECT_FALSE(key.Open(kOptions));  // read as empty: every setting takes its default
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  // The file went aside byte for byte, under the name the message gives.
  EXPECT_FALSE(fs::exists(m_store));
  const std::vector<fs::path> aside = Files("Mireth.reg.bad-");
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFile(aside[0]), strBad);
  const std::string strReport = m_prompt.m_boxes[0].strText;
  EXPECT_EQ(strReport.find("The settings file " + m_store.string() + " is damaged (line 4: "), 0u)
      << strReport;
  EXPECT_NE(strReport.find("moved to " + aside[0].string() + " and the default settings are used."),
            std::string::npos);
  // Reading again reports nothing more; writing starts a new file.
  EXPECT_FALSE(key.Open(kOptions));
  ASSERT_TRUE(key.Create(kOptions) && key.SetNumber("Baud Rate", 9600));
  EXPECT_EQ(m_prompt.m_boxes.size(), 1u);
  // A second damaged file goes aside under another name, whatever the clock says.
  WriteFile(m_store, "not a settings file");
  ASSERT_TRUE(key.SetNumber("Time Out", 1000));
  ASSERT_EQ(m_prompt.m_boxes.size(), 2u);
  EXPECT_NE(m_prompt.m_boxes[1].strText.find("(line 1: "), std::string::npos) << m_prompt.m_boxes[1].strText;
  EXPECT_EQ(key.GetValueNames(), std::vector<std::string>{"Time Out"});
  EXPECT_EQ(Files("Mireth.reg.bad-").size(), 2u);
}

TEST_F(RegistryStore, ConcurrentWritersLoseNothing) {
  constexpr int kPerProcess = 1000;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  // Two processes each write 1000 values into the same store at once; both start
  // when the pipe closes.
  std::vector<pid_t> children;
  for (int nChild = 0; nChild < 2; ++nChild)
    if ((children.emplace_back(fork())) == 0) {
      close(go[1]);
      char c;
      CRegKey key;
      bool bOk = read(go[0], &c, 1) == 0 && key.Create(kOptions);
      for (int i = 0; i < kPerProcess && bOk; ++i)
        bOk = key.SetNumber("P" + std::to_string(nChild) + "-" + std::to_string(i), nChild * 100000 + i);
      _exit(bOk ? 0 : 1);
    }
  close(go[0]);
  close(go[1]);
  for (pid_t pid : children) {
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
  }
  CRegKey key;
  ASSERT_TRUE(key.Open(kOptions));
  // Every name written is different: a lost write is a name fewer.
  EXPECT_EQ(key.GetValueNames().size(), 2u * kPerProcess);
  EXPECT_TRUE(m_prompt.m_boxes.empty());
}

TEST_F(RegistryStore, ALinkIsWrittenThroughAndWhatIsNoFileIsRefusedAtOnceAndReportedOnce) {
  // A link to a file in another folder, and a link to a file not there yet.
  for (bool bTargetExists : {true, false}) {
    SCOPED_TRACE(bTargetExists ? "target exists" : "dangling link");
    const fs::path target = m_dir / (bTargetExists ? "real.reg" : "later.reg");
    if (bTargetExists)
      WriteFile(target,
                "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n");
    fs::create_directories(m_store.parent_path());
    fs::remove(m_store);
    fs::create_symlink(target, m_store);
    CRegKey key;
    ASSERT_TRUE(key.Create(kOptions) && key.SetText("COM Port", "COM7"));
    EXPECT_TRUE(fs::is_symlink(m_store));
    EXPECT_NE(ReadFile(target).find("\"COM Port\"=\"COM7\""), std::string::npos);
    EXPECT_EQ(ReadFile(target).find("\"x\"=\"1\"") != std::string::npos, bTargetExists);
  }
  EXPECT_TRUE(m_prompt.m_boxes.empty());

  // A named pipe (which would block a plain open for ever) and a folder in its place.
  const std::tuple<const char*, bool, const char*> cases[] = {{"pipe", true, "it is not a regular file"},
                                                              {"folder", false, "Is a directory"}};
  for (const auto& [pszName, bFifo, pszReadText] : cases) {
    SCOPED_TRACE(pszName);
    fs::remove(m_store);
    if (bFifo)
      ASSERT_EQ(mkfifo(m_store.c_str(), 0600), 0);
    else
      fs::create_directory(m_store);
    m_prompt.Clear();
    EXPECT_EQ(RunInChild([&] {
                alarm(10);  // a read that waits on the pipe fails the test instead of hanging
                CScriptedPromptService prompt;
                CRegKey key;
                std::string str;
                bool bOk = !key.Open(kOptions) && !key.Open(kOptions) && !key.Create(kOptions);
                const std::string strRead = "The settings file " + m_store.string() + " cannot be read (" +
                                            pszReadText + "). The default settings are used.";
                bOk = bOk && prompt.m_boxes.size() == 2 && prompt.m_boxes[0].strText == strRead &&
                      prompt.m_boxes[1].strText.find("The settings file " + m_store.string() +
                                                     " cannot be written (") == 0;
                return bOk && GetRegistryFault() == prompt.m_boxes[1].strText ? 0 : 1;
              }),
              0);
  }
}

TEST_F(RegistryStore, KeysAreFoundInAnyCaseAndAChangeOnDiskIsSeen) {
  const std::string strHead =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\K1\\Sub]\r\n";
  WriteFile(m_store, strHead + "\"v\"=dword:00000001\r\n");
  CRegKey key;
  uint32_t n = 0;
  ASSERT_TRUE(key.Open("software\\k1\\SUB") && key.QueryNumber("v", n));
  EXPECT_EQ(n, 1u);
  // Another program changes the file, keeping its size: the next read sees it.
  WriteFile(m_store, strHead + "\"v\"=dword:00000009\r\n");
  ASSERT_TRUE(key.Open("SOFTWARE\\K1\\Sub") && key.QueryNumber("v", n));
  EXPECT_EQ(n, 9u);
}

TEST_F(RegistryStore, ABatchWritesAtItsEndAndLosesNoChangeOfAnotherProcess) {
  CRegKey key;
  ASSERT_TRUE(key.Create(kOptions) && key.SetNumber("Kept", 1));
  {
    CRegistryBatch batch;
    CRegKey inner;
    ASSERT_TRUE(inner.Create("SOFTWARE\\Kelvane\\Mireth\\Inbox"));
    for (int i = 0; i < 7; ++i)
      ASSERT_TRUE(inner.SetNumber("Column " + std::to_string(i), 100 + i));
    {
      CRegistryBatch nested;  // ends first: writes nothing yet
      ASSERT_TRUE(key.SetText("COM Port", "COM4") && key.DeleteValue("Kept"));
    }
    uint32_t n = 0;
    std::string str;
    EXPECT_TRUE(inner.QueryNumber("Column 6", n) && key.QueryText("COM Port", str));  // seen at once
    EXPECT_EQ(std::pair(n, str), std::pair(106u, std::string("COM4")));
    EXPECT_EQ(ReadFile(m_store).find("COM4"), std::string::npos);  // not yet on disk
    // Meanwhile another program adds a value of its own to the file.
    std::string strOther = ReadFile(m_store);
    const size_t nAt = strOther.find("[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n");
    ASSERT_NE(nAt, std::string::npos);
    strOther.insert(strOther.find("\r\n", nAt) + 2, "\"Other\"=dword:0000002a\r\n");
    WriteFile(m_store.string() + ".new", strOther);
    fs::rename(m_store.string() + ".new", m_store);
  }
  const std::string strFile = ReadFile(m_store);
  for (const char* psz : {"\"Column 0\"=dword:00000064", "\"Column 6\"=dword:0000006a",
                          "\"COM Port\"=\"COM4\"", "\"Other\"=dword:0000002a"})
    EXPECT_NE(strFile.find(psz), std::string::npos) << psz;
  EXPECT_EQ(strFile.find("\"Kept\""), std::string::npos);
}

TEST_F(RegistryStore, TemporariesOfKilledWritersGoAtTheNextWrite) {
  CRegKey key;
  ASSERT_TRUE(key.Create(kOptions));
  WriteFile(m_store.string() + ".tmp-Q1w2E3", "half a settings file");
  WriteFile(m_store.string() + ".tmp-notmine", "x");
  ASSERT_TRUE(key.SetNumber("Baud Rate", 9600));
  EXPECT_FALSE(fs::exists(m_store.string() + ".tmp-Q1w2E3"));
  EXPECT_TRUE(fs::exists(m_store.string() + ".tmp-notmine"));
}

TEST(RegistryPath, EnvironmentChoosesTheFile) {
  // In a child process, so that the environment of the others stays as it is.
  EXPECT_EQ(RunInChild([] {
              setenv("MIRETH_REGISTRY", "/x/y.reg", 1);
              const bool bOk1 = GetRegistryFilePath() == "/x/y.reg";
              unsetenv("MIRETH_REGISTRY");
              setenv("XDG_CONFIG_HOME", "/cfg", 1);
              const bool bOk2 = GetRegistryFilePath() == "/cfg/Kelvane/Mireth.reg";
              setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
              setenv("HOME", "/home/u", 1);
              return bOk1 && bOk2 && GetRegistryFilePath() == "/home/u/.config/Kelvane/Mireth.reg" ? 0 : 1;
            }),
            0);
}

}  // namespace
