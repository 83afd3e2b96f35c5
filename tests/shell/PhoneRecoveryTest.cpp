// The window reaches a phone again by itself: after the phone went away (here the
// virtual phone stopped and started anew on the same link, as a phone unplugged and
// plugged in again), the next operation sets the line up again and succeeds; while
// the phone stays away the operation fails with the code whose text says the phone
// is not answering or unplugged, and the one after its return succeeds.
#include <gtest/gtest.h>

#include "ScriptedPromptService.h"
#include "ShellTestSupport.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "res/StringTable.h"
#include "shell/SMSTabbedDlg.h"
#include "vphone/VirtualPhone.h"

namespace {

// A received message in the phone's messages-file form ("How are you?").
const char kDeliverPdu[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

class PhoneRecoveryTest : public CShellTest {
 protected:
  PhoneRecoveryTest() : m_lockDir("MIRETH_LOCK_DIR", m_scratch.Path().string()) {
    std::ofstream(m_scratch / "messages.txt") << "SM 1 " << kDeliverPdu << "\n";
    WriteRegistry({"[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]", "\"COM Port\"=\"COM3\"",
                   "\"Time Out\"=dword:000007d0", "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Ports]",
                   "\"COM3\"=\"" + LinkPath() + "\""});
    CSMSTabbedDlg::SetPortProber({});
  }
  std::string LinkPath() const { return m_scratch / "phone-link"; }

  std::unique_ptr<CVirtualPhone> StartPhone() {
    CVirtualPhoneConfig config;
    config.m_strLinkPath = LinkPath();
    config.m_strMessagesFile = m_scratch / "messages.txt";
    auto pPhone = std::make_unique<CVirtualPhone>(config);
    std::string strError;
    EXPECT_TRUE(pPhone->Start(&strError)) << strError;
    return pPhone;
  }

  static int Fetch(CSMSTabbedDlg& dlg, size_t& nFetched) {
    CMessageArray received;
    const int nCode = dlg.RunPhoneOperation(IDS_TASK_GET_MESSAGES, [&received](CPhoneInterface& phone) {
      return phone.GetIncomingMessagesFromPhone(&received);
    });
    nFetched = received.size();
    return nCode;
  }

  CScriptedPromptService m_prompt;
  CEnvOverride m_lockDir;
};

}  // namespace

TEST_F(PhoneRecoveryTest, ThePhoneRestartedIsReachedAgainByTheNextOperation) {
  auto pPhone = StartPhone();
  CSMSTabbedDlg dlg;
  ASSERT_TRUE(dlg.IsPhoneReady());
  size_t nFetched = 0;
  ASSERT_EQ(Fetch(dlg, nFetched), PHONE_SUCCESS);
  EXPECT_EQ(nFetched, 1u);

  // Unplugged and plugged in again between two operations: nothing to report.
  pPhone->Stop();
  pPhone = StartPhone();
  EXPECT_EQ(Fetch(dlg, nFetched), PHONE_SUCCESS);
  EXPECT_EQ(nFetched, 1u);
  EXPECT_TRUE(dlg.IsPhoneReady());
  EXPECT_TRUE(m_prompt.m_errors.empty());
}

TEST_F(PhoneRecoveryTest, APhoneThatStaysAwayIsReportedAsUnpluggedAndSetUpOnItsReturn) {
  auto pPhone = StartPhone();
  CSMSTabbedDlg dlg;
  ASSERT_TRUE(dlg.IsPhoneReady());
  pPhone->Stop();
  pPhone.reset();

  size_t nFetched = 0;
  const int nCode = Fetch(dlg, nFetched);
  EXPECT_EQ(nCode, PHONE_WRITE_FAILED);
  EXPECT_FALSE(dlg.IsPhoneReady());
  dlg.SetErrorCode(nCode);
  dlg.ReportError();
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_NE(m_prompt.m_errors[0].strSecond.find("not answering or has been unplugged"), std::string::npos);

  // Still away: the set-up fails and says so; back again: the operation succeeds.
  EXPECT_NE(Fetch(dlg, nFetched), PHONE_SUCCESS);
  pPhone = StartPhone();
  EXPECT_EQ(Fetch(dlg, nFetched), PHONE_SUCCESS);
  EXPECT_EQ(nFetched, 1u);
  EXPECT_TRUE(dlg.IsPhoneReady());
  EXPECT_EQ(dlg.GetErrorCode(), PHONE_SUCCESS);
}
