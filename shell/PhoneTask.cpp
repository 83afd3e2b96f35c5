#include "shell/PhoneTask.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
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
QDialog* g_pDialog = nullptr;

QString Text(unsigned int nId) { return ToWindowText(LoadString(nId)); }

// The progress dialog: what is happening, a bar (moving to and fro while the total
// is not known) and Cancel. Only its owner closes it: Esc and the close box ask for
// Cancel as the button does, and the dialog stays until the operation has returned.
class CTaskProgressDialog : public QDialog {
 public:
  explicit CTaskProgressDialog(QWidget* pParent) : QDialog(pParent) {
    auto* pLayout = new QVBoxLayout(this);
    m_pLabel = new QLabel(this);
    m_pLabel->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 56);
    m_pBar = new QProgressBar(this);
    m_pBar->setRange(0, 0);
    m_pBar->setTextVisible(false);
    m_pCancel = new QPushButton(Text(IDS_TASK_CANCEL), this);
    m_pCancel->setDefault(true);
    pLayout->addWidget(m_pLabel);
    pLayout->addWidget(m_pBar);
    pLayout->addWidget(m_pCancel, 0, Qt::AlignRight);
    connect(m_pCancel, &QPushButton::clicked, this, [this] { RequestCancel(); });
  }
  void SetText(const QString& strText) { m_pLabel->setText(strText); }
  void SetProgress(int nDone, int nTotal) {
    m_pBar->setRange(0, nTotal);
    m_pBar->setValue(qMin(nDone, nTotal));
  }
  void reject() override { RequestCancel(); }
  std::function<void()> m_onCancel;

 protected:
  void closeEvent(QCloseEvent* pEvent) override {
    pEvent->ignore();
    RequestCancel();
  }

 private:
  void RequestCancel() {
    if (!m_pCancel->isEnabled())
      return;
    m_pCancel->setEnabled(false);
    SetText(Text(IDS_TASK_STOPPING));
    if (m_onCancel)
      m_onCancel();
  }
  QLabel* m_pLabel;
  QProgressBar* m_pBar;
  QPushButton* m_pCancel;
};

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

QDialog* CPhoneTask::GetProgressDialog() { return g_pDialog; }

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
  CTaskProgressDialog dialog(m_pParent);
  dialog.setWindowTitle(ToWindowText(LoadString(IDS_SMS_MESSAGE)));
  dialog.SetText(Text(m_nTextId));
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.m_onCancel = [pState] { pState->bCancel = true; };

  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, &dialog, [&dialog, pState] {
    if (pState->IsFinished()) {
      dialog.done(QDialog::Accepted);
      return;
    }
    bool bReported = false;
    PhoneStage stage = PHONE_STAGE_SETUP;
    Msg_Storage storage = MSG_STORAGE_UNKNOWN;
    int nDone = 0, nTotal = 0;
    {
      std::lock_guard<std::mutex> lock(pState->mutex);
      bReported = pState->bReported;
      stage = pState->stage;
      storage = pState->storage;
      nDone = pState->nDone;
      nTotal = pState->nTotal;
    }
    if (!bReported || pState->bCancel)
      return;
    dialog.SetText(DescribeProgress(stage, storage, nDone, nTotal));
    if (nTotal > 0)
      dialog.SetProgress(nDone, nTotal);
  });
  poll.start(kPollMs);
  g_pDialog = &dialog;
  // The dialog takes clicks: the wait cursors the page shows are put aside while it
  // is up, and back afterwards.
  int nPaused = 0;
  for (; QGuiApplication::overrideCursor() != nullptr; ++nPaused)
    QGuiApplication::restoreOverrideCursor();
  dialog.exec();
  for (int i = 0; i < nPaused; ++i)
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  g_pDialog = nullptr;
}
