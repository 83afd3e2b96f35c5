#include "shell/PhoneTask.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "model/PhoneStatus.h"
#include "platform/PromptService.h"
#include "res/StringTable.h"
#include "shell/DialogTemplate.h"

namespace {

// How often the waiting thread looks at the operation and its reports.
constexpr int kPollMs = 25;

bool g_bBusy = false;
QProgressDialog* g_pDialog = nullptr;

QString Text(unsigned int nId) { return ToWindowText(LoadString(nId)); }

}  // namespace

// What the two threads share: the latest report, Cancel, and the result.
struct CPhoneTask::SState {
  std::mutex mutex;
  std::condition_variable done;
  bool bReported = false;
  PhoneStage stage = PHONE_STAGE_SETUP;
  Msg_Storage storage = MSG_STORAGE_UNKNOWN;
  int nDone = 0;
  int nTotal = 0;
  bool bFinished = false;
  int nResult = PHONE_CANCELLED;
  std::atomic<bool> bCancel{false};

  bool IsFinished() {
    std::lock_guard<std::mutex> lock(mutex);
    return bFinished;
  }
  // Waits up to nMs for the end of the operation.
  bool WaitFinished(int nMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return done.wait_for(lock, std::chrono::milliseconds(nMs), [this] { return bFinished; });
  }
};

CPhoneTask::CPhoneTask(QWidget* pParent, CPhoneInterface* pPhone, unsigned int nTextId)
    : m_pParent(pParent), m_pPhone(pPhone), m_nTextId(nTextId) {}

CPhoneTask::~CPhoneTask() = default;

bool CPhoneTask::IsBusy() { return g_bBusy; }

QProgressDialog* CPhoneTask::GetProgressDialog() { return g_pDialog; }

QString CPhoneTask::DescribeProgress(PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
  unsigned int nStage = IDS_STAGE_SETUP;
  switch (stage) {
    case PHONE_STAGE_SETUP:
      nStage = IDS_STAGE_SETUP;
      break;
    case PHONE_STAGE_READING:
      nStage = storage == MSG_STORAGE_SIM     ? IDS_STAGE_READ_SIM
               : storage == MSG_STORAGE_PHONE ? IDS_STAGE_READ_PHONE
                                              : IDS_STAGE_READ;
      break;
    case PHONE_STAGE_SENDING:
      nStage = IDS_STAGE_SEND;
      break;
    case PHONE_STAGE_DELETING:
      nStage = IDS_STAGE_DELETE;
      break;
  }
  if (nTotal > 0)
    return Text(IDS_STAGE_COUNT).arg(Text(nStage)).arg(nDone).arg(nTotal);
  if (nDone > 0)
    return Text(IDS_STAGE_DONE).arg(Text(nStage)).arg(nDone);
  return Text(nStage);
}

int CPhoneTask::Run(const Operation& operation) {
  m_bCancelled = false;
  if (g_bBusy || !operation)
    return PHONE_CANCELLED;
  g_bBusy = true;

  auto pState = std::make_shared<SState>();
  m_report = [pState](PhoneStage stage, Msg_Storage storage, int nDone, int nTotal) {
    std::lock_guard<std::mutex> lock(pState->mutex);
    pState->bReported = true;
    pState->stage = stage;
    pState->storage = storage;
    pState->nDone = nDone;
    pState->nTotal = nTotal;
    return !pState->bCancel.load();
  };
  if (m_pPhone != nullptr)
    m_pPhone->SetProgressCallback(m_report);

  std::thread worker([pState, operation] {
    const int nResult = operation();
    {
      std::lock_guard<std::mutex> lock(pState->mutex);
      pState->nResult = nResult;
      pState->bFinished = true;
    }
    pState->done.notify_all();
  });

  // A short operation: the window is repainted, and input waits until it is done.
  IPromptService& prompt = GetPromptService();
  prompt.BeginWaitCursor();
  QElapsedTimer clock;
  clock.start();
  while (!pState->IsFinished() && clock.elapsed() < kShowAfterMs) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    pState->WaitFinished(kPollMs);
  }
  prompt.EndWaitCursor();

  if (!pState->IsFinished())
    ShowProgress(pState);

  worker.join();
  if (m_pPhone != nullptr)
    m_pPhone->SetProgressCallback(PhoneProgress());
  m_report = PhoneProgress();
  m_bCancelled = pState->bCancel.load();
  g_bBusy = false;
  return pState->nResult;
}

void CPhoneTask::ShowProgress(const std::shared_ptr<SState>& pState) {
  QProgressDialog dialog(m_pParent);
  dialog.setWindowTitle(ToWindowText(LoadString(IDS_SMS_MESSAGE)));
  dialog.setLabelText(Text(m_nTextId));
  dialog.setCancelButtonText(Text(IDS_TASK_CANCEL));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setAutoClose(false);
  dialog.setAutoReset(false);
  dialog.setMinimumDuration(0);
  dialog.setRange(0, 0);
  dialog.setMinimumWidth(dialog.fontMetrics().horizontalAdvance(QLatin1Char('x')) * 56);
  // Cancel (the button, Esc, the close box) asks the operation to stop; the dialog
  // stays, saying so, until the operation has returned.
  QObject::disconnect(&dialog, &QProgressDialog::canceled, &dialog, &QProgressDialog::cancel);
  QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&dialog, pState] {
    pState->bCancel = true;
    dialog.setLabelText(Text(IDS_TASK_STOPPING));
    if (auto* pButton = dialog.findChild<QPushButton*>())
      pButton->setEnabled(false);
  });

  QEventLoop loop;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (pState->IsFinished()) {
      loop.quit();
      return;
    }
    std::lock_guard<std::mutex> lock(pState->mutex);
    if (!pState->bReported || pState->bCancel)
      return;
    dialog.setLabelText(DescribeProgress(pState->stage, pState->storage, pState->nDone, pState->nTotal));
    if (pState->nTotal > 0) {
      dialog.setRange(0, pState->nTotal);
      dialog.setValue(qMin(pState->nDone, pState->nTotal));
    }
  });
  poll.start(kPollMs);
  g_pDialog = &dialog;
  // The dialog takes clicks: an arrow over it, whatever wait cursor the page shows.
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  dialog.show();
  loop.exec();
  QGuiApplication::restoreOverrideCursor();
  g_pDialog = nullptr;
  dialog.hide();
}
