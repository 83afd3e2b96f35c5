// The Outbox page (dialog 131): the third page of the SMS window, with the messages
// sent and stored. This is the page's frame: its place in the window, its hooks and
// its links to the window and the Compose page (which owns the outgoing list). The
// list and its buttons are built in CreateControls.
#pragma once

#include "shell/PropertyPage.h"

class CComposePage;
class CSMSTabbedDlg;

class COutboxPage : public CPropertyPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 131;

  COutboxPage();
  ~COutboxPage() override;

  // Cancel and leaving the page keep the base behaviour.
  bool OnInitDialog() override;
  bool OnSetActive() override;
  void OnOK() override;

  CSMSTabbedDlg* m_pSheet = nullptr;    // the owning window
  CComposePage* m_pCompose = nullptr;   // the Compose page (the outgoing list)

 protected:
  void CreateControls(const CDialogUnits& units) override;
};
