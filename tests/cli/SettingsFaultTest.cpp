// A settings file that cannot be read or written, as the command-line program meets
// it: the report (with the path) comes once, every command that needed the settings
// fails with 1 and does nothing with the phone, and commands that never need them
// run as usual.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <tuple>

#include "CliTestSupport.h"

using namespace cli_test;

namespace {

// The program's device folders hold one serial device (ttyUSB0, a character device
// that is not a phone), so `ports` has a device to give a COM name.
class SettingsFaultTest : public CCliTest {
 protected:
  void SetUp() override {
    CCliTest::SetUp();
    std::filesystem::create_directories(m_root / "dev");
    std::filesystem::create_directories(m_root / "sys");
    std::filesystem::create_symlink("/dev/null", m_root / "dev" / "ttyUSB0");
    m_sandbox.SetEnv("MIRETH_DEV_DIR", (m_root / "dev").string());
    m_sandbox.SetEnv("MIRETH_SYS_DIR", (m_root / "sys").string());
  }

  // The device and time-out options alone (the phone commands keep no files).
  std::vector<std::string> OnPhone(std::vector<std::string> args) const {
    args.insert(args.end(), {"--device", Device(), "--timeout", "3000"});
    return args;
  }
  // How often strWhat occurs in strText.
  static int Count(const std::string& strText, const std::string& strWhat) {
    int n = 0;
    for (size_t i = strText.find(strWhat); i != std::string::npos; i = strText.find(strWhat, i + 1))
      ++n;
    return n;
  }
};

// The ways a settings file can be unusable. Mode 000 only stops a normal user (root
// reads it anyway), so that case runs only when the test is not run as root.
enum class Fault { Folder, UnderAFile, NoPermission, LockIsFolder };

using FaultCase = std::pair<const char*, Fault>;

// Makes the settings path unusable in the given way; false when this user cannot
// be stopped that way.
bool MakeFault(Fault fault, const std::filesystem::path& root, std::filesystem::path& settings) {
  std::filesystem::create_directories(root);
  switch (fault) {
    case Fault::Folder:
      settings = root / "folder.reg";
      std::filesystem::create_directories(settings);
      return true;
    case Fault::UnderAFile:
      std::ofstream(root / "plain") << "x";
      settings = root / "plain" / "settings.reg";
      return true;
    case Fault::NoPermission:
      if (geteuid() == 0)
        return false;
      settings = root / "closed.reg";
      std::ofstream(settings) << "Windows Registry Editor Version 5.00\r\n";
      return chmod(settings.c_str(), 0) == 0;
    case Fault::LockIsFolder:
      // Readable, but no change can be written: the lock beside it cannot be taken.
      settings = root / "locked.reg";
      std::ofstream(settings) << "Windows Registry Editor Version 5.00\r\n";
      std::filesystem::create_directories(root / "locked.reg.lock");
      return true;
  }
  return false;
}

TEST_F(SettingsFaultTest, CommandsThatNeedTheSettingsFailOnceReportedAndTheOthersRun) {
  StartPhone({"SM 1 " + kHowAreYou});
  const FaultCase faults[] = {
      {"a folder", Fault::Folder},
      {"a path below a plain file", Fault::UnderAFile},
      {"mode 000", Fault::NoPermission},
  };
  // The command, its exit status, and a piece of what it prints. Those that fail would
  // succeed (or, watch, run on) with usable settings; the others never use them.
  const std::tuple<std::vector<std::string>, int, const char*> commands[] = {
      {OnPhone({"identify"}), 1, ""},
      {OnPhone({"inbox"}), 1, ""},
      {OnPhone({"send", "--to", "+447700900555", "--text", "hi"}), 1, ""},
      {With({"watch"}), 1, ""},
      {With({"contacts"}), 1, ""},
      {{"ports"}, 1, ""},
      {{"pdu", "decode", kHowAreYou}, 0, "How are you?"},
      {{"--version"}, 0, "mireth "},
      {{"help"}, 0, "commands:"},
  };
  for (const auto& [pszName, fault] : faults) {
    std::filesystem::path settings;
    if (!MakeFault(fault, m_root / pszName, settings)) {
      std::printf("skipped '%s': this user cannot be stopped that way\n", pszName);
      continue;
    }
    m_sandbox.SetEnv("MIRETH_REGISTRY", settings.string());
    for (const auto& [args, nExit, pszOutput] : commands) {
      std::string strOut;
      EXPECT_EQ(Run(args, strOut), nExit) << pszName << ": " << args[0] << "\n" << strOut << ErrText();
      const std::string strErr = ErrText();
      EXPECT_EQ(Count(strErr, settings.string()), nExit) << pszName << ": " << args[0] << "\n" << strErr;
      if (nExit == 0) {
        EXPECT_NE(strOut.find(pszOutput), std::string::npos) << pszName << ": " << args[0] << "\n" << strOut;
      } else if (args[0] != "ports") {  // nothing was read from the phone
        EXPECT_EQ(strOut, "") << pszName << ": " << args[0];
      }
    }
  }
  // Not one command reached the phone.
  for (const std::string& strEvent : m_pPhone->GetLog())
    EXPECT_NE(strEvent.rfind("CMD ", 0), 0u) << strEvent;
}

TEST_F(SettingsFaultTest, SettingsThatCannotBeWrittenFailTheCommandThatWrites) {
  std::filesystem::path settings;
  ASSERT_TRUE(MakeFault(Fault::LockIsFolder, m_root, settings));
  m_sandbox.SetEnv("MIRETH_REGISTRY", settings.string());
  // ports gives ttyUSB0 a COM name in the settings; that write fails.
  std::string strOut;
  EXPECT_EQ(Run({"ports", "--json"}, strOut), 1) << strOut << ErrText();
  EXPECT_EQ(Count(ErrText(), settings.string()), 1) << ErrText();
}

}  // namespace
