// One phone operation run off the user-interface thread. The operation runs on a
// thread of its own while this thread keeps the window painted; user input waits.
// When the operation is not done after kShowAfterMs, a modal progress dialog says
// what is happening ("Reading messages from the SIM card: 45 of 200", from the
// phone's progress reports) and offers Cancel, which asks the phone library to stop
// at its next command boundary; the dialog stays until the operation has returned.
// Only one operation runs at a time: a second one asked for meanwhile is refused.
#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "model/PhoneInterface.h"

class QDialog;
class QWidget;

class CPhoneTask {
 public:
  using Operation = std::function<int()>;
  // How long an operation runs before the progress dialog appears.
  static constexpr int kShowAfterMs = 300;

  // pPhone (may be null) receives the progress report for the time of Run;
  // nTextId is the string that describes the operation until a report arrives.
  CPhoneTask(QWidget* pParent, CPhoneInterface* pPhone, unsigned int nTextId);
  ~CPhoneTask();
  CPhoneTask(const CPhoneTask&) = delete;
  CPhoneTask& operator=(const CPhoneTask&) = delete;

  // Runs the operation and returns its result, or PHONE_CANCELLED at once when
  // another operation is running.
  int Run(const Operation& operation);
  // The user pressed Cancel during the last Run.
  bool WasCancelled() const { return m_bCancelled; }
  // The progress report of the running operation, as the phone receives it: an
  // operation that reports by itself (not through the phone) calls this.
  const PhoneProgress& GetProgressReport() const { return m_report; }

  // True while an operation runs.
  static bool IsBusy();
  // The progress dialog while it is shown, else null (tests press its Cancel).
  static QDialog* GetProgressDialog();
  // The dialog's text for a progress report.
  static QString DescribeProgress(PhoneStage stage, Msg_Storage storage, int nDone, int nTotal);

 private:
  struct SState;
  void ShowProgress(const std::shared_ptr<SState>& pState);

  QWidget* m_pParent;
  CPhoneInterface* m_pPhone;
  unsigned int m_nTextId;
  bool m_bCancelled = false;
  PhoneProgress m_report;
};
