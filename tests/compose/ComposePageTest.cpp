// The Compose page in its window, on a virtual phone: sending and storing, a failed
// send, the character counter and the limit of the message, the lifetimes, the
// storage buttons, and a text outside the GSM alphabet.
#include <QCheckBox>
#include <QTest>
#include <algorithm>

#include "ComposeTestSupport.h"
#include "model/PhoneInterface.h"
#include "model/PhoneStatus.h"

namespace {

const char kStorageSim[] = "\"Storage\"=dword:0000040e";    // 1038
const char kStoragePhone[] = "\"Storage\"=dword:0000040d";  // 1037

// The destination +31641600986 as TP-DA: 11 digits, international, semi-octets
// swapped with an F filler (the example of the phone's messages file).
const char kDestination[] = "+31641600986";
const char kDestinationField[] = "0B911346610089F6";
// "hellohello" in the GSM 7-bit default alphabet, packed (3GPP TS 23.038 example).
const char kHelloPacked[] = "E8329BFD4697D9EC37";

}  // namespace

class ComposePageTest : public CComposeTest {};

TEST_F(ComposePageTest, SendingWithANumberSendsAndKeepsACopyInTheOutgoingList) {
  StartPhone();
  WriteSettings({kStorageSim, "\"Service Center\"=\"+447958879879\""});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  ASSERT_EQ(pDlg->GetActivePage(), &page);
  ASSERT_TRUE(pDlg->IsPhoneReady());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  EXPECT_TRUE(m_prompt.m_errors.empty());
  EXPECT_TRUE(SimCardButton(page)->isChecked());
  EXPECT_FALSE(MobilePhoneButton(page)->isChecked());
  EXPECT_FALSE(SendButton(page)->isEnabled());
  EXPECT_EQ(LifetimeList(page)->currentIndex(), 1);  // "1 Hour" by default

  Type(NameList(page)->lineEdit(), "Alice");
  Type(NumberList(page)->lineEdit(), kDestination);
  Type(MessageEdit(page), "hellohello");
  EXPECT_EQ(Counter(page)->text(), "10 Characters in the message");
  ASSERT_TRUE(SendButton(page)->isEnabled());
  QTest::mouseClick(SendButton(page), Qt::LeftButton);

  // The box that tells it was sent.
  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(m_prompt.m_boxes[0].strText,
            "The message has been sent. A copy of the message can be found in the Outbox.");
  EXPECT_EQ(m_prompt.m_boxes[0].strCaption, "SMS Message");
  EXPECT_EQ(m_prompt.m_boxes[0].nType & 0xF, static_cast<unsigned int>(MB_OK));
  EXPECT_TRUE(m_prompt.m_errors.empty());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);

  // The record kept in the outgoing list.
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  const CMessage& sent = *page.m_pOutbox->front();
  EXPECT_EQ(sent.m_nStatus, 1);
  EXPECT_EQ(sent.m_strName, "Alice");
  EXPECT_EQ(sent.m_strNumber, kDestination);
  EXPECT_EQ(sent.m_strMessage, "hellohello");
  EXPECT_EQ(sent.m_nType, 2);
  EXPECT_EQ(sent.m_nStorage, 2);
  EXPECT_EQ(sent.m_strServiceCenter, "+447958879879");
  EXPECT_EQ(sent.m_nValidity, 12);
  // Submit, reject duplicates, relative validity; no reply path, header or charges.
  EXPECT_EQ(sent.m_wFirstOctet & 0xFF, 0x15);
  EXPECT_TRUE(sent.m_dtDateTime.IsValid());
  EXPECT_FALSE(sent.m_strDateTime.empty());
  EXPECT_TRUE(page.m_bOutboxChanged);

  // What the phone was given.
  ASSERT_TRUE(WaitForPdus(1));
  const std::vector<std::string> commands = LoggedCommands();
  ASSERT_FALSE(commands.empty());
  EXPECT_NE(std::find_if(commands.begin(), commands.end(),
                         [](const std::string& s) { return s.rfind("AT+CMGS=", 0) == 0; }),
            commands.end());
  const auto pdu = ReadSubmitPdu(LoggedPdus().back());
  ASSERT_TRUE(pdu.has_value()) << LoggedPdus().back();
  EXPECT_EQ(pdu->strAddressField, kDestinationField);
  EXPECT_EQ(pdu->nDcs, 0x00);
  EXPECT_EQ(pdu->nUdl, 10);
  EXPECT_EQ(pdu->strUserData, kHelloPacked);
  EXPECT_EQ(pdu->nRelativeValidity, 12);
  EXPECT_EQ(m_pPhone->GetSentPdus().size(), 1u);

  // The form is ready for the next message; the recipient went into the address
  // book and the text into the presets.
  EXPECT_TRUE(MessageEdit(page)->toPlainText().isEmpty());
  EXPECT_TRUE(Counter(page)->text().isEmpty());
  EXPECT_FALSE(SendButton(page)->isEnabled());
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());
  EXPECT_TRUE(NumberList(page)->currentText().isEmpty());
  ASSERT_EQ(page.GetAddressBook()->size(), 1u);
  EXPECT_EQ(page.GetAddressBook()->front()->m_strName, "Alice");
  EXPECT_EQ(NameList(page)->itemText(0), "Alice");
  EXPECT_EQ(NumberList(page)->itemText(0), kDestination);
  ASSERT_EQ(page.m_pPresets->size(), 6u);
  EXPECT_EQ(page.m_pPresets->back()->m_strMessage, "hellohello");
  EXPECT_EQ(PresetList(page)->itemText(5), "hellohello");
}

TEST_F(ComposePageTest, WithoutANumberTheMessageIsStoredOnThePhone) {
  StartPhone();
  WriteSettings({kStoragePhone});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  EXPECT_TRUE(MobilePhoneButton(page)->isChecked());

  Type(MessageEdit(page), "hellohello");
  QTest::mouseClick(SendButton(page), Qt::LeftButton);

  ASSERT_EQ(m_prompt.m_boxes.size(), 1u);
  EXPECT_EQ(
      m_prompt.m_boxes[0].strText,
      "The message has been stored on the phone so that you can send it from the phone later.");
  EXPECT_EQ(m_prompt.m_boxes[0].strCaption, "SMS Message");
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 3);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStorage, 1);

  ASSERT_TRUE(WaitForPdus(1));
  const std::vector<std::string> commands = LoggedCommands();
  EXPECT_NE(std::find_if(commands.begin(), commands.end(),
                         [](const std::string& s) { return s.rfind("AT+CMGW=", 0) == 0; }),
            commands.end());
  for (const std::string& s : commands) EXPECT_NE(s.rfind("AT+CMGS=", 0), 0u) << s;
  EXPECT_TRUE(m_pPhone->GetSentPdus().empty());
  ASSERT_EQ(m_pPhone->GetMessages("ME").size(), 1u);
  EXPECT_EQ(m_pPhone->GetMessages("ME")[0].m_nStatus, 2);  // STO UNSENT
  // No name and no number: nothing for the address book.
  EXPECT_TRUE(page.GetAddressBook()->empty());
  EXPECT_FALSE(page.m_bAddressesChanged);
}

TEST_F(ComposePageTest, AFailedSendKeepsTheTextReportsTheErrorAndEmptiesTheRecipient) {
  CVirtualPhoneConfig config;
  config.m_faults.m_vecCommandFaults.push_back({"AT+CMGS=", "+CMS ERROR: 500", -1});
  StartPhone(config);
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();

  Type(NameList(page)->lineEdit(), "Bob");
  Type(NumberList(page)->lineEdit(), kDestination);
  Type(MessageEdit(page), "Are you there?");
  QTest::mouseClick(SendButton(page), Qt::LeftButton);

  EXPECT_TRUE(m_prompt.m_boxes.empty());
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_EQ(m_prompt.m_errors[0].strFirst,
            "There is an error in sending the message. Please resend the message.");
  EXPECT_EQ(
      m_prompt.m_errors[0].strSecond,
      "This error can be caused by a severed link between the phone and the computer. Ensure "
      "the connection between the computer and the phone is established correctly. Also, "
      "please ensure that you have entered a valid Service Center Address in the Options page.");
  EXPECT_EQ(m_prompt.m_errors[0].strThird,
            "Some of the possible trouble-shooting methods of this problem include ensuring the "
            "validity of the Service Center Address and the selection of proper COM port. Turning "
            "the phone off and then back on may also fix this problem.");
  EXPECT_EQ(m_prompt.m_errors[0].strCode, "Error Code: -1000");
  EXPECT_EQ(pDlg->GetErrorCode(), -1000);
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);

  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 6);
  EXPECT_TRUE(page.m_bOutboxChanged);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "Are you there?");
  EXPECT_TRUE(NameList(page)->currentText().isEmpty());
  EXPECT_TRUE(NumberList(page)->currentText().isEmpty());
  // The recipient is learnt all the same; the text is not a preset.
  ASSERT_EQ(page.GetAddressBook()->size(), 1u);
  EXPECT_EQ(page.GetAddressBook()->front()->m_strNumber, kDestination);
  EXPECT_EQ(page.m_pPresets->size(), 5u);
  EXPECT_EQ(PresetList(page)->count(), 5);
}

TEST_F(ComposePageTest, TheCounterFollowsTheTextAndTheLimitHoldsForTypingAndPasting) {
  // No storage remembered: activation leaves m_bCanSend off, while the phone is
  // ready; one character and more characters then differ for Send.
  StartPhone();
  WriteSettings();
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  CMessageEdit* pEdit = MessageEdit(page);
  QLabel* pCounter = Counter(page);
  QPushButton* pSend = SendButton(page);
  ASSERT_TRUE(pDlg->IsPhoneReady());
  EXPECT_FALSE(page.m_bCanSend);
  EXPECT_FALSE(MobilePhoneButton(page)->isEnabled());
  EXPECT_FALSE(SimCardButton(page)->isEnabled());
  EXPECT_FALSE(MobilePhoneButton(page)->isChecked());
  EXPECT_FALSE(SimCardButton(page)->isChecked());
  EXPECT_TRUE(pCounter->text().isEmpty());

  Type(pEdit, "a");
  EXPECT_EQ(pCounter->text(), "1 Character in the message");
  EXPECT_TRUE(pCounter->isVisible());
  EXPECT_FALSE(pSend->isEnabled());
  Type(pEdit, "b");
  EXPECT_EQ(pCounter->text(), "2 Characters in the message");
  EXPECT_TRUE(pSend->isEnabled());
  Type(pEdit, QString(157, u'c'));
  EXPECT_EQ(pCounter->text(), "159 Characters in the message");
  Type(pEdit, "d");
  EXPECT_EQ(pCounter->text(), "You have reached the maximum number of characters you can enter");
  EXPECT_TRUE(pCounter->isVisible());
  EXPECT_TRUE(pSend->isEnabled());

  // The 161st character is refused, typed or pasted, and so is a line break.
  const QString strFull = pEdit->toPlainText();
  ASSERT_EQ(strFull.size(), 160);
  Type(pEdit, "e");
  QTest::keyClick(pEdit, Qt::Key_Return);
  Paste(pEdit, "fgh");
  EXPECT_EQ(pEdit->toPlainText(), strFull);
  EXPECT_EQ(pCounter->text(), "You have reached the maximum number of characters you can enter");
  // With part of the text selected, a keystroke replaces it.
  QTest::keyClick(pEdit, Qt::Key_Left, Qt::ShiftModifier);
  Type(pEdit, "z");
  EXPECT_EQ(pEdit->toPlainText(), strFull.left(159) + "z");

  QTest::keyClick(pEdit, Qt::Key_Backspace);
  EXPECT_EQ(pCounter->text(), "159 Characters in the message");
  // One character left: a line break needs two.
  QTest::keyClick(pEdit, Qt::Key_Return);
  EXPECT_EQ(pCounter->text(), "159 Characters in the message");
  Paste(pEdit, "\r\nxy");
  EXPECT_EQ(pCounter->text(), "159 Characters in the message");

  // Deleting everything hides the counter and disables Send.
  pEdit->selectAll();
  QTest::keyClick(pEdit, Qt::Key_Delete);
  EXPECT_FALSE(pCounter->isVisible());
  EXPECT_FALSE(pSend->isEnabled());

  // Two line breaks and nothing else count four.
  QTest::keyClick(pEdit, Qt::Key_Return);
  QTest::keyClick(pEdit, Qt::Key_Return);
  EXPECT_EQ(pCounter->text(), "4 Characters in the message");
  EXPECT_EQ(page.m_strMessage, "\r\n\r\n");

  // A paste is cut to what still fits: 4 + 150, then six of the eight letters.
  Paste(pEdit, QString(150, u'x'));
  EXPECT_EQ(pCounter->text(), "154 Characters in the message");
  Paste(pEdit, "abcdefgh");
  EXPECT_EQ(pEdit->toPlainText(), "\n\n" + QString(150, u'x') + "abcdef");
  EXPECT_EQ(pCounter->text(), "You have reached the maximum number of characters you can enter");

  // Pasting 160 characters into an empty edit reaches the limit at once: the text
  // says so, while the counter stays hidden as it was.
  pEdit->selectAll();
  QTest::keyClick(pEdit, Qt::Key_Delete);
  EXPECT_FALSE(pCounter->isVisible());
  Paste(pEdit, QString(200, u'y'));
  EXPECT_EQ(pEdit->toPlainText(), QString(160, u'y'));
  EXPECT_EQ(pCounter->text(), "You have reached the maximum number of characters you can enter");
  EXPECT_FALSE(pCounter->isVisible());
  EXPECT_TRUE(pSend->isEnabled());
}

TEST_F(ComposePageTest, OneCharacterEnablesSendWhenAStorageIsKnownAndTheNumberFieldFollows) {
  StartPhone();
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  EXPECT_TRUE(page.m_bCanSend);
  Type(MessageEdit(page), "k");
  EXPECT_TRUE(SendButton(page)->isEnabled());

  // Typing in the number field re-decides Send from m_bCanSend and the text.
  page.m_bCanSend = false;
  Type(NumberList(page)->lineEdit(), "1");
  EXPECT_FALSE(SendButton(page)->isEnabled());
  page.m_bCanSend = true;
  Type(NumberList(page)->lineEdit(), "2");
  EXPECT_TRUE(SendButton(page)->isEnabled());
  EXPECT_EQ(page.m_strNumber, "12");
  // The number field takes 20 characters at most.
  Type(NumberList(page)->lineEdit(), "3456789012345678901234");
  EXPECT_EQ(NumberList(page)->currentText(), "12345678901234567890");
}

TEST_F(ComposePageTest, EachLifetimeGivesItsValidityAndValidityFormat) {
  StartPhone();
  WriteSettings({kStorageSim, "\"Message Validity\"=dword:00000007"});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  QComboBox* pLifetime = LifetimeList(page);
  ASSERT_EQ(pLifetime->count(), 9);
  const char* const texts[] = {"None",    "1 Hour",  "2 Hours", "3 Hours", "4 Hours",
                               "5 Hours", "6 Hours", "1 Day",   "1 Week"};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(pLifetime->itemText(i), texts[i]);
  EXPECT_EQ(pLifetime->currentIndex(), 7);  // the stored "Message Validity"

  const int validity[] = {0, 12, 24, 36, 48, 60, 72, 167, 193};
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(texts[i]);
    Choose(pLifetime, i);
    ASSERT_EQ(pLifetime->currentIndex(), i);
    Type(NumberList(page)->lineEdit(), kDestination);
    Type(MessageEdit(page), "hellohello");
    QTest::mouseClick(SendButton(page), Qt::LeftButton);
    ASSERT_EQ(page.m_pOutbox->size(), static_cast<size_t>(i + 1));
    const CMessage& sent = *page.m_pOutbox->back();
    EXPECT_EQ(sent.m_nStatus, 1);
    EXPECT_EQ(sent.m_nValidity, validity[i]);
    // Bits 3 and 4: relative format (bit 4 alone) for a lifetime, none for "None".
    EXPECT_EQ(sent.m_wFirstOctet & 0x18, i == 0 ? 0x00 : 0x10);
    EXPECT_EQ(sent.m_wFirstOctet & 0x04, 0x04);
    EXPECT_EQ(sent.m_wFirstOctet & 0x20, 0x00);
    ASSERT_TRUE(WaitForPdus(static_cast<size_t>(i + 1)));
    const auto pdu = ReadSubmitPdu(LoggedPdus().back());
    ASSERT_TRUE(pdu.has_value());
    EXPECT_EQ(pdu->strUserData, kHelloPacked);
    if (i == 0) {
      EXPECT_FALSE(pdu->nRelativeValidity.has_value());
    } else {
      EXPECT_EQ(pdu->nRelativeValidity, validity[i]);
    }
    // After each successful send the lifetime goes back to the default.
    EXPECT_EQ(pLifetime->currentIndex(), 7);
  }
}

TEST_F(ComposePageTest, AStoredReplyChargesValueStartsTheHiddenBoxChecked) {
  StartPhone();
  WriteSettings({kStorageSim, "\"Reply Charges\"=dword:00000001"});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  auto* pBox = FindControl<QCheckBox>(&page, CComposePage::IDC_REPLY_CHARGES);
  ASSERT_NE(pBox, nullptr);
  EXPECT_FALSE(pBox->isVisible());
  EXPECT_TRUE(pBox->isChecked());
  Type(NumberList(page)->lineEdit(), kDestination);
  Type(MessageEdit(page), "hellohello");
  QTest::mouseClick(SendButton(page), Qt::LeftButton);
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_wFirstOctet & 0x20, 0x20);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 1);
}

TEST_F(ComposePageTest, TextOutsideTheGsmAlphabetTravelsAsUcs2) {
  StartPhone();
  WriteSettings({kStorageSim});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  Type(NumberList(page)->lineEdit(), kDestination);
  Type(MessageEdit(page), QStringLiteral("Привет, мир"));
  EXPECT_EQ(Counter(page)->text(), "11 Characters in the message");
  QTest::mouseClick(SendButton(page), Qt::LeftButton);

  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 1);
  EXPECT_EQ(page.m_pOutbox->front()->m_strMessage,
            "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80");
  ASSERT_TRUE(WaitForPdus(1));
  const auto pdu = ReadSubmitPdu(LoggedPdus().back());
  ASSERT_TRUE(pdu.has_value()) << LoggedPdus().back();
  EXPECT_EQ(pdu->strAddressField, kDestinationField);
  EXPECT_EQ(pdu->nDcs, 0x08);
  EXPECT_EQ(pdu->nUdl, 22);
  EXPECT_EQ(pdu->strUserData, "041F04400438043204350442002C0020043C04380440");
}

TEST_F(ComposePageTest, StorageButtonsFollowWhatThePhoneOffers) {
  // A phone with its own memory only.
  CVirtualPhoneConfig config;
  config.m_vecStorages = {"ME"};
  StartPhone(config);
  WriteSettings();
  {
    auto pDlg = OpenWindow();
    CComposePage& page = pDlg->GetComposePage();
    ASSERT_EQ(pDlg->GetPhone()->GetAvailableStorage(), 1);
    EXPECT_TRUE(MobilePhoneButton(page)->isChecked());
    EXPECT_TRUE(MobilePhoneButton(page)->isEnabled());
    EXPECT_FALSE(SimCardButton(page)->isChecked());
    EXPECT_FALSE(SimCardButton(page)->isEnabled());
    EXPECT_EQ(page.m_nStorageButton, 1037);
    EXPECT_TRUE(page.m_bCanSend);
    EXPECT_TRUE(m_prompt.m_errors.empty());
  }
}

TEST_F(ComposePageTest, BothStoragesCheckTheRememberedButtonOrElseTheSimCard) {
  StartPhone();
  WriteSettings({kStoragePhone});
  auto pDlg = OpenWindow();
  CComposePage& page = pDlg->GetComposePage();
  ASSERT_EQ(pDlg->GetPhone()->GetAvailableStorage(), 3);
  EXPECT_TRUE(MobilePhoneButton(page)->isChecked());
  EXPECT_TRUE(SimCardButton(page)->isEnabled());
  // The Options page changes the remembered button; the next activation asks the
  // phone again and follows it.
  page.SetStorageButton(1038);
  page.OnSetActive();
  EXPECT_TRUE(SimCardButton(page)->isChecked());
  EXPECT_FALSE(MobilePhoneButton(page)->isChecked());
  EXPECT_TRUE(page.m_bCanSend);
  // None remembered: both buttons off and disabled at activation.
  page.SetStorageButton(-1);
  page.OnSetActive();
  EXPECT_FALSE(SimCardButton(page)->isChecked());
  EXPECT_FALSE(SimCardButton(page)->isEnabled());
  EXPECT_FALSE(page.m_bCanSend);
  // And UpdateStorageButtons itself, with both offered and none remembered: SIM Card.
  page.UpdateStorageButtons();
  EXPECT_TRUE(SimCardButton(page)->isChecked());
  EXPECT_TRUE(MobilePhoneButton(page)->isEnabled());
  EXPECT_TRUE(page.m_bCanSend);
}

TEST_F(ComposePageTest, WithoutAPhoneTheStartErrorIsShownAndSendingReportsNoPhone) {
  WriteSettings({kStorageSim});  // COM3 points at nothing
  auto pDlg = OpenWindow();
  ASSERT_FALSE(pDlg->IsPhoneReady());
  // The window opens on the Options page; only what the Compose page reports counts.
  m_prompt.Clear();
  pDlg->SetActivePage(&pDlg->GetComposePage());
  CComposePage& page = pDlg->GetComposePage();
  ASSERT_TRUE(page.IsWindowCreated());
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
  // The window's own code (no port could be opened) is reported at the start; the
  // activation that follows tries the remembered storage and finds it unknown.
  ASSERT_EQ(m_prompt.m_errors.size(), 2u);
  EXPECT_EQ(m_prompt.m_errors[0].strFirst,
            "There is no available COM port. Please close an application that uses a COM port "
            "and try again.");
  EXPECT_EQ(m_prompt.m_errors[0].strCode, "Error Code: -994");
  EXPECT_EQ(m_prompt.m_errors[1].strFirst,
            "The message storage is unknown. Make sure you have selected the right COM port, Baud "
            "Rate, and Time Out values.");
  EXPECT_EQ(m_prompt.m_errors[1].strCode, "Error Code: -986");
  EXPECT_FALSE(MobilePhoneButton(page)->isChecked());
  EXPECT_FALSE(SimCardButton(page)->isChecked());
  EXPECT_EQ(page.m_nStorageButton, -1);
  // Activation sets m_bCanSend after asking, whatever the answer.
  EXPECT_TRUE(page.m_bCanSend);

  // Two characters would enable Send only with a phone; one follows m_bCanSend.
  Type(MessageEdit(page), "h");
  EXPECT_TRUE(SendButton(page)->isEnabled());
  Type(MessageEdit(page), "i");
  EXPECT_FALSE(SendButton(page)->isEnabled());

  // Sending anyway (the handler run directly): no phone object, code 0.
  m_prompt.Clear();
  page.OnSend();
  ASSERT_EQ(m_prompt.m_errors.size(), 1u);
  EXPECT_EQ(m_prompt.m_errors[0].strFirst,
            "Phone did not return any information. Please make sure that correct COM port, Baud "
            "Rate, and Time Out values are specified in the Options page.");
  EXPECT_EQ(m_prompt.m_errors[0].strCode, "Error Code: 0");
  ASSERT_EQ(page.m_pOutbox->size(), 1u);
  EXPECT_EQ(page.m_pOutbox->front()->m_nStatus, 6);
  EXPECT_EQ(MessageEdit(page)->toPlainText(), "hi");
  EXPECT_EQ(m_prompt.m_nWaitDepth, 0);
}
