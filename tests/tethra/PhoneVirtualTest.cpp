// The phone library against the virtual phone: set-up, information, storages,
// sending, storing, fetching, deleting, rate changes, and every fault the phone can
// be made to commit.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/AtChannel.h"

namespace {

// "How are you?" from +31641600986.
const char kHowAreYou[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

std::unique_ptr<CMessage> Outgoing(const std::string& strNumber, const std::string& strText,
                                   int nStorage = MSG_STORAGE_SIM) {
  auto p = std::make_unique<CMessage>();
  p->m_strNumber = strNumber;
  p->m_strMessage = strText;
  p->m_nStorage = nStorage;
  p->m_nType = 2;
  p->SetSubmitType();
  p->SetRelativeValidity(true);
  p->SetRejectDuplicates(true);
  p->m_nValidity = 167;
  return p;
}

// The record of msgs whose number (or else text) is strWhat.
const CMessage* Find(const CMessageArray& msgs, const std::string& strWhat) {
  for (const auto& p : msgs)
    if (p->m_strNumber == strWhat || p->m_strMessage == strWhat)
      return p.get();
  return nullptr;
}

TEST_F(VirtualPhoneTest, SetsUpAndReadsInformationAndStorages) {
  StartPhone();
  CPhoneInterface phone;
  const uint64_t nBefore = CAtChannel::GetTraffic().nCommands;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 3000), PHONE_SUCCESS);
  EXPECT_LE(CAtChannel::GetTraffic().nCommands - nBefore, 8u);
  EXPECT_EQ(phone.GetAvailableStorage(), MSG_STORAGE_BOTH);
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetPhoneManufacturer(), "Kelvane");
  EXPECT_EQ(phone.GetPhoneModel(), "VP-1");
  EXPECT_EQ(phone.GetPhoneVersion(), "V1.0 2024-05-02");
  ASSERT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetPreferredStorage(0), "ME");
  EXPECT_EQ(m_pPhone->GetPreferredStorage(1), "ME");
  EXPECT_EQ(phone.GetPreferredMessageStorage(), MSG_STORAGE_PHONE);
  ASSERT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_SIM), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetPreferredMessageStorage(), MSG_STORAGE_SIM);

  // A phone with the SIM only, prefixed answers, a storage command of one parameter.
  CVirtualPhoneConfig config;
  config.m_vecStorages = {"SM"};
  config.m_bPrefixedInfo = true;
  config.m_nCpmsParameters = 1;
  config.m_nCmee = 2;
  config.m_strManufacturer = "Other Maker";
  StartPhone(config);
  CPhoneInterface other;
  ASSERT_EQ(other.SetupCommPort(kPort, 9600, 3000), PHONE_SUCCESS);
  EXPECT_EQ(other.GetAvailableStorage(), MSG_STORAGE_SIM);
  ASSERT_EQ(other.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(other.GetPhoneManufacturer(), "Other Maker");
  ASSERT_EQ(other.SetPreferredMessageStorage(MSG_STORAGE_SIM), PHONE_SUCCESS);
  EXPECT_EQ(other.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_STORAGE_UNKNOWN);
}

TEST_F(VirtualPhoneTest, SendsStoresFetchesAndDeletes) {
  StartPhone();
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 3000), PHONE_SUCCESS);
  CMessageArray none;
  EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&none), PHONE_NO_MESSAGES);
  EXPECT_EQ(phone.GetOutgoingMessagesFromPhone(&none), PHONE_NO_MESSAGES);

  // Sent to another number it goes out as written; sent to the phone's own number
  // it comes back as a received message.
  auto sent = Outgoing("+447700900456", "Meet at 6? Bring the {map} & €5");
  ASSERT_EQ(phone.SendMessageToPhone(sent.get(), "AT+CMGS="), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetSentPdus(), std::vector<std::string>{sent->m_strPdu});
  auto loop = Outgoing("+447700900123", "Привет, это я");
  ASSERT_EQ(phone.SendMessageToPhone(loop.get(), "AT+CMGS="), PHONE_SUCCESS);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);

  // Stored: one short message on the SIM, a long one (three parts) in the phone.
  auto stored = Outgoing("", "Stored for later");
  ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);
  std::string strLong;
  for (int i = 0; i < 40; ++i)
    strLong += "line " + std::to_string(i) + "; ";
  auto longStored = Outgoing("+447700900789", strLong, MSG_STORAGE_PHONE);
  ASSERT_EQ(phone.SendMessageToPhone(longStored.get(), "AT+CMGW="), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetMessages("ME").size(), 3u);

  CMessageArray incoming;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&incoming), PHONE_SUCCESS);
  ASSERT_EQ(incoming.size(), 2u);
  const CMessage* pLoop = Find(incoming, "+447700900123");
  const CMessage* pOther = Find(incoming, "+31641600986");
  ASSERT_TRUE(pLoop && pOther);
  EXPECT_EQ(pLoop->m_strMessage, "Привет, это я");
  EXPECT_EQ(pLoop->m_wFirstOctet & 0x03, 0);
  EXPECT_TRUE(pLoop->m_dtDateTime.IsValid());
  EXPECT_EQ(pOther->m_nStorage, MSG_STORAGE_SIM);
  EXPECT_EQ(pOther->m_strPdu, kHowAreYou);

  // A second fetch gives the same records.
  CMessageArray again;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&again), PHONE_SUCCESS);
  ASSERT_EQ(again.size(), incoming.size());
  for (size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i]->GetPduKey(), incoming[i]->GetPduKey());
    EXPECT_EQ(again[i]->m_strPdu, incoming[i]->m_strPdu);
  }

  // The stored ones come back as outgoing messages with the keys of the records sent.
  CMessageArray outgoing;
  ASSERT_EQ(phone.GetOutgoingMessagesFromPhone(&outgoing), PHONE_SUCCESS);
  ASSERT_EQ(outgoing.size(), 2u);
  const CMessage* pShort = Find(outgoing, "Stored for later");
  const CMessage* pLong = Find(outgoing, "+447700900789");
  ASSERT_TRUE(pShort && pLong);
  EXPECT_EQ(pShort->GetPduKey(), stored->GetPduKey());
  EXPECT_EQ(pShort->m_nStatus, 2);
  EXPECT_EQ(pShort->m_nStorage, MSG_STORAGE_SIM);
  EXPECT_EQ(pLong->m_strMessage, strLong);
  EXPECT_EQ(pLong->GetPduKey(), longStored->GetPduKey());
  EXPECT_EQ(pLong->m_nStorage, MSG_STORAGE_PHONE);
  EXPECT_EQ(pLong->m_nValidity, 167);

  // Delete one (all three parts of the long one), then everything.
  std::string strList;
  ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
  EXPECT_EQ(std::count(strList.begin(), strList.end(), '\n'), 6);
  ASSERT_EQ(phone.DeletePhoneMessage(strList, longStored.get()), PHONE_SUCCESS);
  EXPECT_TRUE(m_pPhone->GetMessages("ME").empty());
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 3u);
  ASSERT_EQ(phone.DeletePhoneMessage(strList, pOther), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 2u);
  ASSERT_EQ(phone.DeleteAllPhoneMessages(), PHONE_SUCCESS);
  EXPECT_TRUE(m_pPhone->GetMessages("SM").empty());
  EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&none), PHONE_NO_MESSAGES);
}

TEST_F(VirtualPhoneTest, ChangesTheRateWithThePhone) {
  CVirtualPhoneConfig config;
  config.m_nBaudRate = 115200;
  StartPhone(config);
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 115200, 3000), PHONE_SUCCESS);
  ASSERT_EQ(phone.ChangeBaudRate(57600), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetBaudRate(), 57600);
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(phone.ChangeBaudRate(12345), PHONE_BAUD_REFUSED);
  EXPECT_EQ(m_pPhone->GetBaudRate(), 57600);
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
}

TEST_F(VirtualPhoneTest, SetUpFaults) {
  CVirtualPhoneConfig silent;
  silent.m_faults.m_nSilentAfter = 0;
  CVirtualPhoneConfig pin;
  pin.m_strPin = "1234";
  // Echo it will not turn off, a SIM busy for the first commands, noise before every
  // other reply and URCs in every gap: all of it is taken in stride.
  CVirtualPhoneConfig trying;
  trying.m_faults.m_bRefuseEchoOff = true;
  trying.m_faults.m_nSimBusyFor = 3;
  trying.m_faults.m_nGarbageEvery = 2;
  trying.m_faults.m_nUrcFlood = 5;
  const struct {
    const char* pszName;
    const CVirtualPhoneConfig& config;
    int nTimeOut, nCode;
  } cases[] = {{"silent from the start", silent, 300, PHONE_NOT_READY},
               {"SIM asks for a PIN", pin, 2000, PHONE_NOT_READY},
               {"a phone that tries every patience", trying, 3000, PHONE_SUCCESS}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszName);
    StartPhone(c.config);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, c.nTimeOut), c.nCode);
    if (c.nCode != PHONE_SUCCESS)
      continue;
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->m_strMessage, "How are you?");
    auto m = Outgoing("+447700900456", "through the noise");
    EXPECT_EQ(phone.SendMessageToPhone(m.get(), "AT+CMGS="), PHONE_SUCCESS);
  }
}

TEST_F(VirtualPhoneTest, FaultsAfterSetUpAreReportedWithoutPartialRecords) {
  StartPhone();
  for (int i = 0; i < 3; ++i)
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 2000), PHONE_SUCCESS);
  auto m = Outgoing("+447700900456", "hello");
  struct Case {
    const char* pszName;
    const char* pszPrefix;  // a command answered once with pszReply ("" for none)
    const char* pszReply;
    int nSilentAfter, nHangUpInListing, nTimeOut;
    std::vector<int> codes;  // of the fetch (of the send for AT+CMGS), any one of them
  } const cases[] = {
      {"SIM failure to the listing", "AT+CMGL", "+CMS ERROR: 313", -1, -1, 2000, {PHONE_ERROR_REPLY}},
      {"listing refused: read by index", "AT+CMGL", "ERROR", -1, -1, 2000, {PHONE_SUCCESS}},
      {"+CMS ERROR to the send", "AT+CMGS=", "+CMS ERROR: 500", -1, -1, 2000, {PHONE_ERROR_REPLY}},
      {"no fault", "", "", -1, -1, 2000, {PHONE_SUCCESS}},
      {"silence", "", "", 0, -1, 300, {PHONE_TIMEOUT}},
      {"hang-up in the listing", "", "", -1, 1, 2000, {PHONE_WRITE_FAILED, PHONE_TIMEOUT}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CVirtualPhoneFaults faults;
    if (*c.pszPrefix != 0)
      faults.m_vecCommandFaults = {{c.pszPrefix, c.pszReply, 1}};
    faults.m_nSilentAfter = c.nSilentAfter;
    faults.m_nHangUpInListing = c.nHangUpInListing;
    m_pPhone->SetFaults(faults);
    phone.ChangeTimeOut(c.nTimeOut);
    CMessageArray messages;
    const int nCode = std::string(c.pszPrefix) == "AT+CMGS=" ? phone.SendMessageToPhone(m.get(), "AT+CMGS=")
                                                              : phone.GetIncomingMessagesFromPhone(&messages);
    EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), nCode), c.codes.end()) << nCode;
    EXPECT_EQ(phone.GetPhoneErrorCode(), nCode);
    EXPECT_EQ(messages.size(), nCode == PHONE_SUCCESS ? 3u : 0u);
  }
}

}  // namespace
