// The Options page (dialog 132): the fourth page of the SMS window, with the
// connection, the message options and the phone's information. This is the page's
// frame: its place in the window, its hooks and its links to the window and the
// Compose page. Its controls are built in CreateControls.
#pragma once

#include "shell/PropertyPage.h"

class CComposePage;
class CSMSTabbedDlg;

class COptionsPage : public CPropertyPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 132;

  COptionsPage();
  ~COptionsPage() override;

  bool OnInitDialog() override;
  bool OnSetActive() override;
  bool OnKillActive() override;
  void OnOK() override;
  void OnCancel() override;

  CSMSTabbedDlg* m_pSheet = nullptr;    // the owning window
  CComposePage* m_pCompose = nullptr;   // the Compose page (message options)

 protected:
  void CreateControls(const CDialogUnits& units) override;
};
