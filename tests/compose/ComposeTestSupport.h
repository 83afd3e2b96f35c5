// Shared pieces of the Compose page tests: a settings file, data folder and virtual
// phone of their own per test, a prompt service that records what was shown and
// answers questions, the SMS window on that phone, user input, and a reader for the
// SMS-SUBMIT PDUs the phone logged.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/ComposePage.h"
#include "compose/MessageEdit.h"
#include "shell/SMSTabbedDlg.h"
#include "shell/ScriptedPromptService.h"
#include "tests/shell/TestSandbox.h"
#include "vphone/VirtualPhone.h"

QApplication& ComposeTestApp();

// Records message boxes and error dialogs; answers questions from a queue (Yes when it
// is empty) and other boxes with OK; keeps the wait-cursor depth.
class CRecordingPrompt : public CScriptedPromptService {
 public:
  using SError = SErrorDialog;
  int MessageBox(const std::string& text, const std::string& caption, unsigned int type) override {
    if ((type & 0xF) != MB_YESNO) {
      m_boxes.push_back({text, caption, type});
      return IDOK;
    }
    if (AnswersLeft() == 0)
      QueueAnswer(IDYES);
    return CScriptedPromptService::MessageBox(text, caption, type);
  }
  void Clear() {
    m_boxes.clear();
    m_errors.clear();
  }
};

// The parts of an SMS-SUBMIT TPDU (3GPP TS 23.040 9.2.2.2) the tests look at.
struct CSubmitPdu {
  int nFirstOctet = 0;
  std::string strAddressField;  // length, type and digits of TP-DA, as hex
  int nPid = 0;
  int nDcs = 0;
  std::optional<int> nRelativeValidity;  // TP-VP when TP-VPF is 10
  int nUdl = 0;
  std::string strUserData;  // hex
};
// Reads a PDU as typed after the prompt (service-centre field first); nothing when it
// is not a well-formed SMS-SUBMIT.
std::optional<CSubmitPdu> ReadSubmitPdu(const std::string& strHex);

// One virtual phone, settings file, data folder and prompt service per test.
class CComposeTest : public ::testing::Test {
 protected:
  CComposeTest();
  ~CComposeTest() override;

  // Starts the virtual phone (with these faults) and writes the settings: COM3 on the
  // phone, the data folder, and the extra lines given (value lines of the Options
  // key; "[...]" starts another key).
  void StartPhone(const CVirtualPhoneConfig& config = CVirtualPhoneConfig());
  void WriteSettings(const std::vector<std::string>& optionsLines = {}, const std::vector<std::string>& extraLines = {});

  // Opens the window (built and shown) on the Compose page.
  std::unique_ptr<CSMSTabbedDlg> OpenWindow(const RecipientInfo* pRecipient = nullptr);

  std::string DataFolder() const { return (m_root / "data").string() + "/"; }
  std::string DataFile(const std::string& strName) const { return DataFolder() + strName; }
  static std::string ReadFile(const std::string& strPath) { return CTestSandbox::ReadFile(strPath); }

  // The controls of the page, by id.
  static QComboBox* NameList(CComposePage& page) { return FindControl<QComboBox>(&page, CComposePage::IDC_NAME); }
  static QComboBox* NumberList(CComposePage& page) { return FindControl<QComboBox>(&page, CComposePage::IDC_NUMBER); }
  static QComboBox* PresetList(CComposePage& page) { return FindControl<QComboBox>(&page, CComposePage::IDC_PRESET); }
  static QComboBox* LifetimeList(CComposePage& page) { return FindControl<QComboBox>(&page, CComposePage::IDC_LIFETIME); }
  static CMessageEdit* MessageEdit(CComposePage& page) { return FindControl<CMessageEdit>(&page, CComposePage::IDC_MESSAGE); }
  static QLabel* Counter(CComposePage& page) { return FindControl<QLabel>(&page, CComposePage::IDC_CHARACTER_COUNT); }
  static QPushButton* SendButton(CComposePage& page) { return FindControl<QPushButton>(&page, CComposePage::IDC_SEND); }
  static QRadioButton* MobilePhoneButton(CComposePage& page) {
    return FindControl<QRadioButton>(&page, CComposePage::IDC_MOBILE_PHONE);
  }
  static QRadioButton* SimCardButton(CComposePage& page) {
    return FindControl<QRadioButton>(&page, CComposePage::IDC_SIM_CARD);
  }

  // Typing as a keyboard does, one key at a time (letters outside Latin-1 as a
  // keyboard of that script sends them).
  static void Type(QWidget* pWidget, const QString& strText);
  // Chooses an item of a list as the user does (the keyboard, from the top).
  static void Choose(QComboBox* pList, int nIndex);
  static void Paste(QWidget* pWidget, const QString& strText);

  // The PDU lines and the command lines the phone logged, in order.
  std::vector<std::string> LoggedPdus() const { return Logged("PDU "); }
  std::vector<std::string> LoggedCommands() const { return Logged("CMD "); }
  // Waits until the phone has logged n PDUs in all (bounded).
  bool WaitForPdus(size_t n) const;

  CTestSandbox m_sandbox{"mireth-compose"};
  std::filesystem::path m_root = m_sandbox.Root();
  bool m_bExportToCsv = false;  // "Export To CSV" written by WriteSettings
  CRecordingPrompt m_prompt;
  std::unique_ptr<CVirtualPhone> m_pPhone;

 private:
  std::vector<std::string> Logged(const std::string& strKind) const;
};
