// The settings store on disk: reading hand-written files, what the store writes,
// damaged files, open-versus-create, the text size limit and concurrent writers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/PromptService.h"
#include "platform/Registry.h"
#include "platform/RegistryFile.h"

namespace fs = std::filesystem;

namespace {

const std::string kOptions = "SOFTWARE\\Kelvane\\Mireth\\Options";

class CScriptedPrompt final : public IPromptService {
 public:
  int MessageBox(const std::string& text, const std::string&, unsigned int) override {
    m_texts.push_back(text);
    return IDOK;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  std::vector<std::string> m_texts;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

class RegistryStore : public ::testing::Test {
 protected:
  void SetUp() override {
    // A memory file system when there is one: the store flushes every write, and the
    // concurrency test writes two thousand times.
    std::string templ = fs::is_directory("/dev/shm") && access("/dev/shm", W_OK) == 0
                            ? "/dev/shm/mireth-registry-XXXXXX"
                            : "/tmp/mireth-registry-XXXXXX";
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    m_dir = templ.c_str();
    m_store = m_dir / "config" / "Mireth.reg";
    setenv("MIRETH_REGISTRY", m_store.c_str(), 1);
    m_pOld = SetPromptService(&m_prompt);
  }
  void TearDown() override {
    SetPromptService(m_pOld);
    unsetenv("MIRETH_REGISTRY");
    std::error_code ec;
    fs::remove_all(m_dir, ec);
  }
  std::vector<fs::path> Listing() const {
    std::vector<fs::path> v;
    for (const auto& e : fs::directory_iterator(m_store.parent_path())) v.push_back(e.path().filename());
    std::sort(v.begin(), v.end());
    return v;
  }

  fs::path m_dir, m_store;
  CScriptedPrompt m_prompt;
  IPromptService* m_pOld = nullptr;
};

}  // namespace

TEST_F(RegistryStore, ReadsAHandWrittenFile) {
  fs::create_directories(m_store.parent_path());
  WriteFile(m_store,
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "; written by hand\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
            "\"Baud Rate\"=dword:0001c200\r\n"
            "\"COM Port\"=\"COM12\"\r\n"
            "\"Service Center\"=\"+49 \\\"171\\\" \\\\ 0760000\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Inbox]\r\n"
            "\"Sort Order\"=dword:00000005\r\n");
  CRegKey key;
  ASSERT_TRUE(key.Open(kOptions));
  uint32_t n = 0;
  ASSERT_TRUE(key.QueryNumber("Baud Rate", n));
  EXPECT_EQ(n, 115200u);
  ASSERT_TRUE(key.QueryNumber("baud rate", n));  // names compare without letter case
  std::string str;
  ASSERT_TRUE(key.QueryText("COM Port", str));
  EXPECT_EQ(str, "COM12");
  ASSERT_TRUE(key.QueryText("Service Center", str));
  EXPECT_EQ(str, "+49 \"171\" \\ 0760000");
  // A value of the other type, or a missing one, is not read and leaves the output.
  n = 7;
  EXPECT_FALSE(key.QueryNumber("COM Port", n));
  EXPECT_EQ(n, 7u);
  str = "kept";
  EXPECT_FALSE(key.QueryText("Baud Rate", str));
  EXPECT_FALSE(key.QueryText("Time Out", str));
  EXPECT_EQ(str, "kept");
  EXPECT_EQ(key.GetValueNames(), (std::vector<std::string>{"Baud Rate", "COM Port", "Service Center"}));

  CRegKey inbox;
  ASSERT_TRUE(inbox.Open("software\\kelvane\\mireth\\INBOX"));
  ASSERT_TRUE(inbox.QueryNumber("Sort Order", n));
  EXPECT_EQ(n, 5u);
  EXPECT_TRUE(inbox.Open("SOFTWARE\\Kelvane\\Mireth"));  // a parent of listed keys exists
  EXPECT_TRUE(inbox.GetValueNames().empty());
  EXPECT_TRUE(m_prompt.m_texts.empty());
}

TEST_F(RegistryStore, WritesAndReadsBack) {
  CRegKey key;
  ASSERT_TRUE(key.Create(kOptions));  // creates the folder and the file
  ASSERT_TRUE(key.SetNumber("Baud Rate", 9600));
  ASSERT_TRUE(key.SetText("COM Port", "COM3"));
  ASSERT_TRUE(key.SetText("Service Center", "a \"b\" c:\\d\\"));
  ASSERT_TRUE(key.SetNumber("Time Out", 0xFFFFFFFF));
  ASSERT_TRUE(key.SetNumber("BAUD RATE", 57600));  // same value, another spelling
  ASSERT_TRUE(key.SetText("Empty", ""));
  EXPECT_FALSE(key.SetText("Bad", "two\nlines"));  // not representable: refused
  key.Close();
  EXPECT_FALSE(key.SetNumber("Closed", 1));

  EXPECT_EQ(ReadFile(m_store),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth]\r\n\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
            "\"Baud Rate\"=dword:0000e100\r\n"
            "\"COM Port\"=\"COM3\"\r\n"
            "\"Service Center\"=\"a \\\"b\\\" c:\\\\d\\\\\"\r\n"
            "\"Time Out\"=dword:ffffffff\r\n"
            "\"Empty\"=\"\"\r\n"
            "\r\n");

  CRegKey again;
  ASSERT_TRUE(again.Open(kOptions));
  uint32_t n = 0;
  std::string str;
  ASSERT_TRUE(again.QueryNumber("Baud Rate", n));
  EXPECT_EQ(n, 57600u);
  ASSERT_TRUE(again.QueryNumber("Time Out", n));
  EXPECT_EQ(n, 0xFFFFFFFFu);
  ASSERT_TRUE(again.QueryText("Service Center", str));
  EXPECT_EQ(str, "a \"b\" c:\\d\\");
  ASSERT_TRUE(again.QueryText("Empty", str));
  EXPECT_EQ(str, "");
  EXPECT_FALSE(again.QueryNumber("COM Port", n));

  ASSERT_TRUE(again.DeleteValue("com port"));
  EXPECT_FALSE(again.DeleteValue("COM Port"));
  EXPECT_FALSE(again.QueryText("COM Port", str));

  // Create on an existing key opens it and does not rewrite the file.
  struct stat before {}, after {};
  ASSERT_EQ(stat(m_store.c_str(), &before), 0);
  CRegKey same;
  ASSERT_TRUE(same.Create("SOFTWARE\\Kelvane"));
  ASSERT_EQ(stat(m_store.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_TRUE(m_prompt.m_texts.empty());
  // Only the store and its lock file are left in the folder.
  EXPECT_EQ(Listing(), (std::vector<fs::path>{"Mireth.reg", "Mireth.reg.lock"}));
}

TEST_F(RegistryStore, OpenNeverCreates) {
  CRegKey key;
  EXPECT_FALSE(key.Open(kOptions));
  EXPECT_FALSE(key.IsOpen());
  EXPECT_FALSE(fs::exists(m_store.parent_path()));  // not even the folder

  ASSERT_TRUE(key.Create("SOFTWARE\\Kelvane\\Mireth\\Data"));
  const std::string strBefore = ReadFile(m_store);
  CRegKey other;
  EXPECT_FALSE(other.Open(kOptions));
  EXPECT_FALSE(other.Open("SOFTWARE\\Kelvane\\Mireth\\Data\\Deeper"));
  EXPECT_FALSE(other.Open("SOFTWARE\\\\Kelvane"));
  EXPECT_EQ(ReadFile(m_store), strBefore);
  uint32_t n = 0;
  EXPECT_FALSE(other.QueryNumber("Baud Rate", n));
}

TEST_F(RegistryStore, TextsAreCutToTheBuffer) {
  CRegKey key;
  ASSERT_TRUE(key.Create(kOptions));
  const std::string strLong(300, 'x');
  ASSERT_TRUE(key.SetText("Service Center", strLong));
  std::string str;
  ASSERT_TRUE(key.QueryText("Service Center", str));
  EXPECT_EQ(str, std::string(259, 'x'));  // 260 bytes with the terminator
  ASSERT_TRUE(key.QueryText("Service Center", str, 4));
  EXPECT_EQ(str, "xxx");
  EXPECT_FALSE(key.QueryText("Service Center", str, 0));

  ASSERT_TRUE(key.SetText("Exact", std::string(259, 'y')));
  ASSERT_TRUE(key.QueryText("Exact", str));
  EXPECT_EQ(str.size(), 259u);

  // 258 'z' then a two-byte character across the 259-byte limit: the character
  // is left out whole.
  ASSERT_TRUE(key.SetText("Utf8", std::string(258, 'z') + "\xC3\xA9"));
  ASSERT_TRUE(key.QueryText("Utf8", str));
  EXPECT_EQ(str, std::string(258, 'z'));

  // The whole text stays in the store.
  CRegKey again;
  ASSERT_TRUE(again.Open(kOptions));
  ASSERT_TRUE(again.QueryText("Service Center", str, 1000));
  EXPECT_EQ(str, strLong);
}

TEST_F(RegistryStore, DamagedFileIsKeptAsideAndReportedOnce) {
  fs::create_directories(m_store.parent_path());
  const std::string strBad =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
      "\"Baud Rate\"=dword:0000zz00\r\n";
  WriteFile(m_store, strBad);

  CRegKey key;
  EXPECT_FALSE(key.Open(kOptions));  // read as empty: every setting takes its default
  ASSERT_EQ(m_prompt.m_texts.size(), 1u);
  const std::string& strMsg = m_prompt.m_texts[0];
  EXPECT_NE(strMsg.find("The settings file " + m_store.string() + " is damaged (line 4: "), std::string::npos)
      << strMsg;
  EXPECT_NE(strMsg.find("dword"), std::string::npos) << strMsg;

  // The file went aside byte for byte, under the name the message gives.
  EXPECT_FALSE(fs::exists(m_store));
  std::vector<fs::path> aside;
  for (const auto& e : fs::directory_iterator(m_store.parent_path()))
    if (e.path().filename().string().rfind("Mireth.reg.bad-", 0) == 0) aside.push_back(e.path());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadFile(aside[0]), strBad);
  EXPECT_NE(strMsg.find("moved to " + aside[0].string() + " and the default settings are used."),
            std::string::npos)
      << strMsg;

  // Reading again reports nothing more; writing starts a new file.
  EXPECT_FALSE(key.Open(kOptions));
  ASSERT_TRUE(key.Create(kOptions));
  ASSERT_TRUE(key.SetNumber("Baud Rate", 9600));
  EXPECT_EQ(m_prompt.m_texts.size(), 1u);
  EXPECT_EQ(ReadFile(aside[0]), strBad);

  // A second damaged file goes aside under another name, whatever the clock says.
  WriteFile(m_store, "not a settings file");
  ASSERT_TRUE(key.SetNumber("Time Out", 1000));  // the write finds it, moves it, starts anew
  ASSERT_EQ(m_prompt.m_texts.size(), 2u);
  EXPECT_NE(m_prompt.m_texts[1].find("(line 1: "), std::string::npos) << m_prompt.m_texts[1];
  uint32_t n = 0;
  EXPECT_FALSE(key.QueryNumber("Baud Rate", n));  // the new file holds only the new value
  EXPECT_TRUE(key.QueryNumber("Time Out", n));
  int nAside = 0;
  for (const auto& e : fs::directory_iterator(m_store.parent_path()))
    if (e.path().filename().string().rfind("Mireth.reg.bad-", 0) == 0) ++nAside;
  EXPECT_EQ(nAside, 2);
}

// A damaged file in a folder the program cannot write: reported once, read as empty,
// and never written over. Runs as an unprivileged user (a child process drops root).
TEST_F(RegistryStore, DamagedFileThatCannotBeMovedIsNeverOverwritten) {
  fs::create_directories(m_store.parent_path());
  const std::string strBad = "Windows Registry Editor Version 5.00\r\n\r\nrubbish\r\n";
  WriteFile(m_store, strBad);
  chmod(m_dir.c_str(), 0755);
  chmod(m_store.parent_path().c_str(), 0555);
  chmod(m_store.c_str(), 0644);

  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && setuid(65534) != 0) _exit(10);
    CScriptedPrompt prompt;
    SetPromptService(&prompt);
    CRegKey key;
    if (key.Open(kOptions)) _exit(11);
    if (key.Open(kOptions)) _exit(12);
    if (prompt.m_texts.size() != 1) _exit(13);
    if (prompt.m_texts[0].find("(line 3: ") == std::string::npos) _exit(14);
    if (prompt.m_texts[0].find("could not be moved aside") == std::string::npos) _exit(15);
    if (key.Create(kOptions)) _exit(16);  // refused: it would replace the damaged file
    if (prompt.m_texts.size() != 1) _exit(17);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  chmod(m_store.parent_path().c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "child check failed";
  EXPECT_EQ(ReadFile(m_store), strBad);
}

// Two processes each write 1000 values into the same store at once; all 2000 are
// there afterwards.
TEST_F(RegistryStore, ConcurrentWritersLoseNothing) {
  constexpr int kPerProcess = 1000;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int nChild = 0; nChild < 2; ++nChild) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(20);  // both start when the pipe closes
      CRegKey key;
      if (!key.Create(kOptions)) _exit(21);
      for (int i = 0; i < kPerProcess; ++i)
        if (!key.SetNumber("P" + std::to_string(nChild) + "-" + std::to_string(i),
                           static_cast<uint32_t>(nChild * 100000 + i)))
          _exit(22);
      _exit(0);
    }
    children.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  CRegKey key;
  ASSERT_TRUE(key.Open(kOptions));
  EXPECT_EQ(key.GetValueNames().size(), 2u * kPerProcess);
  // Check every value on one reading of the file.
  CRegistryFile data;
  CRegistryFile::SError err;
  ASSERT_TRUE(data.Parse(ReadFile(m_store), err));
  const CRegistryFile::SKey* pKey = data.FindKey(kOptions);
  ASSERT_NE(pKey, nullptr);
  for (int nChild = 0; nChild < 2; ++nChild)
    for (int i = 0; i < kPerProcess; ++i) {
      const auto* pValue = CRegistryFile::FindValue(*pKey, "P" + std::to_string(nChild) + "-" + std::to_string(i));
      ASSERT_NE(pValue, nullptr) << nChild << " " << i;
      EXPECT_EQ(pValue->nNumber, static_cast<uint32_t>(nChild * 100000 + i));
    }
  uint32_t n = 0;
  ASSERT_TRUE(key.QueryNumber("P1-999", n));
  EXPECT_EQ(n, 100999u);
  EXPECT_TRUE(m_prompt.m_texts.empty());
}

TEST(RegistryPath, EnvironmentChoosesTheFile) {
  const char* pOldReg = std::getenv("MIRETH_REGISTRY");
  const char* pOldXdg = std::getenv("XDG_CONFIG_HOME");
  const char* pOldHome = std::getenv("HOME");
  const std::string strOldReg = pOldReg ? pOldReg : "", strOldXdg = pOldXdg ? pOldXdg : "",
                    strOldHome = pOldHome ? pOldHome : "";

  setenv("MIRETH_REGISTRY", "/x/y.reg", 1);
  EXPECT_EQ(GetRegistryFilePath(), "/x/y.reg");
  unsetenv("MIRETH_REGISTRY");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(GetRegistryFilePath(), "/cfg/Kelvane/Mireth.reg");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(GetRegistryFilePath(), "/home/u/.config/Kelvane/Mireth.reg");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(GetRegistryFilePath(), "/home/u/.config/Kelvane/Mireth.reg");

  auto Restore = [](const char* pName, const char* pOld, const std::string& str) {
    if (pOld)
      setenv(pName, str.c_str(), 1);
    else
      unsetenv(pName);
  };
  Restore("MIRETH_REGISTRY", pOldReg, strOldReg);
  Restore("XDG_CONFIG_HOME", pOldXdg, strOldXdg);
  Restore("HOME", pOldHome, strOldHome);
}
