// The phone library against the virtual phone: set-up, information, storages,
// sending, storing, fetching, deleting, rate changes, and every fault the phone can
// be made to commit.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/VirtualPhone.h"
#include "tethra/AtChannel.h"
#include "tethra/PduEncoder.h"

namespace {

// "How are you?" from +31641600986.
const char kHowAreYou[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

std::unique_ptr<CMessage> Outgoing(const std::string& strNumber, const std::string& strText,
                                   int nStorage = MSG_STORAGE_SIM) {
  auto p = std::make_unique<CMessage>();
  CMessage& m = *p;
  m.m_strNumber = strNumber;
  m.m_strMessage = strText;
  m.m_nStorage = nStorage;
  m.m_nType = 2;
  m.SetSubmitType();
  m.SetRelativeValidity(true);
  m.SetRejectDuplicates(true);
  m.m_nValidity = 167;
  return p;
}

TEST_F(VirtualPhoneTest, SetsUpAndReadsInformationAndStorages) {
  StartPhone();
  CPhoneInterface phone;
  uint64_t nBefore = CAtChannel::GetTraffic().nCommands;
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
  m_pPhone->Stop();
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
  EXPECT_EQ(other.GetPhoneModel(), "VP-1");
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
  EXPECT_TRUE(none.empty());

  // Sent to another number: goes out as written.
  auto sent = Outgoing("+447700900456", "Meet at 6? Bring the {map} & €5");
  ASSERT_EQ(phone.SendMessageToPhone(sent.get(), "AT+CMGS="), PHONE_SUCCESS);
  ASSERT_EQ(m_pPhone->GetSentPdus().size(), 1u);
  EXPECT_EQ(m_pPhone->GetSentPdus()[0], sent->m_strPdu);

  // Sent to the phone's own number: comes back as a received message.
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
  const CMessage* pLoop = incoming[0]->m_strNumber == "+447700900123" ? incoming[0].get() : incoming[1].get();
  const CMessage* pOther = pLoop == incoming[0].get() ? incoming[1].get() : incoming[0].get();
  EXPECT_EQ(pLoop->m_strMessage, "Привет, это я");
  EXPECT_EQ(pLoop->m_wFirstOctet & 0x03, 0);
  EXPECT_TRUE(pLoop->m_dtDateTime.IsValid());
  EXPECT_FALSE(pLoop->m_strDateTime.empty());
  EXPECT_FALSE(pLoop->m_strServiceCenter.empty());
  EXPECT_EQ(pOther->m_strMessage, "How are you?");
  EXPECT_EQ(pOther->m_strNumber, "+31641600986");
  EXPECT_EQ(pOther->m_nStorage, MSG_STORAGE_SIM);
  EXPECT_EQ(pOther->m_strPdu, kHowAreYou);

  // A second fetch gives the same records.
  CMessageArray again;
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&again), PHONE_SUCCESS);
  ASSERT_EQ(again.size(), incoming.size());
  for (size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i]->GetPduKey(), incoming[i]->GetPduKey());
    EXPECT_EQ(again[i]->m_strMessage, incoming[i]->m_strMessage);
    EXPECT_EQ(again[i]->m_strPdu, incoming[i]->m_strPdu);
  }

  // The stored ones come back as outgoing messages with the keys of the records sent.
  CMessageArray outgoing;
  ASSERT_EQ(phone.GetOutgoingMessagesFromPhone(&outgoing), PHONE_SUCCESS);
  ASSERT_EQ(outgoing.size(), 2u);
  const CMessage* pShort = outgoing[0]->m_strMessage == "Stored for later" ? outgoing[0].get() : outgoing[1].get();
  const CMessage* pLong = pShort == outgoing[0].get() ? outgoing[1].get() : outgoing[0].get();
  EXPECT_EQ(pShort->GetPduKey(), stored->GetPduKey());
  EXPECT_EQ(pShort->m_nStatus, 2);
  EXPECT_EQ(pShort->m_nStorage, MSG_STORAGE_SIM);
  EXPECT_EQ(pLong->m_strMessage, strLong);
  EXPECT_EQ(pLong->m_strNumber, "+447700900789");
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

TEST_F(VirtualPhoneTest, MapsEachFaultToItsCode) {
  {
    SCOPED_TRACE("silent from the start");
    CVirtualPhoneConfig config;
    config.m_faults.m_nSilentAfter = 0;
    StartPhone(config);
    CPhoneInterface phone;
    EXPECT_EQ(phone.SetupCommPort(kPort, 9600, 300), PHONE_NOT_READY);
    m_pPhone->Stop();
  }
  {
    SCOPED_TRACE("SIM asks for a PIN");
    CVirtualPhoneConfig config;
    config.m_strPin = "1234";
    StartPhone(config);
    CPhoneInterface phone;
    EXPECT_EQ(phone.SetupCommPort(kPort, 9600, 2000), PHONE_NOT_READY);
    m_pPhone->Stop();
  }
  {
    SCOPED_TRACE("a phone that tries every patience");
    // Echo it will not turn off, a SIM busy for the first commands, noise before
    // every other reply and URCs in every gap: all of it is taken in stride.
    CVirtualPhoneConfig config;
    config.m_faults.m_bRefuseEchoOff = true;
    config.m_faults.m_nSimBusyFor = 3;
    config.m_faults.m_nGarbageEvery = 2;
    config.m_faults.m_nUrcFlood = 5;
    StartPhone(config);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
    CPhoneInterface phone;
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 3000), PHONE_SUCCESS);
    CMessageArray messages;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->m_strMessage, "How are you?");
    auto m = Outgoing("+447700900456", "through the noise");
    EXPECT_EQ(phone.SendMessageToPhone(m.get(), "AT+CMGS="), PHONE_SUCCESS);
    m_pPhone->Stop();
  }

  // Faults after a good set-up.
  StartPhone();
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "ME"), 0);
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 2000), PHONE_SUCCESS);
  auto m = Outgoing("+447700900456", "hello");
  CMessageArray messages;

  CVirtualPhoneFaults faults;
  faults.m_vecCommandFaults = {{"AT+CMGL", "ERROR", 1}};
  m_pPhone->SetFaults(faults);
  EXPECT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_ERROR_REPLY);
  EXPECT_TRUE(messages.empty());

  faults.m_vecCommandFaults = {{"AT+CMGS=", "+CMS ERROR: 500", 1}};
  m_pPhone->SetFaults(faults);
  EXPECT_EQ(phone.SendMessageToPhone(m.get(), "AT+CMGS="), PHONE_ERROR_REPLY);
  EXPECT_EQ(phone.GetPhoneErrorCode(), PHONE_ERROR_REPLY);

  m_pPhone->SetFaults(CVirtualPhoneFaults());
  ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&messages), PHONE_SUCCESS);
  EXPECT_EQ(messages.size(), 3u);
  messages.clear();

  phone.ChangeTimeOut(300);
  faults = CVirtualPhoneFaults();
  faults.m_nSilentAfter = 0;
  m_pPhone->SetFaults(faults);
  EXPECT_EQ(phone.GetPhoneInformation(), PHONE_TIMEOUT);

  phone.ChangeTimeOut(2000);
  faults = CVirtualPhoneFaults();
  faults.m_nHangUpInListing = 1;
  m_pPhone->SetFaults(faults);
  int nCode = phone.GetIncomingMessagesFromPhone(&messages);
  EXPECT_TRUE(nCode == PHONE_WRITE_FAILED || nCode == PHONE_TIMEOUT) << nCode;
  EXPECT_TRUE(messages.empty());
}

}  // namespace
