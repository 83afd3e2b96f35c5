// A page of the SMS window: a property page that knows the window it belongs to
// (m_pSheet, set by the window when it adds its pages) and asks it for the state the
// pages share: whether the phone is ready, the data folder, the export flag, and the
// last status code with its report.
//
// A page without a window (one built on its own) gets safe answers: the phone is not
// ready, the data folder is empty, export is off, and status codes and reports go
// nowhere.
#pragma once

#include <string>

#include "shell/PropertyPage.h"

class CSMSTabbedDlg;

class CSMSPage : public CPropertyPage {
  Q_OBJECT

 public:
  using CPropertyPage::CPropertyPage;

  CSMSTabbedDlg* m_pSheet = nullptr;  // the owning window

 protected:
  bool IsPhoneReady() const;
  std::string GetDataFolder() const;
  bool IsExportToCsv() const;
  // Keeps a status code in the window, for the report that follows.
  void SetErrorCode(int nCode);
  // Shows the error dialog for the window's last status code.
  void ReportError();
};
