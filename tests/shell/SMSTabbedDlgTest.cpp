// The SMS window: settings read at start, port probing, phone set-up and the start
// page it chooses, the shared state the pages use, error reports, the button row and
// help.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QIcon>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <thread>

#include "ScriptedPromptService.h"
#include "ShellTestSupport.h"
#include "grellow/SerialPort.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "platform/Registry.h"
#include "res/StringTable.h"
#include "shell/SMSTabbedDlg.h"
#include "vphone/VirtualPhone.h"

namespace {

const char kOptions[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]";
const char kData[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]";
const char kPorts[] = "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]";

class SMSTabbedDlgTest : public CShellTest {
 protected:
  SMSTabbedDlgTest() : m_lockDir("MIRETH_LOCK_DIR", m_scratch.Path().string()) {}

  // A prober that answers true for the given names and notes every name asked.
  void ProbeAnswers(std::vector<std::string> open) {
    CSMSTabbedDlg::SetPortProber([this, open](const std::string& strName) {
      m_probed.push_back(strName);
      return std::find(open.begin(), open.end(), strName) != open.end();
    });
  }

  static uint32_t ReadDataNumber(const std::string& strName, bool* pFound = nullptr) {
    CRegKey key;
    uint32_t n = 0xDEAD;
    const bool bFound = key.Open("SOFTWARE\\Kelvane\\Mireth\\Data") && key.QueryNumber(strName, n);
    if (pFound != nullptr)
      *pFound = bFound;
    return n;
  }

  CScriptedPromptService m_prompt;
  std::vector<std::string> m_probed;
  CEnvOverride m_lockDir;
};

std::vector<std::string> AllPortNames() {
  std::vector<std::string> names;
  for (int i = 1; i <= 35; ++i)
    names.push_back("COM" + std::to_string(i));
  return names;
}

}  // namespace

TEST_F(SMSTabbedDlgTest, FirstRunWithoutAnyFreePortOpensOnOptionsWithNoPortCode) {
  int nPhonesMade = 0;
  CSMSTabbedDlg::SetPhoneFactory([&nPhonesMade] {
    ++nPhonesMade;
    return std::make_unique<CPhoneInterface>();
  });
  ProbeAnswers({});
  CSMSTabbedDlg dlg;

  // Without an Options key the port name is not looked for; every port of the table
  // is tried, in order.
  EXPECT_EQ(m_probed, AllPortNames());

  EXPECT_EQ(dlg.GetErrorCode(), PHONE_NO_PORT);
  EXPECT_EQ(dlg.GetErrorCode(), -994);
  EXPECT_TRUE(dlg.IsComPortUnset());
  EXPECT_FALSE(dlg.IsPhoneReady());
  EXPECT_EQ(dlg.GetPhone(), nullptr);
  EXPECT_EQ(nPhonesMade, 0);
  EXPECT_EQ(dlg.GetComPort(), 0);
  EXPECT_EQ(dlg.GetAvailablePorts(), "");
  // Defaults of the settings that are missing.
  EXPECT_EQ(dlg.GetBaudRate(), 9600);
  EXPECT_EQ(dlg.GetTimeOut(), 10000);
  EXPECT_FALSE(dlg.IsDeleteFromPhone());
  EXPECT_FALSE(dlg.IsExportToCsv());

  // The wait cursor begun while building lasts until the Compose page has started.
  EXPECT_EQ(m_prompt.m_nWaitDepth, 1);
  dlg.Create();
  EXPECT_EQ(dlg.GetActivePage(), &dlg.GetOptionsPage());
  EXPECT_TRUE(dlg.GetOptionsPage().IsWindowCreated());
  EXPECT_FALSE(dlg.GetComposePage().IsWindowCreated());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 1);
  dlg.SetActivePage(&dlg.GetComposePage());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  dlg.SetActivePage(&dlg.GetOptionsPage());
  dlg.SetActivePage(&dlg.GetComposePage());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
}

TEST_F(SMSTabbedDlgTest, FirstRunWithAFreePortOpensOnOptionsWithPortProblemCode) {
  ProbeAnswers({"COM2", "COM5"});
  {
    CSMSTabbedDlg dlg;
    EXPECT_EQ(dlg.GetErrorCode(), -989);
    EXPECT_EQ(dlg.GetAvailablePorts(), "COM2\tCOM5\t");
    EXPECT_EQ(dlg.GetComPort(), 0);  // COM1 could not be opened: no port name
    EXPECT_TRUE(dlg.IsComPortUnset());
    EXPECT_EQ(dlg.GetPhone(), nullptr);
    dlg.Create();
    EXPECT_EQ(dlg.GetActiveIndex(), 3);
  }
  // A window closed without the Compose page ever shown still ends its wait cursor.
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  EXPECT_EQ(m_prompt.m_nWaitBegun, m_prompt.m_nWaitEnded);

  // An Options key without "COM Port" is a first run too.
  WriteRegistry({kOptions, "\"COM Port\"=\"\"", "\"Baud Rate\"=dword:00004b00"});
  m_probed.clear();
  CSMSTabbedDlg dlg2;
  EXPECT_TRUE(dlg2.IsComPortUnset());
  EXPECT_EQ(dlg2.GetErrorCode(), -989);
  EXPECT_EQ(dlg2.GetBaudRate(), 19200);
  ASSERT_FALSE(m_probed.empty());
  EXPECT_EQ(m_probed.front(), "COM1");
  EXPECT_EQ(m_probed.size(), 36u);
}

TEST_F(SMSTabbedDlgTest, SettingsAreReadWithTheirDefaultsAndPortNamesMatchExactly) {
  WriteRegistry({kOptions, "\"COM Port\"=\"COM12\"", "\"Baud Rate\"=dword:0001c200",
                 "\"Time Out\"=dword:00001388", "\"Delete From Phone\"=dword:00000007"});
  ProbeAnswers({});
  {
    CSMSTabbedDlg dlg;
    EXPECT_EQ(dlg.GetComPort(), 11);
    EXPECT_FALSE(dlg.IsComPortUnset());
    EXPECT_EQ(dlg.GetBaudRate(), 115200);
    EXPECT_EQ(dlg.GetTimeOut(), 5000);
    EXPECT_TRUE(dlg.IsDeleteFromPhone());
    // A port is stored, but no port can be opened.
    EXPECT_EQ(dlg.GetErrorCode(), -994);
    dlg.Create();
    EXPECT_EQ(dlg.GetActivePage(), &dlg.GetOptionsPage());
  }
  // Only the table's names count, letter case included; the port name was not probed.
  EXPECT_EQ(m_probed, AllPortNames());
  for (const char* pszStored : {"com3", "COM99", "COM3 "}) {
    WriteRegistry({kOptions, std::string("\"COM Port\"=\"") + pszStored + "\""});
    CSMSTabbedDlg dlg;
    EXPECT_EQ(dlg.GetComPort(), 0) << pszStored;
    EXPECT_FALSE(dlg.IsComPortUnset()) << pszStored;
  }
}

TEST_F(SMSTabbedDlgTest, AStoredPortWithAnAnsweringPhoneMakesThePhoneReady) {
  CVirtualPhone phone;
  std::string strError;
  ASSERT_TRUE(phone.Start(&strError)) << strError;
  WriteRegistry({kOptions, "\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8", kPorts,
                 "\"COM3\"=\"" + phone.GetSlavePath() + "\""});
  CSMSTabbedDlg::SetPortProber({});  // the real serial line

  CSMSTabbedDlg dlg;
  EXPECT_EQ(dlg.GetAvailablePorts(), "COM3\t");
  EXPECT_EQ(dlg.GetComPort(), 2);
  EXPECT_EQ(dlg.GetErrorCode(), 1);
  EXPECT_TRUE(dlg.IsPhoneReady());
  ASSERT_NE(dlg.GetPhone(), nullptr);
  // Set-up ran under a wait cursor of its own; the start one is still on.
  EXPECT_EQ(m_prompt.m_nWaitDepth, 1);
  EXPECT_EQ(m_prompt.m_nWaitBegun, 2);
  dlg.Create();
  EXPECT_EQ(dlg.GetActivePage(), &dlg.GetComposePage());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);

  // The worker-thread queries talk to the same phone.
  EXPECT_EQ(CSMSTabbedDlg::RunPhoneQuery(&CSMSTabbedDlg::QueryPhoneInformation, &dlg), 1);
  EXPECT_EQ(dlg.GetErrorCode(), 1);
  EXPECT_EQ(dlg.GetPhone()->GetPhoneModel(), "VP-1");
  dlg.SetErrorCode(-977);
  CSMSTabbedDlg::RunPhoneQuery(&CSMSTabbedDlg::QueryPreferredStorage, &dlg);
  EXPECT_EQ(dlg.GetErrorCode(), 1);

  // While the window holds the port, nobody else can open it; closing releases it.
  EXPECT_EQ(CSerialPort::Probe(phone.GetSlavePath()), SERIAL_IN_USE);
  dlg.ClosePhone();
  EXPECT_EQ(dlg.GetPhone(), nullptr);
  EXPECT_FALSE(dlg.IsPhoneReady());
  EXPECT_EQ(CSerialPort::Probe(phone.GetSlavePath()), SERIAL_OK);

  // The Options page may set the phone up again.
  dlg.SetupPhone();
  EXPECT_TRUE(dlg.IsPhoneReady());
  EXPECT_EQ(dlg.GetErrorCode(), 1);
}

TEST_F(SMSTabbedDlgTest, APhoneThatDoesNotAnswerKeepsTheLibrarysCodeAndTheComposeStart) {
  int nMaster = -1, nSlave = -1;
  char szName[256] = {};
  ASSERT_EQ(::openpty(&nMaster, &nSlave, szName, nullptr, nullptr), 0);
  ::close(nSlave);  // the master stays open and silent
  WriteRegistry({kOptions, "\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:0000012c", kPorts,
                 std::string("\"COM3\"=\"") + szName + "\""});
  CSMSTabbedDlg::SetPortProber({});

  {
    CSMSTabbedDlg dlg;
    EXPECT_FALSE(dlg.IsPhoneReady());
    ASSERT_NE(dlg.GetPhone(), nullptr);  // the phone object stays
    EXPECT_NE(dlg.GetErrorCode(), 1);
    EXPECT_EQ(dlg.GetErrorCode(), dlg.GetPhone()->GetPhoneErrorCode());
    EXPECT_LT(dlg.GetErrorCode(), -900);
    dlg.Create();
    EXPECT_EQ(dlg.GetActivePage(), &dlg.GetComposePage());
  }
  ::close(nMaster);
}

TEST_F(SMSTabbedDlgTest, PortsHeldByAnotherProgramAreNotOffered) {
  CVirtualPhone phone;
  ASSERT_TRUE(phone.Start());
  WriteRegistry({kOptions, "\"COM Port\"=\"COM3\"", kPorts,
                 "\"COM3\"=\"" + phone.GetSlavePath() + "\""});
  CSMSTabbedDlg::SetPortProber({});
  CSerialPort other;
  ASSERT_EQ(other.Open(phone.GetSlavePath(), 9600), SERIAL_OK);

  CSMSTabbedDlg dlg;
  EXPECT_EQ(dlg.GetAvailablePorts(), "");
  EXPECT_EQ(dlg.GetErrorCode(), -994);
  EXPECT_EQ(dlg.GetPhone(), nullptr);
}

TEST_F(SMSTabbedDlgTest, ClosingWritesTheExportFlagBack) {
  ProbeAnswers({});
  { CSMSTabbedDlg dlg; }
  bool bFound = false;
  EXPECT_EQ(ReadDataNumber("Export To CSV", &bFound), 0u);
  EXPECT_TRUE(bFound);

  WriteRegistry({kData, "\"Export To CSV\"=dword:00000005"});
  {
    CSMSTabbedDlg dlg;
    EXPECT_TRUE(dlg.IsExportToCsv());
    // Until the window goes, the stored value is untouched.
    EXPECT_EQ(ReadDataNumber("Export To CSV"), 5u);
  }
  EXPECT_EQ(ReadDataNumber("Export To CSV"), 1u);
}

TEST_F(SMSTabbedDlgTest, TheHostsRecipientIsCopiedAndHandedOut) {
  ProbeAnswers({});
  const RecipientInfo info{"Ann Smith", 2, "+447700900001\r+447700900002"};
  CSMSTabbedDlg dlg(&info);
  EXPECT_EQ(dlg.GetHostName(), "Ann Smith");
  EXPECT_EQ(dlg.GetHostNumberCount(), 2);
  EXPECT_EQ(dlg.GetHostNumbers(), "+447700900001\r+447700900002");

  CSMSTabbedDlg none(nullptr);
  EXPECT_EQ(none.GetHostName(), "");
  EXPECT_EQ(none.GetHostNumberCount(), 0);
  EXPECT_EQ(none.GetHostNumbers(), "");
}

TEST_F(SMSTabbedDlgTest, ReportErrorShowsTheParagraphsOfTheCurrentCode) {
  ProbeAnswers({});
  CSMSTabbedDlg dlg;
  dlg.SetErrorCode(-998);
  dlg.ReportError();
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  const auto& shown = m_prompt.m_errors[0];
  EXPECT_EQ(shown.strFirst.rfind("The Phone has timed-out. If the time-out value", 0), 0u);
  EXPECT_EQ(shown.strFirst, LoadString(75));
  EXPECT_EQ(shown.strSecond, "");
  EXPECT_EQ(shown.strThird, "");
  EXPECT_EQ(shown.strCode, "Error Code: -998");
  EXPECT_EQ(dlg.GetErrorCode(), -998);  // reporting leaves the code alone

  dlg.SetErrorCode(0);
  dlg.ReportError();
  ASSERT_EQ(m_prompt.m_errors.size(), 2u);
  EXPECT_EQ(m_prompt.m_errors[1].strFirst, LoadString(59));
  EXPECT_EQ(m_prompt.m_errors[1].strSecond, LoadString(139));
  EXPECT_EQ(m_prompt.m_errors[1].strCode, "Error Code: 0");
}

TEST_F(SMSTabbedDlgTest, WorkerQueriesRunOnTheirOwnThreadAndReturnTheirResult) {
  ProbeAnswers({});
  CSMSTabbedDlg dlg;
  static std::thread::id s_worker;
  static CSMSTabbedDlg* s_pSeen = nullptr;
  s_worker = std::this_thread::get_id();
  const int nResult = CSMSTabbedDlg::RunPhoneQuery(
      [](CSMSTabbedDlg* pSheet) {
        s_worker = std::this_thread::get_id();
        s_pSeen = pSheet;
        return -976;
      },
      &dlg);
  EXPECT_EQ(nResult, -976);
  EXPECT_NE(s_worker, std::this_thread::get_id());
  EXPECT_EQ(s_pSeen, &dlg);
}

TEST_F(SMSTabbedDlgTest, TheWindowLooksAsTheSheetDescribes) {
  ProbeAnswers({});
  CSMSTabbedDlg dlg;
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("SMS Message"));
  EXPECT_FALSE(dlg.windowIcon().isNull());

  QTabWidget* pTabs = dlg.GetTabControl();
  ASSERT_EQ(pTabs->count(), 4);
  const QStringList texts{"Compose", "Inbox", "Outbox", "Options"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(pTabs->tabText(i), texts[i]);
    EXPECT_FALSE(pTabs->tabIcon(i).isNull()) << i;
  }
  EXPECT_EQ(dlg.GetPage(0), &dlg.GetComposePage());
  EXPECT_EQ(dlg.GetPage(3), &dlg.GetOptionsPage());
  EXPECT_EQ(dlg.GetOptionsPage().m_pSheet, &dlg);
  EXPECT_EQ(dlg.GetInboxPage().m_pCompose, &dlg.GetComposePage());
  EXPECT_EQ(dlg.GetOutboxPage().m_pCompose, &dlg.GetComposePage());
  EXPECT_EQ(dlg.GetOptionsPage().m_pCompose, &dlg.GetComposePage());

  QPushButton* pClose = dlg.GetButton(CPropertySheet::ID_OK);
  QPushButton* pHelp = dlg.GetButton(CPropertySheet::ID_HELP);
  EXPECT_EQ(pClose->text(), QStringLiteral("Close"));
  EXPECT_TRUE(pHelp->isVisible());
  EXPECT_TRUE(pHelp->isEnabled());

  // The buttons sit 125 pixels further left than on a plain sheet.
  CPropertySheet plain(QStringLiteral("Plain"));
  plain.SetHasHelp(true);
  plain.show();
  const int nMargin = dlg.width() - pHelp->geometry().right();
  const int nPlainMargin = plain.width() - plain.GetButton(CPropertySheet::ID_HELP)->geometry().right();
  EXPECT_EQ(nMargin - nPlainMargin, 125);
  EXPECT_EQ(pClose->width(), plain.GetButton(CPropertySheet::ID_OK)->width());
}

TEST_F(SMSTabbedDlgTest, HelpOpensTheTopicOfTheActivePage) {
  ProbeAnswers({});
  CSMSTabbedDlg dlg;
  dlg.show();
  ASSERT_EQ(dlg.GetActivePage(), &dlg.GetOptionsPage());

  auto helpUrl = [&dlg]() -> QString {
    QDialog* pHelp = dlg.findChild<QDialog*>(QStringLiteral("MirethHelp"));
    return pHelp != nullptr && pHelp->isVisible() ? pHelp->property("helpUrl").toString() : QString();
  };
  dlg.GetButton(CPropertySheet::ID_HELP)->click();
  EXPECT_TRUE(helpUrl().endsWith(QStringLiteral(".html#0x20084"))) << helpUrl().toStdString();

  dlg.SetActivePage(&dlg.GetComposePage());
  dlg.activateWindow();  // F1 is the active window's
  QCoreApplication::processEvents();
  QTest::keyClick(&dlg, Qt::Key_F1);
  EXPECT_TRUE(helpUrl().endsWith(QStringLiteral(".html#0x20081"))) << helpUrl().toStdString();
  dlg.SetActivePage(&dlg.GetInboxPage());
  dlg.activateWindow();
  QCoreApplication::processEvents();
  QTest::keyClick(&dlg, Qt::Key_F1);
  EXPECT_TRUE(helpUrl().endsWith(QStringLiteral(".html#0x20082"))) << helpUrl().toStdString();
}
