// The Options page in its window, on a virtual phone: the first run, the stored
// settings and the order they are written in, the connection and its failures, the
// phone's information, the service-centre history and deleting everything on the
// phone. Each test has its own settings file, data folder and phone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "model/StoreLists.h"
#include "options/ComPortDelegate.h"
#include "platform/Registry.h"
#include "shell/ChoiceLists.h"
#include "shell/SMSTabbedDlg.h"
#include "shell/ScriptedPromptService.h"
#include "tests/shell/TestSandbox.h"
#include "vphone/VirtualPhone.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using O = COptionsPage;
const char kOptionsKey[] = "SOFTWARE\\Kelvane\\Mireth\\Options";
const char kComPort[] = "\"COM Port\"=\"COM3\"";
// A received message in the phone's messages-file form ("How are you?").
const char kDeliverPdu[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

std::optional<uint32_t> OptionNumber(const std::string& strName) {
  CRegKey key;
  uint32_t n = 0;
  return key.Open(kOptionsKey) && key.QueryNumber(strName, n) ? std::optional<uint32_t>(n) : std::nullopt;
}

std::optional<std::string> OptionText(const std::string& strName) {
  CRegKey key;
  std::string s;
  return key.Open(kOptionsKey) && key.QueryText(strName, s) ? std::optional<std::string>(s) : std::nullopt;
}

QStringList Items(const QComboBox* pList) {
  QStringList items;
  for (int i = 0; i < pList->count(); ++i) items << pList->itemText(i);
  return items;
}

// Chooses an item as the user does: one arrow key onto it.
void Choose(QComboBox* pList, int nIndex) {
  {
    const QSignalBlocker blocker(pList);
    pList->setCurrentIndex(nIndex - 1);
  }
  QTest::keyClick(pList, Qt::Key_Down);
  ASSERT_EQ(pList->currentIndex(), nIndex);
}

// Near the left edge: a check box or radio button takes clicks on its mark and text.
void Click(QWidget* pButton) {
  ASSERT_TRUE(pButton->isVisible() && pButton->isEnabled());
  QTest::mouseClick(pButton, Qt::LeftButton, Qt::NoModifier, QPoint(4, pButton->height() / 2));
}

}  // namespace

class OptionsPageTest : public ::testing::Test {
 protected:
  OptionsPageTest() {
    if (qApp == nullptr) {
      if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      static int s_argc = 1;
      static char s_szName[] = "options_page_test";
      static char* s_argv[] = {s_szName, nullptr};
      new QApplication(s_argc, s_argv);
    }
    for (const char* pszDir : {"data", "home", "dev", "sys"})
      std::filesystem::create_directories(m_root / pszDir);
    // Empty device folders: the only ports are those the settings map.
    for (const auto& [pszName, strValue] :
         {std::pair<const char*, std::string>{"MIRETH_REGISTRY", (m_root / "settings.reg").string()},
          {"XDG_CONFIG_HOME", (m_root / "config").string()}, {"HOME", (m_root / "home").string()},
          {"MIRETH_LOCK_DIR", m_root.string()}, {"MIRETH_DEV_DIR", (m_root / "dev").string()},
          {"MIRETH_SYS_DIR", (m_root / "sys").string()}})
      m_sandbox.SetEnv(pszName, strValue);
  }

  ~OptionsPageTest() override {
    if (m_pPhone) m_pPhone->Stop();
    CSMSTabbedDlg::SetPortProber({});
  }

  void StartPhone(const std::vector<std::string>& messageLines = {}) {
    CVirtualPhoneConfig config;
    if (!messageLines.empty()) {
      config.m_strMessagesFile = (m_root / "messages.txt").string();
      std::ofstream out(config.m_strMessagesFile);
      for (const std::string& line : messageLines) out << line << "\n";
    }
    m_pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    ASSERT_TRUE(m_pPhone->Start(&strError)) << strError;
  }

  // The data folder, COM3 on the phone (or on no device without one) and, unless
  // optionsLines is empty, an Options key with those lines.
  void WriteSettings(const std::vector<std::string>& optionsLines, bool bExportToCsv = false) {
    std::ofstream out(m_root / "settings.reg", std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    if (!optionsLines.empty()) {
      out << "[HKEY_CURRENT_USER\\" << kOptionsKey << "]\r\n";
      for (const std::string& line : optionsLines) out << line << "\r\n";
    }
    out << "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]\r\n\"Data Folder\"=\"" << DataFolder()
        << "\"\r\n\"Export To CSV\"=dword:0000000" << bExportToCsv << "\r\n\r\n";
    out << "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]\r\n\"COM3\"=\""
        << (m_pPhone ? m_pPhone->GetSlavePath() : (m_root / "dev/none").string()) << "\"\r\n";
  }

  // The window, built, shown and active, with its posted events run.
  std::unique_ptr<CSMSTabbedDlg> OpenWindow() {
    auto pDlg = std::make_unique<CSMSTabbedDlg>();
    pDlg->show();
    pDlg->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(pDlg.get()));
    QCoreApplication::sendPostedEvents();
    return pDlg;
  }

  static COptionsPage& ShowOptions(CSMSTabbedDlg& dlg) {
    EXPECT_TRUE(dlg.SetActivePage(&dlg.GetOptionsPage()));
    return dlg.GetOptionsPage();
  }

  template <class T = QWidget>
  static T* Control(COptionsPage& page, int nId) {
    T* p = FindControl<T>(&page, nId);
    EXPECT_NE(p, nullptr) << "control " << nId;
    return p;
  }
  static QString Text(COptionsPage& page, int nId) {
    const QWidget* p = Control(page, nId);
    if (const auto* pList = qobject_cast<const QComboBox*>(p)) return pList->currentText();
    return qobject_cast<const QLabel*>(p)->text();
  }

  std::vector<std::string> ErrorCodes() const {
    std::vector<std::string> codes;
    for (const auto& error : m_prompt.m_errors) codes.push_back(error.strCode);
    return codes;
  }

  std::string DataFolder() const { return (m_root / "data").string() + "/"; }

  CTestSandbox m_sandbox{"mireth-options"};
  std::filesystem::path m_root = m_sandbox.Root();
  CScriptedPromptService m_prompt;
  std::unique_ptr<CVirtualPhone> m_pPhone;
};

TEST_F(OptionsPageTest, FirstRunOpensHereAndChoosingThePortConnectsAndWritesInOrder) {
  StartPhone();
  WriteSettings({});
  auto pDlg = OpenWindow();
  COptionsPage& page = pDlg->GetOptionsPage();
  ASSERT_EQ(pDlg->GetActivePage(), &page);
  EXPECT_EQ(pDlg->GetErrorCode(), -989);  // a port is available but none is stored
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText,
            "Before sending SMS messages, you must select your infrared application support\r\n"
            "COM port from the available COM ports, and enter a valid Service Center Address.");
  EXPECT_EQ(m_prompt.m_boxes[0].strCaption, "SMS Message");

  // The port offered with its device, nothing chosen, and the first run's defaults.
  QComboBox* pPorts = Control<QComboBox>(page, O::IDC_COM_PORT);
  EXPECT_EQ(Items(pPorts), QStringList{"COM3"});
  EXPECT_EQ(pPorts->itemData(0, CComPortDelegate::kDeviceRole).toString().toStdString(),
            m_pPhone->GetSlavePath());
  EXPECT_EQ(pPorts->currentIndex(), -1);
  EXPECT_EQ(Text(page, O::IDC_BAUD_RATE), "57600");
  EXPECT_EQ(Text(page, O::IDC_TIME_OUT), "10");
  EXPECT_EQ(Text(page, O::IDC_VALIDITY), "1 Hour");  // as Compose starts
  EXPECT_EQ(Text(page, O::IDC_MODEL), "Not available");
  EXPECT_FALSE(Control(page, O::IDC_SIM)->isEnabled());
  EXPECT_FALSE(Control(page, O::IDC_DELETE_ALL)->isEnabled());

  Choose(pPorts, 0);
  ASSERT_TRUE(pDlg->IsPhoneReady());
  EXPECT_EQ(pDlg->GetErrorCode(), 1);
  EXPECT_EQ(pDlg->GetComPort(), 2);
  EXPECT_EQ(Text(page, O::IDC_MODEL), "VP-1");
  EXPECT_EQ(Text(page, O::IDC_VERSION), "V1.0 2024-05-02");
  EXPECT_EQ(Text(page, O::IDC_MANUFACTURER), "Kelvane");
  EXPECT_TRUE(Control<QRadioButton>(page, O::IDC_SIM)->isChecked());
  EXPECT_TRUE(Control(page, O::IDC_DELETE_ALL)->isEnabled());

  // A validity goes to the Compose page at once; leaving writes every value, in order.
  Choose(Control<QComboBox>(page, O::IDC_VALIDITY), 2);
  EXPECT_EQ(pDlg->GetComposePage().m_nDefaultLifetime, 2);
  CRegKey key;
  EXPECT_FALSE(key.Open(kOptionsKey));
  ASSERT_TRUE(pDlg->SetActivePage(&pDlg->GetComposePage()));
  ASSERT_TRUE(key.Open(kOptionsKey));
  EXPECT_EQ(key.GetValueNames(), (std::vector<std::string>{"Message Validity", "Baud Rate", "Service Center",
                                                           "COM Port", "Storage", "Time Out", "Delete From Phone"}));
  EXPECT_EQ(OptionNumber("Message Validity"), 2u);
  EXPECT_EQ(OptionNumber("Baud Rate"), 57600u);
  EXPECT_EQ(OptionText("COM Port"), "COM3");
  EXPECT_EQ(OptionNumber("Storage"), 1038u);
  EXPECT_EQ(OptionNumber("Time Out"), 10000u);
  EXPECT_EQ(OptionNumber("Delete From Phone"), 0u);  // the window's flag, off
  EXPECT_TRUE(m_prompt.m_errors.empty());
}

TEST_F(OptionsPageTest, StoredSettingsAreShownAndWrittenBackOnClose) {
  StartPhone();
  WriteSettings({kComPort, "\"Baud Rate\"=dword:00002580", "\"Message Validity\"=dword:00000009",
                 "\"Storage\"=dword:00000005", "\"Time Out\"=dword:00007530",
                 "\"Delete From Phone\"=dword:00000000", "\"Service Center\"=\"+447958879879\""});
  auto pDlg = OpenWindow();
  ASSERT_TRUE(pDlg->IsPhoneReady());
  COptionsPage& page = ShowOptions(*pDlg);
  EXPECT_TRUE(m_prompt.m_boxes.empty());  // a port is chosen: no reminder
  EXPECT_EQ(Text(page, O::IDC_COM_PORT), "COM3");
  EXPECT_EQ(Text(page, O::IDC_VALIDITY), "None");  // 9 reads as 0
  EXPECT_EQ(Text(page, O::IDC_TIME_OUT), "30");
  EXPECT_FALSE(Control<QCheckBox>(page, O::IDC_DELETE_FROM_PHONE)->isChecked());
  EXPECT_TRUE(Control<QRadioButton>(page, O::IDC_SIM)->isChecked());  // 5 reads as SIM
  EXPECT_EQ(pDlg->GetComposePage().m_nStorageButton, 1038);
  // The remembered service centre, new to the history, is listed and shown.
  EXPECT_EQ(Items(Control<QComboBox>(page, O::IDC_SERVICE_CENTER)), QStringList{"+447958879879"});
  EXPECT_EQ(Text(page, O::IDC_SERVICE_CENTER), "+447958879879");

  // A time-out goes to the window at once but is not written when the page is left.
  Choose(Control<QComboBox>(page, O::IDC_TIME_OUT), 4);
  EXPECT_EQ(pDlg->GetTimeOut(), 5000);
  ASSERT_TRUE(pDlg->SetActivePage(&pDlg->GetComposePage()));
  EXPECT_EQ(OptionNumber("Time Out"), 30000u);

  ShowOptions(*pDlg);
  Click(Control(page, O::IDC_MOBILE_PHONE));
  EXPECT_TRUE(m_pPhone->WaitForLog(
      [](const std::vector<std::string>& log) {
        return std::any_of(log.begin(), log.end(),
                           [](const std::string& s) { return s.rfind("CMD AT+CPMS=\"ME\"", 0) == 0; });
      },
      5000));
  const unsigned long nWrites = GetRegistryWriteCount();
  pDlg->accept();
  EXPECT_EQ(GetRegistryWriteCount(), nWrites + 1);  // every page's settings in one write
  EXPECT_EQ(OptionNumber("Message Validity"), 0u);
  EXPECT_EQ(OptionNumber("Baud Rate"), 9600u);
  EXPECT_EQ(OptionText("Service Center"), "+447958879879");
  EXPECT_EQ(OptionNumber("Storage"), 1037u);
  EXPECT_EQ(OptionNumber("Time Out"), 5000u);
  EXPECT_EQ(OptionNumber("Delete From Phone"), 0u);
  CAddressArray history;
  ASSERT_EQ(LoadServiceCenters(DataFolder(), history), LoadResult::loaded);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0]->m_strNumber, "+447958879879");
}

TEST_F(OptionsPageTest, StoredValuesWithoutAnItemOfTheirOwnAndRefreshWithoutAPort) {
  // No phone: no port opens, so the window opens here.
  struct SCase {
    const char *pszBaud, *pszTimeOut, *pszBaudShown;
    uint32_t nBaudWritten, nTimeOutWritten;
  };
  const SCase cases[] = {
      // 1 selects the first rate that begins with "1"; half a second selects no item
      // and is kept.
      {"\"Baud Rate\"=dword:00000001", "\"Time Out\"=dword:000001f4", "1200", 1200, 500},
      // 14400 selects nothing, and 9600 is written; 61 seconds is past the last item.
      {"\"Baud Rate\"=dword:00003840", "\"Time Out\"=dword:0000ee48", "", 9600, 61000},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.pszBaud);
    WriteSettings({kComPort, c.pszBaud, c.pszTimeOut});
    auto pDlg = OpenWindow();
    COptionsPage& page = pDlg->GetOptionsPage();
    ASSERT_EQ(pDlg->GetActivePage(), &page);
    EXPECT_EQ(pDlg->GetErrorCode(), -994);
    EXPECT_EQ(Text(page, O::IDC_BAUD_RATE).toStdString(), c.pszBaudShown);
    EXPECT_EQ(Control<QComboBox>(page, O::IDC_TIME_OUT)->currentIndex(), -1);

    m_prompt.m_boxes.clear();
    const int nWaitBegun = m_prompt.m_nWaitBegun;
    Click(Control(page, O::IDC_REFRESH));
    ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
    EXPECT_EQ(m_prompt.m_boxes[0].strText,
              "You need to select a valid COM port before you can refresh the phone information.");
    EXPECT_EQ(m_prompt.m_nWaitBegun, nWaitBegun);

    pDlg->accept();
    EXPECT_EQ(OptionNumber("Baud Rate"), c.nBaudWritten);
    EXPECT_EQ(OptionNumber("Time Out"), c.nTimeOutWritten);
  }
}

TEST_F(OptionsPageTest, PortListIsSortedAsTextAndNamesEndAtTabs) {
  EXPECT_EQ(O::SplitPortList("COM1\tCOM3\tCOM2"), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(O::SplitPortList(" COM1 \t\t  COM12\t"), (std::vector<std::string>{"COM1", "COM12"}));
  EXPECT_EQ(O::GetPortIndex("COM35"), 34);
  EXPECT_EQ(O::GetPortIndex("com3"), 0);
  EXPECT_EQ(O::GetPortIndex("COM36"), 0);

  CSMSTabbedDlg::SetPortProber([](const std::string& s) { return s == "COM1" || s == "COM2" || s == "COM3" || s == "COM10"; });
  WriteSettings({"\"COM Port\"=\"com1\""});
  auto pDlg = OpenWindow();
  COptionsPage& page = ShowOptions(*pDlg);
  EXPECT_EQ(Items(Control<QComboBox>(page, O::IDC_COM_PORT)), (QStringList{"COM1", "COM10", "COM2", "COM3"}));
  EXPECT_EQ(Text(page, O::IDC_COM_PORT), "COM1");  // the first that begins with it, case aside
}

TEST_F(OptionsPageTest, BaudRateTheLineRefusesOrASilentPhoneIsReportedAndKeptByTheWindow) {
  StartPhone();
  WriteSettings({kComPort, "\"Baud Rate\"=dword:00002580", "\"Time Out\"=dword:000003e8"});
  auto pDlg = OpenWindow();
  ASSERT_TRUE(pDlg->IsPhoneReady());
  QComboBox* pRates = Control<QComboBox>(ShowOptions(*pDlg), O::IDC_BAUD_RATE);

  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults.push_back({"AT+IPR=", "ERROR", 1});
  m_pPhone->SetFaults(faults);
  Choose(pRates, 5);  // 19200
  EXPECT_EQ(ErrorCodes(), std::vector<std::string>{"Error Code: -993"});
  EXPECT_EQ(m_prompt.m_errors.at(0).strFirst.rfind("The baud rate cannot be changed.", 0), 0u);
  EXPECT_EQ(pDlg->GetBaudRate(), 19200);
  Choose(pRates, 6);  // 38400, taken
  EXPECT_EQ(ErrorCodes().size(), 1u);
  ASSERT_TRUE(pDlg->SetActivePage(&pDlg->GetComposePage()));
  EXPECT_EQ(OptionNumber("Baud Rate"), 9600u);  // a rate alone is not written on leaving

  faults = CVirtualPhoneFaults();
  faults.m_nSilentAfter = 0;
  m_pPhone->SetFaults(faults);
  Choose(Control<QComboBox>(ShowOptions(*pDlg), O::IDC_BAUD_RATE), 8);  // 115200
  EXPECT_EQ(ErrorCodes(), (std::vector<std::string>{"Error Code: -993", "Error Code: -998"}));
  pDlg->accept();
  EXPECT_EQ(OptionNumber("Baud Rate"), 115200u);
}

TEST_F(OptionsPageTest, ConnectingToASilentPortShowsNothingUntilComposeNeedsThePhone) {
  StartPhone();
  CVirtualPhoneFaults faults;
  faults.m_nSilentAfter = 0;
  m_pPhone->SetFaults(faults);
  WriteSettings({});
  auto pDlg = OpenWindow();
  COptionsPage& page = pDlg->GetOptionsPage();
  Choose(Control<QComboBox>(page, O::IDC_TIME_OUT), 0);  // 1 second
  EXPECT_EQ(pDlg->GetTimeOut(), 1000);
  Choose(Control<QComboBox>(page, O::IDC_COM_PORT), 0);
  EXPECT_FALSE(pDlg->IsPhoneReady());
  EXPECT_EQ(pDlg->GetErrorCode(), -999);
  EXPECT_TRUE(m_prompt.m_errors.empty());
  for (int nId : {O::IDC_MODEL, O::IDC_VERSION, O::IDC_MANUFACTURER}) EXPECT_EQ(Text(page, nId), "Not available");
  for (int nId : {O::IDC_MOBILE_PHONE, O::IDC_SIM})
    EXPECT_FALSE(Control<QRadioButton>(page, nId)->isEnabled() || Control<QRadioButton>(page, nId)->isChecked());

  ASSERT_TRUE(pDlg->SetActivePage(&pDlg->GetComposePage()));
  EXPECT_EQ(ErrorCodes(), std::vector<std::string>{"Error Code: -999"});
  EXPECT_EQ(OptionText("COM Port"), "COM3");
}

TEST_F(OptionsPageTest, DeleteAllAsksFirstAndEmptiesThePhone) {
  StartPhone({std::string("SM 1 ") + kDeliverPdu, std::string("ME 0 ") + kDeliverPdu});
  WriteSettings({kComPort});
  auto pDlg = OpenWindow();
  ASSERT_TRUE(pDlg->IsPhoneReady());
  QWidget* pDeleteAll = Control(ShowOptions(*pDlg), O::IDC_DELETE_ALL);
  m_prompt.m_boxes.clear();

  Click(pDeleteAll);  // No, the default answer
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText,
            "Are you sure you want to delete all messages on the phone?\r\n"
            "You will not be able to Undo this action.");
  EXPECT_EQ(m_prompt.m_boxes[0].nType & (0xF | MB_DEFBUTTON2), static_cast<unsigned int>(MB_YESNO | MB_DEFBUTTON2));
  EXPECT_EQ(m_pPhone->GetMessages("SM").size() + m_pPhone->GetMessages("ME").size(), 2u);

  m_prompt.QueueAnswer(IDYES);
  Click(pDeleteAll);
  EXPECT_TRUE(m_pPhone->GetMessages("SM").empty());
  EXPECT_TRUE(m_pPhone->GetMessages("ME").empty());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
}

TEST_F(OptionsPageTest, ServiceCenterHistoryGrowsOnceAndIsSavedOnCancel) {
  StartPhone();
  WriteSettings({kComPort}, /*bExportToCsv=*/true);
  auto pDlg = OpenWindow();
  COptionsPage& page = ShowOptions(*pDlg);
  QComboBox* pCenters = Control<QComboBox>(page, O::IDC_SERVICE_CENTER);
  auto typeAndLeave = [&](const QString& strText) {
    pCenters->setFocus();
    pCenters->lineEdit()->clear();
    QTest::keyClicks(pCenters->lineEdit(), strText);
    Control(page, O::IDC_VALIDITY)->setFocus();
  };
  typeAndLeave("+441234");
  EXPECT_EQ(pDlg->GetComposePage().m_strServiceCenter, "+441234");
  typeAndLeave("+441234");
  typeAndLeave("");
  EXPECT_EQ(pDlg->GetComposePage().m_strServiceCenter, "");
  typeAndLeave("+449876");
  EXPECT_TRUE(Items(pCenters).isEmpty());  // listed once saved and loaded again

  pDlg->reject();
  CAddressArray history;
  ASSERT_EQ(LoadServiceCenters(DataFolder(), history), LoadResult::loaded);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0]->m_strNumber, "+441234");
  EXPECT_EQ(history[1]->m_strNumber, "+449876");
  std::ostringstream csv;
  csv << std::ifstream(DataFolder() + "SMSSCA.csv", std::ios::binary).rdbuf();
  EXPECT_EQ(csv.str(), "Service Center\r\n+441234\r\n+449876\r\n");
  EXPECT_FALSE(OptionText("Service Center").has_value());  // Cancel writes no settings

  pDlg.reset();
  pDlg = OpenWindow();
  EXPECT_EQ(Items(Control<QComboBox>(ShowOptions(*pDlg), O::IDC_SERVICE_CENTER)),
            (QStringList{"+441234", "+449876"}));
}

namespace {

bool LogHas(const std::vector<std::string>& log, const std::string& strPrefix) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& s) { return s.rfind(strPrefix, 0) == 0; });
}

// One notch of the mouse wheel over the middle of a widget.
void WheelOver(QWidget* pWidget, int nDelta) {
  const QPointF at(pWidget->width() / 2.0, pWidget->height() / 2.0);
  QWheelEvent wheel(at, pWidget->mapToGlobal(at), QPoint(), QPoint(0, nDelta), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(pWidget, &wheel);
}

}  // namespace

TEST_F(OptionsPageTest, FirstRunChoicesThenLeavingBeforeComposeWasEverShown) {
  // No port stored: the window opens here, with the Compose page never built. Each
  // choice that marks the page changed, then each way of leaving it.
  StartPhone();
  struct SCase {
    const char* pszName;
    std::function<void(COptionsPage&)> choose;
    int nLeaveTo;  // tab index, or -1 for Close
  };
  const SCase cases[] = {
      {"lifetime, then the Inbox tab", [](COptionsPage& p) { Choose(FindControl<QComboBox>(&p, O::IDC_VALIDITY), 3); }, 1},
      {"lifetime, then Close", [](COptionsPage& p) { Choose(FindControl<QComboBox>(&p, O::IDC_VALIDITY), 3); }, -1},
      {"delete box, then Close", [](COptionsPage& p) { Click(FindControl(&p, O::IDC_DELETE_FROM_PHONE)); }, -1},
      {"delete box, then the Compose tab", [](COptionsPage& p) { Click(FindControl(&p, O::IDC_DELETE_FROM_PHONE)); }, 0},
      {"service centre, then the Outbox tab", [](COptionsPage& p) { Choose(FindControl<QComboBox>(&p, O::IDC_SERVICE_CENTER), 0); }, 2},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    std::filesystem::remove(m_root / "settings.reg");
    WriteSettings({});
    CAddressArray history;
    history.push_back(std::make_unique<CAddress>());
    history.back()->m_strNumber = "+447700900100";
    ASSERT_TRUE(SaveServiceCenters(DataFolder(), history));
    auto pDlg = OpenWindow();
    COptionsPage& page = pDlg->GetOptionsPage();
    ASSERT_EQ(pDlg->GetActivePage(), &page);
    ASSERT_FALSE(pDlg->GetComposePage().IsWindowCreated());
    c.choose(page);
    if (c.nLeaveTo < 0) {
      QTest::mouseClick(pDlg->GetButton(CSMSTabbedDlg::ID_OK), Qt::LeftButton);
      EXPECT_FALSE(pDlg->isVisible());
    } else {
      pDlg->GetTabControl()->setCurrentIndex(c.nLeaveTo);
      EXPECT_EQ(pDlg->GetActiveIndex(), c.nLeaveTo);
    }
    // The settings were written, and Compose, shown later, starts from them.
    EXPECT_TRUE(OptionNumber("Message Validity").has_value());
    if (c.nLeaveTo == 0) {
      EXPECT_EQ(FindControl<QComboBox>(&pDlg->GetComposePage(), CComposePage::IDC_LIFETIME)->currentText(), "1 Hour");
    }
  }
}

TEST_F(OptionsPageTest, TheWheelOverAListWithoutTheFocusChoosesNothing) {
  StartPhone();
  WriteSettings({kComPort, "\"Baud Rate\"=dword:00002580"});
  auto pDlg = OpenWindow();
  ASSERT_TRUE(pDlg->IsPhoneReady());
  COptionsPage& page = ShowOptions(*pDlg);
  for (int nId : {O::IDC_BAUD_RATE, O::IDC_COM_PORT, O::IDC_TIME_OUT, O::IDC_VALIDITY}) {
    SCOPED_TRACE(nId);
    QComboBox* pList = Control<QComboBox>(page, nId);
    Control(page, O::IDC_REFRESH)->setFocus();
    const int nBefore = pList->currentIndex();
    WheelOver(pList, -120);
    WheelOver(pList, 120);
    WheelOver(pList, 120);
    EXPECT_EQ(pList->currentIndex(), nBefore);
    EXPECT_FALSE(pList->hasFocus());
  }
  EXPECT_EQ(pDlg->GetBaudRate(), 9600);
  EXPECT_TRUE(pDlg->IsPhoneReady());
  EXPECT_FALSE(LogHas(m_pPhone->GetLog(), "CMD AT+IPR"));

  // Once the user has put the focus on it, the wheel is a deliberate choice.
  QComboBox* pRates = Control<QComboBox>(page, O::IDC_BAUD_RATE);
  pRates->setFocus();
  WheelOver(pRates, -120);
  EXPECT_EQ(pRates->currentText(), "19200");
  EXPECT_TRUE(m_pPhone->WaitForLog([](const auto& log) { return LogHas(log, "CMD AT+IPR=19200"); }, 5000));
}

TEST_F(OptionsPageTest, AnOpenListShowsAScrolledHandfulOfItems) {
  WriteSettings({kComPort});
  auto pDlg = OpenWindow();
  COptionsPage& page = ShowOptions(*pDlg);
  for (int nId : {O::IDC_TIME_OUT, O::IDC_BAUD_RATE}) {
    SCOPED_TRACE(nId);
    QComboBox* pList = Control<QComboBox>(page, nId);
    pList->showPopup();
    QWidget* pPopup = pList->view()->window();
    ASSERT_TRUE(pPopup->isVisible());
    const int nRow = pList->view()->sizeHintForRow(0);
    ASSERT_GT(nRow, 0);
    EXPECT_LE(pPopup->height(), 15 * nRow + 2 * pList->view()->frameWidth() + 16);
    EXPECT_LE(pList->view()->height() / nRow, 15);
    pList->hidePopup();
  }
  // Sixty time-outs scroll; the nine baud rates fit.
  EXPECT_GT(Control<QComboBox>(page, O::IDC_TIME_OUT)->count(), kMaxVisibleChoices);
}

TEST_F(OptionsPageTest, WithoutStoredValuesTheLifetimeAndDeleteChoiceAreTheOnesTheWindowUses) {
  StartPhone();
  // The key exists but holds neither value; then no key at all.
  for (bool bKey : {true, false}) {
    SCOPED_TRACE(bKey ? "key without the values" : "no key");
    std::filesystem::remove(m_root / "settings.reg");
    if (bKey)
      WriteSettings({kComPort});
    else
      WriteSettings({});
    auto pDlg = OpenWindow();
    COptionsPage& page = ShowOptions(*pDlg);
    EXPECT_EQ(Text(page, O::IDC_VALIDITY), "1 Hour");
    EXPECT_EQ(pDlg->GetComposePage().m_nDefaultLifetime, 1);
    EXPECT_FALSE(Control<QCheckBox>(page, O::IDC_DELETE_FROM_PHONE)->isChecked());
    EXPECT_FALSE(pDlg->IsDeleteFromPhone());
    if (bKey) {
      ASSERT_TRUE(pDlg->SetActivePage(&pDlg->GetComposePage()));
      EXPECT_EQ(FindControl<QComboBox>(&pDlg->GetComposePage(), CComposePage::IDC_LIFETIME)->currentText(),
                "1 Hour");
      page.m_pSheet->SetActivePage(&page);
    }
    Click(Control(page, O::IDC_DELETE_FROM_PHONE));
    EXPECT_TRUE(pDlg->IsDeleteFromPhone());
    pDlg->accept();
    EXPECT_EQ(OptionNumber("Message Validity"), 1u);
    EXPECT_EQ(OptionNumber("Delete From Phone"), 1u);
  }
}

TEST_F(OptionsPageTest, ATypedServiceCenterJoinsTheHistoryOnceThroughRefresh) {
  StartPhone();
  WriteSettings({kComPort});
  auto pDlg = OpenWindow();
  COptionsPage& page = ShowOptions(*pDlg);
  QComboBox* pCenters = Control<QComboBox>(page, O::IDC_SERVICE_CENTER);
  pCenters->setFocus();
  QTest::keyClicks(pCenters->lineEdit(), "+447700900555");
  Control(page, O::IDC_VALIDITY)->setFocus();
  Click(Control(page, O::IDC_REFRESH));
  Click(Control(page, O::IDC_REFRESH));
  EXPECT_EQ(Items(pCenters), QStringList{"+447700900555"});
  pDlg->reject();
  CAddressArray history;
  ASSERT_EQ(LoadServiceCenters(DataFolder(), history), LoadResult::loaded);
  ASSERT_EQ(history.size(), 1u);
  EXPECT_EQ(history[0]->m_strNumber, "+447700900555");
}

TEST_F(OptionsPageTest, ABaudRateSentThenCancelledGoesBackToTheStoredRate) {
  StartPhone();
  struct SCase {
    std::vector<std::string> lines;
    int nStored;
  };
  const SCase cases[] = {{{kComPort, "\"Baud Rate\"=dword:00004b00"}, 19200}, {{kComPort}, 9600}};
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.nStored);
    WriteSettings(c.lines);
    auto pDlg = OpenWindow();
    ASSERT_TRUE(pDlg->IsPhoneReady());
    COptionsPage& page = ShowOptions(*pDlg);
    Choose(Control<QComboBox>(page, O::IDC_BAUD_RATE), 8);  // 115200
    ASSERT_TRUE(m_pPhone->WaitForLog([](const auto& log) { return LogHas(log, "CMD AT+IPR=115200"); }, 5000));
    pDlg->reject();
    const std::string strBack = "CMD AT+IPR=" + std::to_string(c.nStored);
    // The last rate the phone was told is the stored one.
    EXPECT_TRUE(m_pPhone->WaitForLog(
        [&](const auto& log) {
          const auto it = std::find_if(log.rbegin(), log.rend(),
                                       [](const std::string& s) { return s.rfind("CMD AT+IPR=", 0) == 0; });
          return it != log.rend() && *it == strBack;
        },
        5000));
    EXPECT_EQ(pDlg->GetBaudRate(), c.nStored);
    EXPECT_EQ(OptionNumber("Baud Rate"), c.nStored == 9600 ? std::nullopt : std::optional<uint32_t>(19200));
  }
}
