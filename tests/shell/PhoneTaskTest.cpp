// Phone work off the user-interface thread: a second operation is refused while one
// runs, and the progress dialog's text for each stage. (Operations, the dialog of a
// slow one and its Cancel are driven through the pages.)

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
