// Phone work off the user-interface thread: Cancel in the progress dialog reaches the
// operation at its next report and is reported to the page, a second operation is
// refused while one runs, and the dialog's text for each stage.

#include <QDialog>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "WindowTestSupport.h"
#include "model/PhoneStatus.h"
#include "shell/PhoneTask.h"
#include "res/StringTable.h"

namespace {

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

TEST(PhoneTaskTest, CancelInTheProgressDialogReachesTheOperationAtItsNextReport) {
  TestApp();
  CScriptedPromptService prompt;
  QWidget window;
  CPhoneTask task(&window, nullptr, IDS_TASK_GET_MESSAGES);
  // Cancel, clicked as soon as the dialog is up.
  WhileWaiting(&window, [] {
    QDialog* pDialog = CPhoneTask::GetProgressDialog();
    if (pDialog == nullptr)
      return false;
    pDialog->findChild<QPushButton*>()->click();
    return true;
  });
  int nReported = 0;
  // Reads 200 messages slowly, reporting after each; a report answered with false
  // ends it, as the phone library ends at a command boundary.
  const int nResult = task.Run([&] {
    for (nReported = 1; nReported <= 200; ++nReported) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      if (!task.GetProgressReport()(PHONE_STAGE_READING, MSG_STORAGE_SIM, nReported, 200))
        return PHONE_CANCELLED;
    }
    return PHONE_SUCCESS;
  });
  EXPECT_EQ(nResult, PHONE_CANCELLED);
  EXPECT_TRUE(task.WasCancelled());
  EXPECT_LT(nReported, 200);
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
