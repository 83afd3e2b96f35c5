// The Inbox page (dialog 130): the second page of the SMS window, with the messages
// received from the phone. This is the page's frame: its place in the window, its
// hooks and its links to the window and the Compose page. The list and its buttons
// are built in CreateControls.
#pragma once

#include "shell/PropertyPage.h"

class CComposePage;
class CSMSTabbedDlg;

class CInboxPage : public CPropertyPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 130;

  CInboxPage();
  ~CInboxPage() override;

  bool OnInitDialog() override;
  bool OnSetActive() override;
  void OnOK() override;
  void OnCancel() override;

  CSMSTabbedDlg* m_pSheet = nullptr;    // the owning window
  CComposePage* m_pCompose = nullptr;   // the Compose page (its address book)

 protected:
  void CreateControls(const CDialogUnits& units) override;
};
