// The phone library against the virtual phone: sending, storing, fetching and
// deleting on a real line, a phone that stores only on the SIM, and a phone that
// commits every fault of the set-up at once. The scripted tests give each answer's
// code; the dialect test runs the same round on every device.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/AtChannel.h"

namespace {

// The record of msgs whose number (or else text) is strWhat.
const CMessage* Find(const CMessageArray& msgs, const std::string& strWhat) {
  for (const auto& p : msgs)
    if (p->m_strNumber == strWhat || p->m_strMessage == strWhat)
      return p.get();
  return nullptr;
}

TEST_F(VirtualPhoneTest, APhoneWithTheSimOnlyStoresThere) {
  // Prefixed answers and a storage command of one parameter.
  CVirtualPhoneConfig config;
  config.m_vecStorages = {"SM"};
  config.m_bPrefixedInfo = true;
  config.m_nCpmsParameters = 1;
  config.m_nCmee = 2;
  config.m_strManufacturer = "Other Maker";
  StartPhone(config);
  CPhoneInterface phone;
  ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 3000), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetAvailableStorage(), MSG_STORAGE_SIM);
  ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
  EXPECT_EQ(phone.GetPhoneManufacturer(), "Other Maker");
  ASSERT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_SIM), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetPreferredStorage(0), "SM");
  EXPECT_EQ(phone.SetPreferredMessageStorage(MSG_STORAGE_PHONE), PHONE_STORAGE_UNKNOWN);
  auto stored = Outgoing("", "Kept for later", MSG_STORAGE_SIM);
  ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetMessages("SM").size(), 1u);
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
  auto sent = Outgoing("+447700900456", "Meet at 6? Bring the {map} & €5", MSG_STORAGE_SIM);
  ASSERT_EQ(phone.SendMessageToPhone(sent.get(), "AT+CMGS="), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetSentPdus(), std::vector<std::string>{sent->m_strPdu});
  auto loop = Outgoing("+447700900123", "Привет, это я", MSG_STORAGE_SIM);
  ASSERT_EQ(phone.SendMessageToPhone(loop.get(), "AT+CMGS="), PHONE_SUCCESS);
  ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);

  // Stored: one short message on the SIM, a long one (three parts) in the phone.
  auto stored = Outgoing("", "Stored for later", MSG_STORAGE_SIM);
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

TEST_F(VirtualPhoneTest, APhoneThatTriesEveryPatienceStillWorks) {
  // Echo it will not turn off, a SIM busy for the first commands, noise before every
  // other reply and URCs in every gap.
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
  auto m = Outgoing("+447700900456", "through the noise", MSG_STORAGE_SIM);
  EXPECT_EQ(phone.SendMessageToPhone(m.get(), "AT+CMGS="), PHONE_SUCCESS);
  EXPECT_EQ(m_pPhone->GetSentPdus(), std::vector<std::string>{m->m_strPdu});
}

}  // namespace
