// Phone work off the user-interface thread: a quick operation shows nothing, a slow
// one gets the progress dialog after the delay with the phone's reports as its text,
// Cancel reaches the operation at its next report, the window keeps running its
// events meanwhile, and a second operation is refused while one runs. Then the
// window's own use of it: a phone whose line went away is reached again.

#include <QElapsedTimer>
#include <QLabel>
#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "WindowTestSupport.h"
#include "model/PhoneStatus.h"
#include "shell/PhoneTask.h"
#include "res/StringTable.h"

namespace {

QString DialogLabel() {
  QDialog* pDialog = CPhoneTask::GetProgressDialog();
  const QLabel* pLabel = pDialog != nullptr ? pDialog->findChild<QLabel*>() : nullptr;
  return pLabel != nullptr ? pLabel->text() : QString();
}

// Runs fnCheck on the user-interface thread every 20 ms until it returns true.
void WhileWaiting(QObject* pOwner, std::function<bool()> fnCheck) {
  auto* pTimer = new QTimer(pOwner);
  QObject::connect(pTimer, &QTimer::timeout, pTimer, [pTimer, fnCheck] {
    if (fnCheck())
      pTimer->stop();
  });
  pTimer->start(20);
}

}  // namespace

TEST(PhoneTaskTest, AQuickOperationShowsNoDialogAndGivesItsResult) {
  TestApp();
  CScriptedPromptService prompt;
  QWidget window;
  bool bDialogSeen = false;
  WhileWaiting(&window,
               [&] { return (bDialogSeen = bDialogSeen || CPhoneTask::GetProgressDialog() != nullptr); });
  for (int nResult : {PHONE_SUCCESS, PHONE_NO_MESSAGES}) {
    CPhoneTask task(&window, nullptr, IDS_TASK_GET_MESSAGES);
    const std::thread::id ui = std::this_thread::get_id();
    std::thread::id worker;
    EXPECT_EQ(task.Run([&] {
      worker = std::this_thread::get_id();
      return nResult;
    }),
              nResult);
    EXPECT_NE(worker, ui);  // off the user-interface thread
    EXPECT_FALSE(task.WasCancelled());
  }
  EXPECT_FALSE(bDialogSeen);
  EXPECT_FALSE(CPhoneTask::IsBusy());
  EXPECT_EQ(prompt.m_nWaitDepth, 0);
}

TEST(PhoneTaskTest, ASlowOperationShowsWhatThePhoneReportsAndCancelStopsItAtItsNextReport) {
  TestApp();
  CScriptedPromptService prompt;
  QWidget window;
  CPhoneTask task(&window, nullptr, IDS_TASK_GET_MESSAGES);
  std::atomic<int> nReported{0};
  std::atomic<bool> bGoOn{true};
  QElapsedTimer clock;
  qint64 nShownAfter = -1;
  QStringList labels;
  int nTicks = 0;
  WhileWaiting(&window, [&] {
    ++nTicks;  // the event loop runs while the phone works
    if (CPhoneTask::GetProgressDialog() == nullptr)
      return false;
    if (nShownAfter < 0) {
      nShownAfter = clock.elapsed();
      labels << DialogLabel();
    }
    if (nReported >= 45 && labels.size() == 1) {
      QTest::qWait(60);
      labels << DialogLabel();
      // Cancel, as the user clicks it.
      QPushButton* pCancel = CPhoneTask::GetProgressDialog()->findChild<QPushButton*>();
      pCancel->click();
      labels << DialogLabel();
      return true;
    }
    return false;
  });
  clock.start();
  const int nResult = task.Run([&] {
    // Reads 200 messages slowly, reporting after each; a report answered with false
    // ends it, as the phone library ends at a command boundary.
    for (int i = 1; i <= 200 && bGoOn; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(i < 45 ? 10 : 30));
      nReported = i;
      if (!task.GetProgressReport()(PHONE_STAGE_READING, MSG_STORAGE_SIM, i, 200))
        return PHONE_CANCELLED;
    }
    return PHONE_SUCCESS;
  });
  EXPECT_EQ(nResult, PHONE_CANCELLED);
  EXPECT_TRUE(task.WasCancelled());
  EXPECT_LT(nReported, 200);
  EXPECT_GE(nShownAfter, CPhoneTask::kShowAfterMs);
  EXPECT_LT(nShownAfter, 1000);
  EXPECT_GT(nTicks, 10);
  ASSERT_EQ(labels.size(), 3);
  EXPECT_TRUE(labels[1].startsWith("Reading messages from the SIM card: ")) << labels[1].toStdString();
  EXPECT_TRUE(labels[1].endsWith(" of 200")) << labels[1].toStdString();
  EXPECT_EQ(labels[2], "Stopping after the current step...");
  EXPECT_EQ(CPhoneTask::GetProgressDialog(), nullptr);
  EXPECT_EQ(prompt.m_nWaitDepth, 0);
}

TEST(PhoneTaskTest, OnlyOneOperationRunsAtATime) {
  TestApp();
  QWidget window;
  int nInner = 1;
  bool bInnerRan = false;
  bool bTried = false;
  WhileWaiting(&window, [&] {
    bTried = true;
    nInner = CPhoneTask(&window, nullptr, IDS_TASK_SEND).Run([&] {
      bInnerRan = true;
      return PHONE_SUCCESS;
    });
    return true;
  });
  CPhoneTask outer(&window, nullptr, IDS_TASK_SEND);
  EXPECT_EQ(outer.Run([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return PHONE_SUCCESS;
  }),
            PHONE_SUCCESS);
  ASSERT_TRUE(bTried);
  EXPECT_EQ(nInner, PHONE_CANCELLED);
  EXPECT_FALSE(bInnerRan);
}

TEST(PhoneTaskTest, EachStageHasItsText) {
  const struct {
    PhoneStage stage;
    Msg_Storage storage;
    int nDone, nTotal;
    const char* pszText;
  } cases[] = {
      {PHONE_STAGE_READING, MSG_STORAGE_SIM, 45, 200, "Reading messages from the SIM card: 45 of 200"},
      {PHONE_STAGE_READING, MSG_STORAGE_PHONE, 3, 7, "Reading messages from the phone memory: 3 of 7"},
      {PHONE_STAGE_READING, MSG_STORAGE_UNKNOWN, 0, 0, "Reading messages from the phone"},
      {PHONE_STAGE_SENDING, MSG_STORAGE_UNKNOWN, 2, 3, "Sending the message: 2 of 3"},
      {PHONE_STAGE_DELETING, MSG_STORAGE_SIM, 4, 0, "Deleting messages on the phone: 4"},
      {PHONE_STAGE_SETUP, MSG_STORAGE_UNKNOWN, 0, 0, "Setting up the phone"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CPhoneTask::DescribeProgress(c.stage, c.storage, c.nDone, c.nTotal).toStdString(), c.pszText);
}
