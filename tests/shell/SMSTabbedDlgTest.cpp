// The SMS window: settings read at start, port probing, phone set-up and the start
// page it chooses, error reports, the export flag written back, and a phone that went
// away reached again.

#include "WindowTestSupport.h"
#include "grellow/SerialPort.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "res/StringTable.h"

namespace {

const char kOptions[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]";
const char kPorts[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]";

class SMSTabbedDlgTest : public CWindowTest {
 protected:
  // A prober that answers true for the given names and notes every name asked.
  void ProbeAnswers(std::vector<std::string> open) {
    CSMSTabbedDlg::SetPortProber([this, open](const std::string& strName) {
      m_probed.push_back(strName);
      return std::find(open.begin(), open.end(), strName) != open.end();
    });
  }
  static uint32_t ExportFlag() {
    CRegKey key;
    uint32_t n = 0xDEAD;
    return key.Open("SOFTWARE\\Kelvane\\Mireth\\Data") && key.QueryNumber("Export To CSV", n) ? n : 0xDEAD;
  }

  std::vector<std::string> m_probed;
};

// What the window made of its settings and the ports it probed.
std::string Summary(const CSMSTabbedDlg& dlg) {
  return "code " + std::to_string(dlg.GetErrorCode()) + " port " + std::to_string(dlg.GetComPort()) +
         (dlg.IsComPortUnset() ? " unset" : "") + " baud " + std::to_string(dlg.GetBaudRate()) +
         " time-out " + std::to_string(dlg.GetTimeOut()) + (dlg.IsDeleteFromPhone() ? " delete" : "") +
         (dlg.IsExportToCsv() ? " export" : "") + " ports '" + dlg.GetAvailablePorts() + "'";
}

}  // namespace

TEST_F(SMSTabbedDlgTest, SettingsAreReadAndPortsProbed) {
  struct SCase {
    std::vector<std::string> lines;  // of the Options key; none: no key
    std::vector<std::string> open;   // the ports that answer the probe
    std::string strSummary;
    size_t nProbed;  // without a stored name, every port of the table in order
  };
  const std::vector<SCase> cases = {
      {{}, {}, "code -994 port 0 unset baud 9600 time-out 10000 ports ''", 35},
      {{}, {"COM2", "COM5"}, "code -989 port 0 unset baud 9600 time-out 10000 ports 'COM2\tCOM5\t'", 35},
      // An Options key without "COM Port" is a first run too: COM1 is probed for the
      // stored name, then the whole table.
      {{"\"COM Port\"=\"\"", "\"Baud Rate\"=dword:00004b00"},
       {"COM2"},
       "code -989 port 0 unset baud 19200 time-out 10000 ports 'COM2\t'",
       36},
      // A port stored but none can be opened.
      {{"\"COM Port\"=\"COM12\"", "\"Baud Rate\"=dword:0001c200", "\"Time Out\"=dword:00001388",
        "\"Delete From Phone\"=dword:00000007"},
       {},
       "code -994 port 11 baud 115200 time-out 5000 delete ports ''",
       35},
      // Port names match exactly.
      {{"\"COM Port\"=\"com3\""}, {}, "code -994 port 0 baud 9600 time-out 10000 ports ''", 35},
      {{"\"COM Port\"=\"COM3 \""}, {}, "code -994 port 0 baud 9600 time-out 10000 ports ''", 35},
  };
  for (const SCase& c : cases) {
    std::vector<std::string> lines = c.lines;
    if (!lines.empty())
      lines.insert(lines.begin(), kOptions);
    WriteRegistry(lines);
    ProbeAnswers(c.open);
    m_probed.clear();
    CSMSTabbedDlg dlg;
    EXPECT_EQ(Summary(dlg), c.strSummary) << c.strSummary;
    EXPECT_EQ(m_probed.size(), c.nProbed) << c.strSummary;
    EXPECT_EQ(m_probed.back(), "COM35") << c.strSummary;
  }
}

TEST_F(SMSTabbedDlgTest, AStoredPortWithAnAnsweringPhoneMakesThePhoneReady) {
  StartPhone();
  const std::string strDevice = m_pPhone->GetSlavePath();
  WriteSettings({"\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8"});
  CSMSTabbedDlg dlg;
  EXPECT_EQ(dlg.GetErrorCode(), 1);
  ASSERT_TRUE(dlg.IsPhoneReady());
  dlg.Create();
  EXPECT_EQ(dlg.GetActivePage(), &dlg.GetComposePage());

  // While the window holds the port, nobody else can open it; closing releases it,
  // and the Options page may set the phone up again.
  EXPECT_EQ(CSerialPort::Probe(strDevice), SERIAL_IN_USE);
  dlg.ClosePhone();
  EXPECT_FALSE(dlg.IsPhoneReady());
  EXPECT_EQ(CSerialPort::Probe(strDevice), SERIAL_OK);
  dlg.SetupPhone();
  EXPECT_TRUE(dlg.IsPhoneReady());
}

TEST_F(SMSTabbedDlgTest, ClosingWritesTheExportFlagBack) {
  { CSMSTabbedDlg dlg; }
  EXPECT_EQ(ExportFlag(), 0u);
  WriteRegistry({"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]", "\"Export To CSV\"=dword:00000005"});
  {
    CSMSTabbedDlg dlg;
    EXPECT_TRUE(dlg.IsExportToCsv());
    EXPECT_EQ(ExportFlag(), 5u);  // until the window goes, the stored value is untouched
  }
  EXPECT_EQ(ExportFlag(), 1u);
}

// A phone that went away (the virtual phone stopped, as a phone unplugged): the
// operation fails with the code whose text says the phone is not answering or
// unplugged, and the window no longer counts it as ready, so that the next operation
// sets the line up again (the window scenario unplugs and replugs a phone).
namespace {

// A received message in the phone's messages-file form ("How are you?").
const char kDeliverPdu[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

class PhoneRecoveryTest : public CWindowTest {
 protected:
  PhoneRecoveryTest() {
    std::ofstream(Path("messages.txt")) << "SM 1 " << kDeliverPdu << "\n";
    WriteRegistry({"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]", "\"COM Port\"=\"COM3\"",
                   "\"Time Out\"=dword:000007d0", "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]",
                   "\"COM3\"=\"" + LinkPath() + "\""});
    CSMSTabbedDlg::SetPortProber({});
  }
  std::string LinkPath() const { return Path("phone-link"); }

  // The phone behind the link COM3 names, holding one received message.
  void StartLinkedPhone() {
    CVirtualPhoneConfig config;
    config.m_strLinkPath = LinkPath();
    config.m_strMessagesFile = Path("messages.txt");
    StartConfiguredPhone(config);
  }

  static int Fetch(CSMSTabbedDlg& dlg, size_t& nFetched) {
    CMessageArray received;
    const int nCode = dlg.RunPhoneOperation(IDS_TASK_GET_MESSAGES, [&received](CPhoneInterface& phone) {
      return phone.GetIncomingMessagesFromPhone(&received);
    });
    nFetched = received.size();
    return nCode;
  }
};

}  // namespace

TEST_F(PhoneRecoveryTest, APhoneThatWentAwayIsReportedAsUnplugged) {
  StartLinkedPhone();
  CSMSTabbedDlg dlg;
  ASSERT_TRUE(dlg.IsPhoneReady());
  m_pPhone->Stop();

  size_t nFetched = 0;
  const int nCode = Fetch(dlg, nFetched);
  EXPECT_EQ(nCode, PHONE_WRITE_FAILED);
  EXPECT_FALSE(dlg.IsPhoneReady());
  dlg.SetErrorCode(nCode);
  dlg.ReportError();
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_NE(m_prompt.m_errors[0].strSecond.find("not answering or has been unplugged"), std::string::npos);
}

TEST_F(PhoneRecoveryTest, ALineLostInTheOperationThatSetItUpLeavesThePhoneNotReady) {
  // Silent while the window starts, so that the first operation sets the phone up;
  // then it hangs up in the middle of that operation's listing.
  StartLinkedPhone();
  CVirtualPhoneFaults faults;
  faults.m_nSilentAfter = 0;
  m_pPhone->SetFaults(faults);
  CSMSTabbedDlg dlg;
  ASSERT_FALSE(dlg.IsPhoneReady());
  faults = CVirtualPhoneFaults();
  faults.m_nHangUpInListing = 0;
  m_pPhone->SetFaults(faults);
  size_t nFetched = 0;
  ASSERT_EQ(Fetch(dlg, nFetched), PHONE_WRITE_FAILED);
  EXPECT_FALSE(dlg.IsPhoneReady());
}
