// Shared pieces of the Compose page tests: the window on a virtual phone on COM3,
// the page's controls, and a reader for the SMS-SUBMIT PDUs the phone logged.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "compose/ComposePage.h"
#include "compose/MessageEdit.h"
#include "tests/shell/WindowTestSupport.h"

// The SIM as the remembered storage (1038, its button).
inline const char kStorageSim[] = "\"Storage\"=dword:0000040e";

// A PDU as typed after the prompt (service-centre field first), printed as
// "DA <TP-DA> DCS <n> VP <n or -> UDL <n> UD <hex>" (3GPP TS 23.040 9.2.2.2), or
// "none" when it is not a well-formed SMS-SUBMIT.
std::string DescribeSubmitPdu(const std::string& strHex);

class CComposeTest : public CWindowTest {
 protected:
  // COM3 on the phone with a 3-second time-out, then these Options lines.
  void WriteSettings(std::vector<std::string> optionsLines = {},
                     const std::vector<std::string>& extraLines = {}) {
    optionsLines.insert(optionsLines.begin(), {"\"COM Port\"=\"COM3\"", "\"Time Out\"=dword:00000bb8"});
    CWindowTest::WriteSettings(optionsLines, extraLines);
  }

  // Starts the phone, writes the settings (the SIM remembered unless told otherwise)
  // and opens the window, kept in m_pDlg; its Compose page.
  CComposePage& OpenCompose(std::vector<std::string> optionsLines = {kStorageSim},
                            const CVirtualPhoneConfig& config = CVirtualPhoneConfig()) {
    StartConfiguredPhone(config);
    WriteSettings(std::move(optionsLines));
    m_pDlg = OpenWindow();
    return m_pDlg->GetComposePage();
  }

  static QComboBox* NameList(CComposePage& page) {
    return PAGE_CONTROL(QComboBox, page, CComposePage::IDC_NAME);
  }
  static QComboBox* NumberList(CComposePage& page) {
    return PAGE_CONTROL(QComboBox, page, CComposePage::IDC_NUMBER);
  }
  static QComboBox* PresetList(CComposePage& page) {
    return PAGE_CONTROL(QComboBox, page, CComposePage::IDC_PRESET);
  }
  static QComboBox* LifetimeList(CComposePage& page) {
    return PAGE_CONTROL(QComboBox, page, CComposePage::IDC_LIFETIME);
  }
  static CMessageEdit* MessageEdit(CComposePage& page) {
    return PAGE_CONTROL(CMessageEdit, page, CComposePage::IDC_MESSAGE);
  }
  static QLabel* Counter(CComposePage& page) {
    return PAGE_CONTROL(QLabel, page, CComposePage::IDC_CHARACTER_COUNT);
  }
  static QPushButton* SendButton(CComposePage& page) {
    return PAGE_CONTROL(QPushButton, page, CComposePage::IDC_SEND);
  }
  static QRadioButton* SimCardButton(CComposePage& page) {
    return PAGE_CONTROL(QRadioButton, page, CComposePage::IDC_SIM_CARD);
  }

  // The form as the user sees it: name, number, text and counter, joined by '|'.
  static std::string Form(CComposePage& page) {
    return QStringList{NameList(page)->currentText(), NumberList(page)->currentText(),
                       MessageEdit(page)->toPlainText(), Counter(page)->text()}
        .join('|')
        .toStdString();
  }
  // A record of the outgoing list: name, number, text, status and storage.
  static std::string Describe(const CMessage& message) {
    return message.GetName() + "|" + message.GetNumber() + "|" + message.GetMessage() + "|status " +
           std::to_string(message.GetStatus()) + "|storage " + std::to_string(message.GetStorage());
  }

  bool WaitForPdus(size_t n) const { return WaitForLogged("PDU ", n); }
  // The last SMS-SUBMIT the phone was given, once it has n PDUs in all, printed.
  std::string SubmitText(size_t n) const {
    return WaitForPdus(n) ? DescribeSubmitPdu(Logged("PDU ").back()) : "none";
  }

  std::unique_ptr<CSMSTabbedDlg> m_pDlg;
};
