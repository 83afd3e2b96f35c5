#include "shell/SMSPage.h"

#include "shell/SMSTabbedDlg.h"

bool CSMSPage::IsPhoneReady() const { return m_pSheet != nullptr && m_pSheet->IsPhoneReady(); }

std::string CSMSPage::GetDataFolder() const {
  return m_pSheet != nullptr ? m_pSheet->GetDataFolder() : std::string();
}

bool CSMSPage::IsExportToCsv() const { return m_pSheet != nullptr && m_pSheet->IsExportToCsv(); }

void CSMSPage::SetErrorCode(int nCode) {
  if (m_pSheet != nullptr)
    m_pSheet->SetErrorCode(nCode);
}

void CSMSPage::ReportError() {
  if (m_pSheet != nullptr)
    m_pSheet->ReportError();
}
