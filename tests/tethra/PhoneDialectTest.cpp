// The phone library against every dialect the virtual phone can speak: set-up,
// identify, inbox, send, store, outbox and delete all succeed.
#include <gtest/gtest.h>

#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"
#include "tests/tethra/PhoneTestSupport.h"
#include "vphone/Dialects.h"

namespace {

const CMessage* FindText(const CMessageArray& messages, const std::string& strText) {
  for (const auto& p : messages)
    if (p->m_strMessage == strText)
      return p.get();
  return nullptr;
}

std::string Trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b, s.find_last_not_of(' ') - b + 1);
}

TEST_F(VirtualPhoneTest, EveryDialectIdentifiesFetchesSendsStoresAndDeletes) {
  ASSERT_GE(GetVirtualPhoneDialects().size(), 11u);
  for (const CVirtualPhoneDialect& d : GetVirtualPhoneDialects()) {
    SCOPED_TRACE(d.m_pszName);
    CVirtualPhoneConfig config;
    ASSERT_TRUE(ApplyVirtualPhoneDialect(d.m_pszName, config));
    StartPhone(config);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
    ASSERT_GT(m_pPhone->InjectReceivedMessage(kHowAreYou, "SM"), 0);
    const bool bCorrupt = config.m_nCorruptEntry > 0;

    CPhoneInterface phone;
    phone.SetSimPin(d.m_pszPin);
    ASSERT_EQ(phone.SetupCommPort(kPort, 9600, 1500), PHONE_SUCCESS);
    ASSERT_EQ(phone.GetPhoneInformation(), PHONE_SUCCESS);
    EXPECT_EQ(phone.GetPhoneManufacturer(), Trimmed(config.m_strManufacturer));
    EXPECT_EQ(phone.GetPhoneModel(), Trimmed(config.m_strModel));

    CMessageArray inbox;
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&inbox), PHONE_SUCCESS);
    ASSERT_EQ(inbox.size(), bCorrupt ? 1u : 2u);
    EXPECT_EQ(inbox[0]->m_strMessage, "How are you?");
    EXPECT_EQ(inbox[0]->m_nStorage, MSG_STORAGE_SIM);
    EXPECT_EQ(phone.GetDiagnostics().unreadable.size(), bCorrupt ? 1u : 0u);

    auto sent = Outgoing("+447700900456", "Sent in this dialect", MSG_STORAGE_UNKNOWN);
    ASSERT_EQ(phone.SendMessageToPhone(sent.get(), "AT+CMGS="), PHONE_SUCCESS);
    EXPECT_EQ(m_pPhone->GetSentPdus().size(), 1u);
    auto stored = Outgoing("", "Kept in this dialect", MSG_STORAGE_SIM);
    ASSERT_EQ(phone.SendMessageToPhone(stored.get(), "AT+CMGW="), PHONE_SUCCESS);

    CMessageArray outbox;
    ASSERT_EQ(phone.GetOutgoingMessagesFromPhone(&outbox), PHONE_SUCCESS);
    const CMessage* pStored = FindText(outbox, "Kept in this dialect");
    ASSERT_NE(pStored, nullptr);
    EXPECT_EQ(pStored->m_nStorage, MSG_STORAGE_SIM);
    EXPECT_EQ(pStored->GetPduKey(), stored->GetPduKey());

    std::string strList;
    ASSERT_EQ(phone.ListAllMessages(strList), PHONE_SUCCESS);
    ASSERT_EQ(phone.DeletePhoneMessage(strList, stored.get()), PHONE_SUCCESS);
    CMessageArray after;
    // Only the damaged entry is left of the outgoing ones: it cannot be told apart.
    EXPECT_EQ(phone.GetOutgoingMessagesFromPhone(&after), bCorrupt ? PHONE_BAD_PDU : PHONE_NO_MESSAGES);
    ASSERT_EQ(phone.GetIncomingMessagesFromPhone(&after), PHONE_SUCCESS);
    EXPECT_EQ(after.size(), inbox.size());
  }
}

}  // namespace
