// `mireth ports`, run as a program against a store and lock folder of the test's own.
#include "GrellowTestSupport.h"
#include "platform/Registry.h"

using namespace grellow_test;

namespace {

class PortsCommandTest : public CGrellowTest {
 protected:
  // Runs the program with the test's environment: its exit code and its output.
  int Run(const std::string& strArgs, std::string& strOut) {
    return test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' ports " + strArgs, strOut);
  }
};

TEST_F(PortsCommandTest, ListsMappedPortsWithTheirState) {
  CPty pty;
  // The map names the pseudo-terminal through a link of the test's own, so that the
  // device can be made to vanish without its number being reused meanwhile.
  const std::string strModem = m_strTemp + "/modem";
  ASSERT_EQ(symlink(pty.m_strSlave.c_str(), strModem.c_str()), 0);
  CRegKey key;
  ASSERT_TRUE(key.Create("SOFTWARE\\Kelvane\\Mireth\\Ports") && key.SetText("COM7", strModem));
  std::string strOut;
  EXPECT_EQ(Run("", strOut), 0);
  EXPECT_EQ(strOut, "COM7   free      " + strModem + "\n");
  {
    // Held by this process, which the lock file names, and for the program another one.
    CSerialPort holder;
    ASSERT_EQ(holder.Open(pty.m_strSlave, 9600), SERIAL_OK);
    EXPECT_EQ(Run("", strOut), 0);
    const std::string strHeld =
        strModem + " is in use by another program (process " + std::to_string(getpid()) + ", grellow_tests)";
    EXPECT_EQ(strOut, "COM7   in use    " + strModem + "\n       " + strHeld + "\n");
    EXPECT_EQ(Run("--json", strOut), 0);
    EXPECT_EQ(strOut, "[\n  {\"name\": \"COM7\", \"device\": \"" + strModem +
                          "\", \"state\": \"in use\", \"reason\": \"" + strHeld + "\", \"new\": false}\n]\n");
  }
  EXPECT_TRUE(LockFolderEmpty());  // the program left no lock behind

  // The device gone: the entry stays, shown as missing.
  ASSERT_EQ(unlink(strModem.c_str()), 0);
  EXPECT_EQ(Run("", strOut), 0);
  EXPECT_EQ(strOut, "COM7   missing   " + strModem + "\n       " + strModem + " does not exist\n");
  EXPECT_EQ(Run("--bogus 2>/dev/null", strOut), 2);

  // A settings file that cannot be read: said once, with its path, and the command fails.
  ASSERT_EQ(unlink(m_strRegistry.c_str()), 0);
  ASSERT_EQ(mkfifo(m_strRegistry.c_str(), 0600), 0);
  EXPECT_EQ(Run("2>&1", strOut), 1);
  EXPECT_EQ(strOut.find("The settings file " + m_strRegistry + " cannot be read (it is not a regular file)."),
            0u)
      << strOut;
  EXPECT_EQ(strOut.find("cannot be read", strOut.find("cannot be read") + 1), std::string::npos) << strOut;
}

}  // namespace
