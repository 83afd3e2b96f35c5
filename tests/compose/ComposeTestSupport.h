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
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/ComposePage.h"
#include "compose/MessageEdit.h"
#include "platform/PromptService.h"
#include "shell/SMSTabbedDlg.h"
#include "vphone/VirtualPhone.h"

QApplication& ComposeTestApp();

// Records message boxes and error dialogs; answers questions from a queue (Yes when it
// is empty); keeps the wait-cursor depth.
class CRecordingPrompt : public IPromptService {
 public:
  struct SBox {
    std::string strText;
    std::string strCaption;
    unsigned int nType = 0;
  };
  struct SError {
    std::string strFirst, strSecond, strThird, strCode;
  };

  CRecordingPrompt() { m_pPrevious = SetPromptService(this); }
  ~CRecordingPrompt() override { SetPromptService(m_pPrevious); }
  CRecordingPrompt(const CRecordingPrompt&) = delete;
  CRecordingPrompt& operator=(const CRecordingPrompt&) = delete;

  int MessageBox(const std::string& text, const std::string& caption, unsigned int type) override;
  void BeginWaitCursor() override { ++m_nWaitDepth; }
  void EndWaitCursor() override { --m_nWaitDepth; }
  void ShowErrorDialog(const std::string& strFirst, const std::string& strSecond,
                       const std::string& strThird, const std::string& strCode) override {
    m_errors.push_back({strFirst, strSecond, strThird, strCode});
  }

  void QueueAnswer(int nAnswer) { m_answers.push_back(nAnswer); }
  void Clear() {
    m_boxes.clear();
    m_errors.clear();
  }

  std::vector<SBox> m_boxes;
  std::vector<SError> m_errors;
  int m_nWaitDepth = 0;

 private:
  std::deque<int> m_answers;
  IPromptService* m_pPrevious = nullptr;
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
  void WriteSettings(const std::vector<std::string>& optionsLines = {},
                     const std::vector<std::string>& extraLines = {});

  // Opens the window (built and shown) on the Compose page.
  std::unique_ptr<CSMSTabbedDlg> OpenWindow(const RecipientInfo* pRecipient = nullptr);

  std::string DataFolder() const { return (m_root / "data").string() + "/"; }
  std::string DataFile(const std::string& strName) const { return DataFolder() + strName; }
  static std::string ReadFile(const std::string& strPath);

  // The controls of the page, by id.
  static QComboBox* NameList(CComposePage& page);
  static QComboBox* NumberList(CComposePage& page);
  static QComboBox* PresetList(CComposePage& page);
  static QComboBox* LifetimeList(CComposePage& page);
  static CMessageEdit* MessageEdit(CComposePage& page);
  static QLabel* Counter(CComposePage& page);
  static QPushButton* SendButton(CComposePage& page);
  static QRadioButton* MobilePhoneButton(CComposePage& page);
  static QRadioButton* SimCardButton(CComposePage& page);

  // Typing as a keyboard does, one key at a time (letters outside Latin-1 as a
  // keyboard of that script sends them).
  static void Type(QWidget* pWidget, const QString& strText);
  // Chooses an item of a list as the user does (the keyboard, from the top).
  static void Choose(QComboBox* pList, int nIndex);
  static void Paste(QWidget* pWidget, const QString& strText);

  // The PDU lines the phone logged, in order.
  std::vector<std::string> LoggedPdus() const;
  // The command lines the phone logged, in order.
  std::vector<std::string> LoggedCommands() const;
  // Waits until the phone has logged n PDUs in all (bounded).
  bool WaitForPdus(size_t n) const;

  std::filesystem::path m_root;
  bool m_bExportToCsv = false;  // "Export To CSV" written by WriteSettings
  CRecordingPrompt m_prompt;
  std::unique_ptr<CVirtualPhone> m_pPhone;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> m_oldEnv;
};
