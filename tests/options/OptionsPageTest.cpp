// The Options page in its window, on a virtual phone: the first run, the stored
// settings and the order they are written in, the connection and its failures, the
// phone's information, the service-centre history and deleting everything on the
// phone. Each test has its own settings file, data folder and phone.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QPushButton>
#include <QTabWidget>
#include <QWheelEvent>
#include <functional>

#include "model/StoreLists.h"
#include "shell/ChoiceLists.h"
#include "tests/shell/WindowTestSupport.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

using O = COptionsPage;
const char kComPort[] = "\"COM Port\"=\"COM3\"";
// A received message in the phone's messages-file form ("How are you?").
const char kDeliverPdu[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

}  // namespace

class OptionsPageTest : public CWindowTest {
 protected:
  // Starts the phone (holding these messages-file lines), writes the settings (COM3,
  // then these lines) and opens the window, kept in m_pDlg, on its Options page.
  COptionsPage& OpenOptions(std::vector<std::string> optionsLines = {},
                            const std::vector<std::string>& messageLines = {}) {
    StartPhone(messageLines);
    optionsLines.insert(optionsLines.begin(), kComPort);
    WriteSettings(optionsLines);
    m_pDlg = OpenWindow();
    return ShowOptions(*m_pDlg);
  }
  // A first run: no Options key, so the window opens on this page.
  COptionsPage& OpenFirstRun() {
    WriteSettings({});
    m_pDlg = OpenWindow();
    EXPECT_EQ(m_pDlg->GetActivePage(), &m_pDlg->GetOptionsPage());
    return m_pDlg->GetOptionsPage();
  }
  static COptionsPage& ShowOptions(CSMSTabbedDlg& dlg) { return ShowPage(dlg, dlg.GetOptionsPage()); }
  static QString Text(COptionsPage& page, int nId) {
    const QWidget* p = RequireControl(&page, nId, "field");
    if (const auto* pList = qobject_cast<const QComboBox*>(p))
      return pList->currentText();
    return qobject_cast<const QLabel*>(p)->text();
  }
  // The texts of these fields, joined by '|'.
  static std::string Texts(COptionsPage& page, std::initializer_list<int> ids) {
    QStringList texts;
    for (const int nId : ids)
      texts << Text(page, nId);
    return texts.join('|').toStdString();
  }
  // The Options key's values in the order they were written, as "name=value" (texts
  // in quotes).
  static std::vector<std::string> StoredOptions() {
    CRegKey key;
    std::vector<std::string> values;
    if (!key.Open(kOptionsKey))
      return values;
    for (const std::string& strName : key.GetValueNames()) {
      uint32_t n = 0;
      std::string str;
      if (key.QueryNumber(strName, n))
        values.push_back(strName + "=" + std::to_string(n));
      else if (key.QueryText(strName, str))
        values.push_back(strName + "=\"" + str + "\"");
    }
    return values;
  }
  // The service-centre history as the data folder holds it.
  std::vector<std::string> History() const {
    return Saved(LoadServiceCenters, [](const CAddress& a) { return a.GetNumber(); });
  }
  std::vector<std::string> ErrorCodes() const {
    std::vector<std::string> codes;
    for (const auto& error : m_prompt.m_errors)
      codes.push_back(error.strCode);
    return codes;
  }

  std::unique_ptr<CSMSTabbedDlg> m_pDlg;
};

TEST_F(OptionsPageTest, FirstRunOpensHereAndChoosingThePortConnectsAndWritesInOrder) {
  StartPhone();
  COptionsPage& page = OpenFirstRun();
  EXPECT_EQ(m_pDlg->GetErrorCode(), -989);  // a port is available but none is stored
  EXPECT_EQ(m_prompt.BoxTexts(),
            std::vector<std::string>{
                "Before sending SMS messages, you must select your infrared application support\r\n"
                "COM port from the available COM ports, and enter a valid Service Center Address."});

  // The port offered with its device, nothing chosen, and the first run's defaults
  // (the lifetime as Compose starts).
  QComboBox* pPorts = PAGE_CONTROL(QComboBox, page, O::IDC_COM_PORT);
  EXPECT_EQ(Items(pPorts), QStringList{"COM3"});
  EXPECT_EQ(pPorts->currentIndex(), -1);
  EXPECT_EQ(Texts(page, {O::IDC_BAUD_RATE, O::IDC_TIME_OUT, O::IDC_VALIDITY, O::IDC_MODEL}),
            "57600|10|1 Hour|Not available");
  EXPECT_FALSE(PAGE_CONTROL(QWidget, page, O::IDC_DELETE_ALL)->isEnabled());

  Choose(pPorts, 0);
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  EXPECT_EQ(m_pDlg->GetErrorCode(), 1);
  EXPECT_EQ(Texts(page, {O::IDC_MODEL, O::IDC_VERSION, O::IDC_MANUFACTURER}), "VP-1|V1.0 2024-05-02|Kelvane");
  EXPECT_TRUE(PAGE_CONTROL(QRadioButton, page, O::IDC_SIM)->isChecked());
  EXPECT_TRUE(PAGE_CONTROL(QWidget, page, O::IDC_DELETE_ALL)->isEnabled());

  // A validity goes to the Compose page at once, the delete box to the window;
  // leaving writes every value, in order.
  Choose(PAGE_CONTROL(QComboBox, page, O::IDC_VALIDITY), 2);
  EXPECT_EQ(m_pDlg->GetComposePage().m_nDefaultLifetime, 2);
  EXPECT_FALSE(m_pDlg->IsDeleteFromPhone());
  Click(PAGE_CONTROL(QWidget, page, O::IDC_DELETE_FROM_PHONE));
  EXPECT_TRUE(m_pDlg->IsDeleteFromPhone());
  EXPECT_TRUE(StoredOptions().empty());
  ASSERT_TRUE(m_pDlg->SetActivePage(&m_pDlg->GetComposePage()));
  EXPECT_EQ(StoredOptions(),
            (std::vector<std::string>{"Message Validity=2", "Baud Rate=57600", "Service Center=\"\"",
                                      "COM Port=\"COM3\"", "Storage=1038", "Time Out=10000",
                                      "Delete From Phone=1"}));
  EXPECT_TRUE(m_prompt.m_errors.empty());
}

TEST_F(OptionsPageTest, StoredSettingsAreShownAndWrittenBackOnClose) {
  COptionsPage& page =
      OpenOptions({"\"Baud Rate\"=dword:00002580", "\"Message Validity\"=dword:00000009",
                   "\"Storage\"=dword:00000005", "\"Time Out\"=dword:00007530",
                   "\"Delete From Phone\"=dword:00000000", "\"Service Center\"=\"+447958879879\""});
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  EXPECT_TRUE(m_prompt.m_boxes.empty());  // a port is chosen: no reminder
  // A validity of 9 reads as 0; the remembered service centre, new to the history,
  // is listed and shown.
  EXPECT_EQ(Texts(page, {O::IDC_COM_PORT, O::IDC_VALIDITY, O::IDC_TIME_OUT, O::IDC_SERVICE_CENTER}),
            "COM3|None|30|+447958879879");
  EXPECT_EQ(Items(PAGE_CONTROL(QComboBox, page, O::IDC_SERVICE_CENTER)), QStringList{"+447958879879"});
  EXPECT_FALSE(PAGE_CONTROL(QCheckBox, page, O::IDC_DELETE_FROM_PHONE)->isChecked());
  EXPECT_TRUE(PAGE_CONTROL(QRadioButton, page, O::IDC_SIM)->isChecked());  // 5 reads as SIM
  EXPECT_EQ(m_pDlg->GetComposePage().m_nStorageButton, 1038);

  // A time-out goes to the window at once but is not written when the page is left.
  Choose(PAGE_CONTROL(QComboBox, page, O::IDC_TIME_OUT), 4);
  EXPECT_EQ(m_pDlg->GetTimeOut(), 5000);
  ASSERT_TRUE(m_pDlg->SetActivePage(&m_pDlg->GetComposePage()));
  EXPECT_EQ(OptionNumber("Time Out"), 30000u);

  ShowOptions(*m_pDlg);
  Click(PAGE_CONTROL(QWidget, page, O::IDC_MOBILE_PHONE));
  EXPECT_TRUE(WaitForLogged("CMD AT+CPMS=\"ME\""));
  m_pDlg->accept();
  EXPECT_EQ(
      StoredOptions(),
      (std::vector<std::string>{"COM Port=\"COM3\"", "Baud Rate=9600", "Message Validity=0", "Storage=1037",
                                "Time Out=5000", "Delete From Phone=0", "Service Center=\"+447958879879\""}));
  EXPECT_EQ(History(), std::vector<std::string>{"+447958879879"});
}

TEST_F(OptionsPageTest, StoredValuesWithoutAnItemOfTheirOwnAndRefreshWithoutAPort) {
  // No phone: no port opens, so the window opens here.
  struct SCase {
    const char *pszBaud, *pszTimeOut, *pszValidity, *pszShown;
    uint32_t nBaudWritten, nTimeOutWritten;
  };
  const SCase cases[] = {
      // 1 selects the first rate that begins with "1"; half a second selects no item
      // and is kept; the highest lifetime is read as it is.
      {"\"Baud Rate\"=dword:00000001", "\"Time Out\"=dword:000001f4", "\"Message Validity\"=dword:00000008",
       "1200|1 Week|", 1200, 500},
      // 14400 selects nothing, and 9600 is written; 61 seconds is past the last item.
      {"\"Baud Rate\"=dword:00003840", "\"Time Out\"=dword:0000ee48", "\"Message Validity\"=dword:00000003",
       "|3 Hours|", 9600, 61000},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.pszBaud);
    WriteSettings({kComPort, c.pszBaud, c.pszTimeOut, c.pszValidity});
    auto pDlg = OpenWindow();
    COptionsPage& page = pDlg->GetOptionsPage();
    ASSERT_EQ(pDlg->GetActivePage(), &page);
    EXPECT_EQ(pDlg->GetErrorCode(), -994);
    EXPECT_EQ(Texts(page, {O::IDC_BAUD_RATE, O::IDC_VALIDITY, O::IDC_TIME_OUT}), c.pszShown);

    m_prompt.m_boxes.clear();
    Click(PAGE_CONTROL(QWidget, page, O::IDC_REFRESH));
    EXPECT_EQ(m_prompt.BoxTexts(),
              std::vector<std::string>{
                  "You need to select a valid COM port before you can refresh the phone information."});

    pDlg->accept();
    EXPECT_EQ(OptionNumber("Baud Rate"), c.nBaudWritten);
    EXPECT_EQ(OptionNumber("Time Out"), c.nTimeOutWritten);
  }
}

TEST_F(OptionsPageTest, PortListIsSortedAsTextAndNamesEndAtTabs) {
  EXPECT_EQ(O::SplitPortList("COM1\tCOM3\tCOM2"), (std::vector<std::string>{"COM1", "COM3"}));
  EXPECT_EQ(O::SplitPortList(" COM1 \t\t  COM12\t"), (std::vector<std::string>{"COM1", "COM12"}));
  EXPECT_EQ(O::GetPortIndex("COM35"), 34);
  EXPECT_EQ(O::GetPortIndex("COM36"), 0);

  CSMSTabbedDlg::SetPortProber(
      [](const std::string& s) { return s == "COM1" || s == "COM2" || s == "COM3" || s == "COM10"; });
  WriteSettings({"\"COM Port\"=\"com1\""});
  auto pDlg = OpenWindow();
  COptionsPage& page = ShowOptions(*pDlg);
  EXPECT_EQ(Items(PAGE_CONTROL(QComboBox, page, O::IDC_COM_PORT)),
            (QStringList{"COM1", "COM10", "COM2", "COM3"}));
  EXPECT_EQ(Text(page, O::IDC_COM_PORT), "COM1");  // the first that begins with it, case aside
}

TEST_F(OptionsPageTest, BaudRateTheLineRefusesOrASilentPhoneIsReportedAndKeptByTheWindow) {
  QComboBox* pRates =
      PAGE_CONTROL(QComboBox, OpenOptions({"\"Baud Rate\"=dword:00002580", "\"Time Out\"=dword:000003e8"}),
                   O::IDC_BAUD_RATE);
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults.push_back({"AT+IPR=", "ERROR", 1});
  m_pPhone->SetFaults(faults);
  Choose(pRates, 5);  // 19200
  EXPECT_EQ(ErrorCodes(), std::vector<std::string>{"Error Code: -993"});
  EXPECT_EQ(m_prompt.m_errors.at(0).strFirst.rfind("The baud rate cannot be changed.", 0), 0u);
  EXPECT_EQ(m_pDlg->GetBaudRate(), 19200);
  Choose(pRates, 6);  // 38400, taken
  EXPECT_EQ(ErrorCodes().size(), 1u);
  ASSERT_TRUE(m_pDlg->SetActivePage(&m_pDlg->GetComposePage()));
  EXPECT_EQ(OptionNumber("Baud Rate"), 9600u);  // a rate alone is not written on leaving

  faults = CVirtualPhoneFaults();
  faults.m_nSilentAfter = 0;
  m_pPhone->SetFaults(faults);
  Choose(PAGE_CONTROL(QComboBox, ShowOptions(*m_pDlg), O::IDC_BAUD_RATE), 8);  // 115200
  EXPECT_EQ(ErrorCodes(), (std::vector<std::string>{"Error Code: -993", "Error Code: -998"}));
  m_pDlg->accept();
  EXPECT_EQ(OptionNumber("Baud Rate"), 115200u);
}

TEST_F(OptionsPageTest, ConnectingToASilentPortShowsNothingUntilComposeNeedsThePhone) {
  CVirtualPhoneFaults faults;
  faults.m_nSilentAfter = 0;
  StartPhone({}, faults);
  COptionsPage& page = OpenFirstRun();
  Choose(PAGE_CONTROL(QComboBox, page, O::IDC_TIME_OUT), 0);  // 1 second
  EXPECT_EQ(m_pDlg->GetTimeOut(), 1000);
  Choose(PAGE_CONTROL(QComboBox, page, O::IDC_COM_PORT), 0);
  EXPECT_FALSE(m_pDlg->IsPhoneReady());
  EXPECT_EQ(m_pDlg->GetErrorCode(), -999);
  EXPECT_TRUE(m_prompt.m_errors.empty());
  EXPECT_EQ(Texts(page, {O::IDC_MODEL, O::IDC_VERSION, O::IDC_MANUFACTURER}),
            "Not available|Not available|Not available");
  for (int nId : {O::IDC_MOBILE_PHONE, O::IDC_SIM}) {
    const auto* pButton = RequireControl<QRadioButton>(&page, nId, "storage button");
    EXPECT_FALSE(pButton->isEnabled() || pButton->isChecked()) << nId;
  }

  ASSERT_TRUE(m_pDlg->SetActivePage(&m_pDlg->GetComposePage()));
  EXPECT_EQ(ErrorCodes(), std::vector<std::string>{"Error Code: -999"});
  EXPECT_EQ(OptionText("COM Port"), "COM3");
}

TEST_F(OptionsPageTest, DeleteAllAsksFirstAndEmptiesThePhone) {
  QWidget* pDeleteAll = PAGE_CONTROL(
      QWidget, OpenOptions({}, {std::string("SM 1 ") + kDeliverPdu, std::string("ME 0 ") + kDeliverPdu}),
      O::IDC_DELETE_ALL);
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  auto held = [this] { return m_pPhone->GetMessages("SM").size() + m_pPhone->GetMessages("ME").size(); };
  m_prompt.m_boxes.clear();

  Click(pDeleteAll);  // No, the default answer
  EXPECT_EQ(m_prompt.BoxTexts(),
            std::vector<std::string>{"Are you sure you want to delete all messages on the phone?\r\n"
                                     "You will not be able to Undo this action."});
  EXPECT_EQ(m_prompt.m_boxes.at(0).nType & (0xF | MB_DEFBUTTON2),
            static_cast<unsigned int>(MB_YESNO | MB_DEFBUTTON2));
  EXPECT_EQ(held(), 2u);

  m_prompt.QueueAnswer(IDYES);
  Click(pDeleteAll);
  EXPECT_EQ(held(), 0u);
}

TEST_F(OptionsPageTest, ServiceCenterHistoryGrowsOnceAndIsSavedOnCancel) {
  m_bExportToCsv = true;
  COptionsPage& page = OpenOptions();
  EXPECT_EQ(Text(page, O::IDC_VALIDITY), "1 Hour");  // a key without one: the lifetime Compose starts with
  QComboBox* pCenters = PAGE_CONTROL(QComboBox, page, O::IDC_SERVICE_CENTER);
  // Each row: the number typed before the focus leaves, and what Compose then sends
  // through.
  const std::pair<QString, std::string> typed[] = {
      {"+441234", "+441234"}, {"+441234", "+441234"}, {"", ""}, {"+449876", "+449876"}};
  for (const auto& [strText, strCompose] : typed) {
    pCenters->setFocus();
    pCenters->lineEdit()->clear();
    QTest::keyClicks(pCenters->lineEdit(), strText);
    PAGE_CONTROL(QWidget, page, O::IDC_VALIDITY)->setFocus();
    EXPECT_EQ(m_pDlg->GetComposePage().m_strServiceCenter, strCompose) << strText.toStdString();
  }
  EXPECT_TRUE(Items(pCenters).isEmpty());  // listed once saved and loaded again
  // A refresh offers the last one typed, once however often it runs.
  Click(PAGE_CONTROL(QWidget, page, O::IDC_REFRESH));
  Click(PAGE_CONTROL(QWidget, page, O::IDC_REFRESH));
  EXPECT_EQ(Items(pCenters), QStringList{"+449876"});

  m_pDlg->reject();
  EXPECT_EQ(History(), (std::vector<std::string>{"+441234", "+449876"}));
  EXPECT_EQ(CTestSandbox::ReadFile(DataFile("SMSSCA.csv")), "Service Center\r\n+441234\r\n+449876\r\n");
  EXPECT_FALSE(OptionText("Service Center").has_value());  // Cancel writes no settings

  m_pDlg.reset();
  m_pDlg = OpenWindow();
  EXPECT_EQ(Items(PAGE_CONTROL(QComboBox, ShowOptions(*m_pDlg), O::IDC_SERVICE_CENTER)),
            (QStringList{"+441234", "+449876"}));
}

namespace {

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
      {"lifetime, then the Inbox tab",
       [](COptionsPage& p) { Choose(PAGE_CONTROL(QComboBox, p, O::IDC_VALIDITY), 3); }, 1},
      {"delete box, then Close",
       [](COptionsPage& p) { Click(PAGE_CONTROL(QWidget, p, O::IDC_DELETE_FROM_PHONE)); }, -1},
  };
  for (const SCase& c : cases) {
    SCOPED_TRACE(c.pszName);
    m_pDlg.reset();
    c.choose(OpenFirstRun());
    ASSERT_FALSE(m_pDlg->GetComposePage().IsWindowCreated());
    if (c.nLeaveTo < 0) {
      QTest::mouseClick(m_pDlg->GetButton(CSMSTabbedDlg::ID_OK), Qt::LeftButton);
      EXPECT_FALSE(m_pDlg->isVisible());
    } else {
      m_pDlg->GetTabControl()->setCurrentIndex(c.nLeaveTo);
      EXPECT_EQ(m_pDlg->GetActiveIndex(), c.nLeaveTo);
    }
    EXPECT_TRUE(OptionNumber("Message Validity").has_value());  // the settings were written
  }
}

TEST_F(OptionsPageTest, TheWheelOverAListWithoutTheFocusChoosesNothing) {
  COptionsPage& page = OpenOptions({"\"Baud Rate\"=dword:00002580"});
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  for (int nId : {O::IDC_BAUD_RATE, O::IDC_COM_PORT, O::IDC_TIME_OUT, O::IDC_VALIDITY}) {
    SCOPED_TRACE(nId);
    QComboBox* pList = RequireControl<QComboBox>(&page, nId, "list");
    PAGE_CONTROL(QWidget, page, O::IDC_REFRESH)->setFocus();
    const int nBefore = pList->currentIndex();
    WheelOver(pList, -120);
    WheelOver(pList, 120);
    WheelOver(pList, 120);
    EXPECT_EQ(pList->currentIndex(), nBefore);
    EXPECT_FALSE(pList->hasFocus());
  }
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
    Choose(PAGE_CONTROL(QComboBox, page, O::IDC_BAUD_RATE), 8);  // 115200
    ASSERT_TRUE(WaitForLogged("CMD AT+IPR=115200"));
    const std::string strBack = "CMD AT+IPR=" + std::to_string(c.nStored);
    const size_t nBack = Logged(strBack).size();
    pDlg->reject();
    // After the new rate, the phone is told the stored one again.
    EXPECT_TRUE(WaitForLogged(strBack, nBack + 1));
    EXPECT_EQ(pDlg->GetBaudRate(), c.nStored);
  }
}

TEST_F(OptionsPageTest, APhoneWithOneStorageOffersOnlyItsButtonOnBothPages) {
  for (const char* pszStorage : {"ME", "SM"}) {
    SCOPED_TRACE(pszStorage);
    const bool bPhone = std::string(pszStorage) == "ME";
    m_pDlg.reset();
    m_pPhone.reset();
    CVirtualPhoneConfig config;
    config.m_vecStorages = {pszStorage};
    StartConfiguredPhone(config);
    WriteSettings({kComPort, "\"Storage\"=dword:0000040e"});
    m_pDlg = OpenWindow();
    ASSERT_TRUE(m_pDlg->IsPhoneReady());
    QWidget* pages[] = {&m_pDlg->GetComposePage(), &ShowOptions(*m_pDlg)};
    for (const QWidget* pPage : pages) {
      // The two pages give their buttons the same ids.
      auto* pPhoneButton = RequireControl<QRadioButton>(pPage, O::IDC_MOBILE_PHONE, "IDC_MOBILE_PHONE");
      auto* pSimButton = RequireControl<QRadioButton>(pPage, O::IDC_SIM, "IDC_SIM");
      EXPECT_EQ(std::vector<bool>({pPhoneButton->isChecked(), pPhoneButton->isEnabled(),
                                   pSimButton->isChecked(), pSimButton->isEnabled()}),
                std::vector<bool>({bPhone, bPhone, !bPhone, !bPhone}));
    }
  }
}
