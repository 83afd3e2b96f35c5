// The Compose page in its window, on a virtual phone: sending and storing, a failed
// send, the character counter and the limit of the message, the lifetimes, and a
// text outside the GSM alphabet.
#include <QCheckBox>
#include <QDialog>
#include <QTimer>

#include "ComposeTestSupport.h"
#include "shell/PhoneTask.h"

namespace {

// The destination +31641600986 as TP-DA: 11 digits, international, semi-octets
// swapped with an F filler.
const char kDestination[] = "+31641600986";
const char kDestinationField[] = "0B911346610089F6";
// "hellohello" in the GSM 7-bit default alphabet, packed (3GPP TS 23.038 example).
const char kHelloPacked[] = "E8329BFD4697D9EC37";

}  // namespace

class ComposePageTest : public CComposeTest {
 protected:
  // Fills the number and the text as the user does and presses Send.
  static void Send(CComposePage& page, const QString& strNumber, const QString& strText) {
    Type(NumberList(page)->lineEdit(), strNumber);
    Type(MessageEdit(page), strText);
    QTest::mouseClick(SendButton(page), Qt::LeftButton);
  }
};

TEST_F(ComposePageTest, SendingWithANumberSendsAndKeepsACopyInTheOutgoingList) {
  CComposePage& page = OpenCompose({kStorageSim, "\"Service Center\"=\"+447958879879\""});
  ASSERT_EQ(m_pDlg->GetActivePage(), &page);
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  EXPECT_TRUE(SimCardButton(page)->isChecked());
  // With a storage known one character enables Send.
  EXPECT_FALSE(SendButton(page)->isEnabled());
  Type(MessageEdit(page), "h");
  EXPECT_TRUE(SendButton(page)->isEnabled());
  Type(NameList(page)->lineEdit(), "Alice");
  Send(page, kDestination, "ellohello");

  EXPECT_EQ(m_prompt.BoxTexts(),
            std::vector<std::string>{
                "The message has been sent. A copy of the message can be found in the Outbox."});
  EXPECT_TRUE(m_prompt.m_errors.empty());
  // The record kept in the outgoing list, and what the phone was given.
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  const CMessage& sent = *page.m_pOutbox->front();
  EXPECT_EQ(Describe(sent), "Alice|+31641600986|hellohello|status 1|storage 2");
  EXPECT_EQ(sent.m_strServiceCenter, "+447958879879");
  EXPECT_TRUE(sent.GetDateTime().IsValid());
  EXPECT_EQ(SubmitText(1), std::string("DA ") + kDestinationField + " DCS 0 VP 12 UDL 10 UD " + kHelloPacked);
  // The form is ready for the next message.
  EXPECT_EQ(Form(page), "|||");
  EXPECT_FALSE(SendButton(page)->isEnabled());

  // Without a number the message is stored on the phone, to be sent from it later,
  // whatever name the field holds.
  Type(NameList(page)->lineEdit(), "Bob");
  Send(page, "", "hellohello");
  EXPECT_EQ(m_prompt.BoxTexts().back(),
            "The message has been stored on the phone so that you can send it from the phone later.");
  ASSERT_EQ(page.m_pOutbox->size(), 2u);
  EXPECT_EQ(page.m_pOutbox->back()->GetStatus(), 3);
  ASSERT_TRUE(WaitForPdus(2));
  EXPECT_EQ(m_pPhone->GetSentPdus().size(), 1u);
  ASSERT_EQ(m_pPhone->GetMessages("SM").size(), 1u);
  EXPECT_EQ(m_pPhone->GetMessages("SM")[0].m_nStatus, 2);  // STO UNSENT
}

TEST_F(ComposePageTest, AFailedSendKeepsTheTextAndRecipientAndSendTriesAgain) {
  CVirtualPhoneConfig config;
  config.m_faults.m_vecCommandFaults.push_back({"AT+CMGS=", "+CMS ERROR: 500", 1});
  CComposePage& page = OpenCompose({kStorageSim}, config);
  Type(NameList(page)->lineEdit(), "Bob");
  Send(page, kDestination, "Are you there?");

  EXPECT_TRUE(m_prompt.m_boxes.empty());
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_EQ(m_prompt.m_errors[0].strFirst,
            "There is an error in sending the message. Please resend the message.");
  EXPECT_EQ(m_prompt.m_errors[0].strCode, "Error Code: -1000");
  EXPECT_EQ(m_pDlg->GetErrorCode(), -1000);
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->GetStatus(), 6);
  EXPECT_EQ(Form(page), "Bob|+31641600986|Are you there?|14 Characters in the message");

  // Send again, as it stands: this time the phone sends it to the same number.
  QTest::mouseClick(SendButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pOutbox->size(), 2u);
  EXPECT_EQ(Describe(*page.m_pOutbox->back()), "Bob|+31641600986|Are you there?|status 1|storage 2");
  ASSERT_TRUE(WaitForPdus(1));
  EXPECT_EQ(m_prompt.m_errors.size(), 1u);
}

TEST_F(ComposePageTest, TheCounterFollowsTheTextAndTheLimitHoldsForTypingAndPasting) {
  // No storage remembered: activation leaves m_bCanSend off while the phone is
  // ready, so Send needs two characters.
  CComposePage& page = OpenCompose({});
  CMessageEdit* pEdit = MessageEdit(page);
  QLabel* pCounter = Counter(page);
  QPushButton* pSend = SendButton(page);
  const QString strFull = "You have reached the maximum number of characters you can enter";
  ASSERT_TRUE(m_pDlg->IsPhoneReady());
  EXPECT_FALSE(page.m_bCanSend);
  EXPECT_TRUE(pCounter->text().isEmpty());
  const struct {
    QString strType;
    QString strCounter;
    bool bSend;
  } steps[] = {{"a", "1 Character in the message", false},
               {"b", "2 Characters in the message", true},
               {QString(157, u'c'), "159 Characters in the message", true},
               {"d", strFull, true}};
  for (const auto& s : steps) {
    Type(pEdit, s.strType);
    EXPECT_EQ(pCounter->text(), s.strCounter);
    EXPECT_TRUE(pCounter->isVisible());
    EXPECT_EQ(pSend->isEnabled(), s.bSend);
  }
  // The 161st character is refused, typed or pasted, and so is a line break.
  const QString strText = pEdit->toPlainText();
  ASSERT_EQ(strText.size(), 160);
  Type(pEdit, "e");
  QTest::keyClick(pEdit, Qt::Key_Return);
  Paste(pEdit, "fgh");
  EXPECT_EQ(pEdit->toPlainText(), strText);
  // One character left: a line break needs two.
  QTest::keyClick(pEdit, Qt::Key_Backspace);
  QTest::keyClick(pEdit, Qt::Key_Return);
  Paste(pEdit, "\r\nxy");
  EXPECT_EQ(pCounter->text(), "159 Characters in the message");
  // Deleting everything hides the counter and disables Send; two line breaks and
  // nothing else count four.
  pEdit->selectAll();
  QTest::keyClick(pEdit, Qt::Key_Delete);
  EXPECT_FALSE(pCounter->isVisible());
  EXPECT_FALSE(pSend->isEnabled());
  QTest::keyClick(pEdit, Qt::Key_Return);
  QTest::keyClick(pEdit, Qt::Key_Return);
  EXPECT_EQ(pCounter->text(), "4 Characters in the message");
  EXPECT_EQ(page.m_strMessage, "\r\n\r\n");
  // A paste is cut to what still fits: 4 + 150, then six of the eight letters.
  Paste(pEdit, QString(150, u'x'));
  Paste(pEdit, "abcdefgh");
  EXPECT_EQ(pEdit->toPlainText(), "\n\n" + QString(150, u'x') + "abcdef");
  EXPECT_EQ(pCounter->text(), strFull);
}

TEST_F(ComposePageTest, EachLifetimeGivesItsValidityAndFlagBits) {
  CComposePage& page =
      OpenCompose({kStorageSim, "\"Message Validity\"=dword:00000007", "\"Reply Charges\"=dword:00000001"});
  QComboBox* pLifetime = LifetimeList(page);
  EXPECT_EQ(pLifetime->currentIndex(), 7);  // the stored "Message Validity"
  // The reply-charges box is hidden, and checked from the settings.
  EXPECT_FALSE(PAGE_CONTROL(QCheckBox, page, CComposePage::IDC_REPLY_CHARGES)->isVisible());
  const struct {
    const char* pszText;
    int nValidity;
  } lifetimes[] = {{"None", 0},     {"1 Hour", 12},  {"2 Hours", 24}, {"3 Hours", 36}, {"4 Hours", 48},
                   {"5 Hours", 60}, {"6 Hours", 72}, {"1 Day", 167},  {"1 Week", 193}};
  ASSERT_EQ(pLifetime->count(), 9);
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(lifetimes[i].pszText);
    EXPECT_EQ(pLifetime->itemText(i), lifetimes[i].pszText);
    Choose(pLifetime, i);
    Send(page, kDestination, "hellohello");
    ASSERT_EQ(page.m_pOutbox->size(), static_cast<size_t>(i + 1));
    const CMessage& sent = *page.m_pOutbox->back();
    EXPECT_EQ(sent.m_nValidity, lifetimes[i].nValidity);
    // Bits 3 and 4: relative format (bit 4 alone) for a lifetime, none for "None";
    // bit 2 rejects duplicates, bit 5 accepts reply charges.
    EXPECT_EQ(sent.m_wFirstOctet & 0x3C, (i == 0 ? 0x00 : 0x10) | 0x04 | 0x20);
    EXPECT_EQ(SubmitText(static_cast<size_t>(i + 1)),
              std::string("DA ") + kDestinationField + " DCS 0 VP " +
                  (i == 0 ? "-" : std::to_string(lifetimes[i].nValidity)) + " UDL 10 UD " + kHelloPacked);
    EXPECT_EQ(pLifetime->currentIndex(), 7);  // back to the default after each send
  }
}

TEST_F(ComposePageTest, BelowTheCountALineTellsWhenTheTextGoesAsSeveralMessagesOrInUcs2) {
  CComposePage& page = OpenCompose();
  const QLabel* pSize = PAGE_CONTROL(QLabel, page, CComposePage::IDC_MESSAGE_SIZE);
  // The line follows the measure of the text (its limits are the rules' own tests);
  // the count stays a count of characters.
  Paste(MessageEdit(page), QString(135, QChar(0x0416)));
  EXPECT_EQ(Counter(page)->text().toStdString(), "135 Characters in the message");
  EXPECT_EQ(pSize->text().toStdString(), "Goes as 3 messages in UCS2 (Unicode)");
  // The text leaves as the three messages the line promised, in UCS2, and is kept
  // as it was written.
  Send(page, kDestination, QString());
  ASSERT_TRUE(WaitForPdus(3));
  EXPECT_TRUE(pSize->text().isEmpty());
  EXPECT_EQ(SubmitText(1).rfind(std::string("DA ") + kDestinationField + " DCS 8 ", 0), 0u) << SubmitText(1);
  EXPECT_EQ(Describe(*page.m_pOutbox->front()),
            "|+31641600986|" + QString(135, QChar(0x0416)).toStdString() + "|status 1|storage 2");
}

TEST_F(ComposePageTest, ASendCancelledInTheProgressDialogLeavesTheOutgoingListAsItWas) {
  // A phone slow enough (1200 bits a second) for the progress dialog to come up in a
  // message of three parts; Cancel is clicked as soon as it does.
  CVirtualPhoneConfig config;
  config.m_nBaudRate = 1200;
  CComposePage& page = OpenCompose({kStorageSim}, config);
  const QString strText(135, QChar(0x0416));
  Paste(MessageEdit(page), strText);
  bool bCancelled = false;
  QTimer cancel;
  QObject::connect(&cancel, &QTimer::timeout, [&bCancelled] {
    if (QDialog* pDialog = CPhoneTask::GetProgressDialog(); pDialog != nullptr && !bCancelled) {
      pDialog->findChild<QPushButton*>()->click();
      bCancelled = true;
    }
  });
  cancel.start(20);
  Send(page, kDestination, QString());
  ASSERT_TRUE(bCancelled);
  EXPECT_TRUE(page.m_pOutbox->empty());
  EXPECT_TRUE(m_prompt.m_boxes.empty() && m_prompt.m_errors.empty());
  EXPECT_EQ(MessageEdit(page)->toPlainText(), strText);  // kept for another try
}
