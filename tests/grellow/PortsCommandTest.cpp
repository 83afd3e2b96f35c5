// `mireth ports`, run as a program against a store and lock folder of the test's own.
#include <cstdio>
#include <sstream>

#include "GrellowTestSupport.h"
#include "platform/Registry.h"

using namespace grellow_test;

namespace {

class PortsCommandTest : public CGrellowTest {
 protected:
  // Runs the program with the test's environment; returns its standard output.
  std::string RunPorts(const std::string& strArgs, int& nExit) {
    std::string strCommand = std::string("'") + MIRETH_CLI_PATH + "' ports " + strArgs;
    FILE* pPipe = popen(strCommand.c_str(), "r");
    if (!pPipe) {
      ADD_FAILURE() << "cannot run " << strCommand;
      nExit = -1;
      return std::string();
    }
    std::string strOut;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pPipe)) > 0)
      strOut.append(buf, n);
    int nStatus = pclose(pPipe);
    nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return strOut;
  }

  // The line of the listing that starts with the COM name, split into its words.
  std::vector<std::string> LineOf(const std::string& strOut, const std::string& strName) {
    std::istringstream in(strOut);
    std::string strLine;
    while (std::getline(in, strLine)) {
      std::istringstream words(strLine);
      std::vector<std::string> result;
      std::string strWord;
      while (words >> strWord)
        result.push_back(strWord);
      if (!result.empty() && result[0] == strName)
        return result;
    }
    return {};
  }
};

TEST_F(PortsCommandTest, ListsMappedPortsWithTheirState) {
  CPty pty;
  // The map names the pseudo-terminal through a link of the test's own, so that the
  // device can be made to vanish without its number being reused meanwhile.
  const std::string strModem = m_temp / "modem";
  ASSERT_EQ(symlink(pty.Slave().c_str(), strModem.c_str()), 0);
  {
    CRegKey key;
    ASSERT_TRUE(key.Create("SOFTWARE\\Kelvane\\Mireth\\Ports"));
    ASSERT_TRUE(key.SetText("COM7", strModem));
  }
  int nExit = -1;
  std::string strOut = RunPorts("", nExit);
  EXPECT_EQ(nExit, 0);
  EXPECT_EQ(LineOf(strOut, "COM7"), (std::vector<std::string>{"COM7", "free", strModem}))
      << strOut;
  // Nothing else is mapped in this store.
  EXPECT_EQ(std::count(strOut.begin(), strOut.end(), '\n'), 1) << strOut;

  {
    CHolderProcess holder(pty.Slave());
    ASSERT_EQ(holder.Result(), SERIAL_OK);
    strOut = RunPorts("", nExit);
    EXPECT_EQ(nExit, 0);
    EXPECT_EQ(LineOf(strOut, "COM7"),
              (std::vector<std::string>{"COM7", "in", "use", strModem}))
        << strOut;
    strOut = RunPorts("--json", nExit);
    EXPECT_EQ(nExit, 0);
    EXPECT_NE(strOut.find("{\"name\": \"COM7\", \"device\": \"" + strModem +
                          "\", \"state\": \"in use\", \"new\": false}"),
              std::string::npos)
        << strOut;
  }
  // Released: free again, and the program left no lock behind.
  strOut = RunPorts("", nExit);
  EXPECT_EQ(LineOf(strOut, "COM7"), (std::vector<std::string>{"COM7", "free", strModem}));
  EXPECT_TRUE(std::filesystem::is_empty(m_strLockDir));

  // The device is gone: the entry stays, shown as missing.
  ASSERT_EQ(unlink(strModem.c_str()), 0);
  strOut = RunPorts("", nExit);
  EXPECT_EQ(nExit, 0);
  EXPECT_EQ(LineOf(strOut, "COM7"), (std::vector<std::string>{"COM7", "missing", strModem}));

  RunPorts("--bogus 2>/dev/null", nExit);
  EXPECT_EQ(nExit, 2);
}

TEST_F(PortsCommandTest, NumbersNewDevicesOnceAndKeepsThem) {
  CPty pty;
  std::string strDevice = m_strDevDir + "/ttyACM0";
  ASSERT_EQ(symlink(pty.Slave().c_str(), strDevice.c_str()), 0);
  {
    CRegKey key;
    ASSERT_TRUE(key.Create("SOFTWARE\\Kelvane\\Mireth\\Ports"));
    ASSERT_TRUE(key.SetText("COM1", "/dev/ttyS0-was-here"));
  }
  int nExit = -1;
  std::string strOut = RunPorts("", nExit);
  EXPECT_EQ(nExit, 0);
  EXPECT_EQ(LineOf(strOut, "COM1"),
            (std::vector<std::string>{"COM1", "missing", "/dev/ttyS0-was-here"}));
  EXPECT_EQ(LineOf(strOut, "COM2"), (std::vector<std::string>{"COM2", "free", strDevice, "(new)"}))
      << strOut;
  // Written to the store, so the next run knows it.
  EXPECT_EQ(ResolveComPort("COM2"), strDevice);
  strOut = RunPorts("", nExit);
  EXPECT_EQ(LineOf(strOut, "COM2"), (std::vector<std::string>{"COM2", "free", strDevice}));

  // With nothing mapped and nothing found the program says so and succeeds.
  unlink(strDevice.c_str());
  unlink(m_strRegistry.c_str());
  strOut = RunPorts("", nExit);
  EXPECT_EQ(nExit, 0);
  EXPECT_TRUE(LineOf(strOut, "COM1").empty());
  EXPECT_EQ(RunPorts("--json", nExit), "[]\n");
}

}  // namespace
