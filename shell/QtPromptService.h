// The prompt service of the window: message boxes (QMessageBox), the wait cursor (the
// application's override cursor) and the error dialog (CErrorDlg).
#pragma once

#include "platform/PromptService.h"

class CQtPromptService final : public IPromptService {
 public:
  CQtPromptService() = default;
  ~CQtPromptService() override;

  // A box owned by the active window, with the caption "SMS Message" when none is
  // given; Yes and No for MB_YESNO (No the default with MB_DEFBUTTON2, else Yes).
  int MessageBox(const std::string& text, const std::string& caption, unsigned int type) override;
  void BeginWaitCursor() override;
  void EndWaitCursor() override;
  void ShowErrorDialog(const std::string& strFirst, const std::string& strSecond, const std::string& strThird,
                       const std::string& strCode) override;

  // How many wait cursors are begun and not yet ended.
  int GetWaitDepth() const { return m_nWaitDepth; }

 private:
  // Takes the wait cursor off while a box waits for the user, and puts it back.
  class CCursorPause;

  int m_nWaitDepth = 0;
};
