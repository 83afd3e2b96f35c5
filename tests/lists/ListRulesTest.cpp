// The rules of the message lists that need no window: which fetched messages a list
// keeps (keys, and a fuller copy of an incomplete long message), erasing rows, naming
// senders from the address book, and the text of a Date and Time cell.

#include <unordered_set>

#include "lists/ListDates.h"
#include "lists/ListEdits.h"
#include "lists/SenderNames.h"
#include "tests/lists/ListsTestSupport.h"

namespace {

// A received message with a PDU (and so a key), a number and the places it was read
// from.
std::unique_ptr<CMessage> Msg(const std::string& strPdu, const std::string& strNumber = "+31641600986",
                              const std::string& strPlaces = "SM:1", const std::string& strText = "") {
  auto p = std::make_unique<CMessage>();
  p->m_strPdu = strPdu;
  p->SetNumber(strNumber);
  p->m_strExtra = strPlaces;
  p->SetMessage(strText.empty() ? strPdu : strText);
  return p;
}

std::vector<std::string> Texts(const CMessageArray& list) {
  std::vector<std::string> texts;
  for (const auto& p : list)
    texts.push_back(p->GetMessage());
  return texts;
}

// SMS-DELIVER "How are you?" from +31641600986 (3GPP TS 23.040 layout), behind a
// service-centre part, and the same transfer unit behind another service centre.
const std::string kTpdu = "040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
const std::string kDutch = "07911326040000F0" + kTpdu;
const std::string kDutchOtherCentre = "0791448720003023" + kTpdu;
// SMS-SUBMIT "Call me when you land." to +447700900456 with message reference 00,
// and the same submit with reference 2A (the octet after the first).
const std::string kSubmit = "0011000C914477000940650000A716C3309B0D6A97417774D90DCABFEB2076D84D7601";
const std::string kSubmitRef2A = "00112A0C914477000940650000A716C3309B0D6A97417774D90DCABFEB2076D84D7601";

}  // namespace

TEST(MessageKeysTest, HashingFromThePduAgreesWithTheKeyItself) {
  // Well-formed PDUs and the odd texts a damaged store file may hold: lower-case or
  // non-hex service-centre lengths, lengths past the end, one character, nothing.
  for (const std::string& strPdu :
       {kDutch, kDutchOtherCentre, kSubmit, LongPart(2, "Part two. "), std::string("0011000C91"),
        std::string("07911326040000F0"), std::string("07"), std::string("0"), std::string(""),
        std::string("ff1122334455"), std::string("0a11223344556677"), std::string("ZZ0011223344"),
        std::string("F0112233"),
        std::string("00\x80\xFF"
                    "AB")}) {
    CMessage message;
    message.m_strPdu = strPdu;
    EXPECT_EQ(CMessageKeys::HashPduKey(strPdu), CMessageKeys::HashKey(message.GetPduKey()))
        << "PDU \"" << strPdu << "\"";
  }
}

TEST(MergeFetchedTest, KeepsEachKeyOnceAndAppendsInFetchOrder) {
  struct SCase {
    const char* pszName;
    std::vector<std::string> stored, fetched;
    std::vector<std::string> expected;  // the list's PDUs afterwards
    size_t nAdded;
  };
  const std::vector<SCase> cases = {
      {"new after stored", {kDutch}, {kSubmit}, {kDutch, kSubmit}, 1},
      // The key leaves out the service centre: the same message through another
      // centre is the one already stored.
      {"another service centre", {kDutch}, {kDutchOtherCentre}, {kDutch}, 0},
      // ... and the octet after the first (a submit's message reference).
      {"another reference", {kSubmit}, {kSubmitRef2A}, {kSubmit}, 0},
      // Messages added by this fetch count too.
      {"twice in one fetch", {}, {kSubmit, kDutch, kSubmitRef2A}, {kSubmit, kDutch}, 2},
      // A loaded list may hold a key twice; that stays as it is.
      {"stored twice", {kDutch, kDutch}, {kDutch, kSubmit}, {kDutch, kDutch, kSubmit}, 1},
      {"nothing fetched", {kDutch}, {}, {kDutch}, 0},
  };
  for (const SCase& c : cases) {
    CMessageArray list, fetched;
    for (const auto& s : c.stored)
      list.push_back(Msg(s));
    for (const auto& s : c.fetched)
      fetched.push_back(Msg(s));
    const CFetchMerge merged = MergeFetched(
        list, fetched, [](CMessage& m) { m.SetSenderName("named"); }, false);
    std::vector<std::string> pdus;
    for (const auto& p : list)
      pdus.push_back(p->m_strPdu);
    EXPECT_EQ(pdus, c.expected) << c.pszName;
    EXPECT_EQ(merged.nAdded, c.nAdded) << c.pszName;
    EXPECT_EQ(merged.nReplaced, 0u) << c.pszName;
    EXPECT_TRUE(fetched.empty()) << c.pszName;
    for (size_t i = c.stored.size(); i < list.size(); ++i)
      EXPECT_EQ(list[i]->GetSenderName(), "named");
  }
}

TEST(MergeFetchedTest, AFullerLongMessageReplacesItsIncompleteCopyInPlace) {
  const std::string p1 = LongPart(1, "Part one. "), p2 = LongPart(2, "Part two. "),
                    p3 = LongPart(3, "Part three.");
  struct SCase {
    const char* pszName;
    std::string strStoredPdu, strStoredPlaces, strStoredNumber;
    std::string strFetchedPdu, strFetchedPlaces;
    bool bReplaced;
  };
  const std::vector<SCase> cases = {
      {"last part came later", p1 + p2, "SM:1,SM:2", "+31641600986", p1 + p2 + p3, "SM:1,SM:2,SM:3", true},
      {"middle part came later", p1 + p3, "SM:1,SM:3", "+31641600986", p1 + p2 + p3, "SM:1,SM:2,SM:3", true},
      {"records without places", p1 + p2, "", "+31641600986", p1 + p2 + p3, "", true},
      // Not copies: another sender, a longer stored copy, as many places, another
      // message.
      {"another sender", p1 + p2, "SM:1,SM:2", "+4711", p1 + p2 + p3, "SM:1,SM:2,SM:3", false},
      {"stored is the fuller", p1 + p2 + p3, "SM:1,SM:2,SM:3", "+31641600986", p1 + p2, "SM:1,SM:2", false},
      {"same number of places", p2, "SM:2", "+31641600986", p1 + p3, "SM:1", false},
      {"unrelated message", kDutch, "SM:1", "+31641600986", p1 + p2 + p3, "SM:1,SM:2,SM:3", false},
  };
  for (const SCase& c : cases) {
    CMessageArray list, fetched;
    list.push_back(Msg(kSubmit, "+1", "ME:1", "before"));
    list.push_back(Msg(c.strStoredPdu, c.strStoredNumber, c.strStoredPlaces, "stored"));
    list.push_back(Msg(kSubmitRef2A + "00", "+2", "ME:2", "after"));
    fetched.push_back(Msg(c.strFetchedPdu, "+31641600986", c.strFetchedPlaces, "fetched"));
    EXPECT_EQ(IsIncompleteCopyOf(*list[1], *fetched[0]), c.bReplaced) << c.pszName;
    const CFetchMerge merged = MergeFetched(list, fetched, nullptr, true);
    EXPECT_EQ(Texts(list), c.bReplaced ? (std::vector<std::string>{"before", "fetched", "after"})
                                       : (std::vector<std::string>{"before", "stored", "after", "fetched"}))
        << c.pszName;
    EXPECT_EQ(merged.nReplaced, c.bReplaced ? 1u : 0u) << c.pszName;

    // The next fetch of the same message finds it stored, whichever way it came in.
    CMessageArray again;
    again.push_back(Msg(c.strFetchedPdu, "+31641600986", c.strFetchedPlaces, "again"));
    EXPECT_FALSE(MergeFetched(list, again, nullptr, true).Any()) << c.pszName;
  }

  // Without the replacement (the Outbox) the fuller copy is only appended.
  CMessageArray list, fetched;
  list.push_back(Msg(p1 + p2, "+31641600986", "SM:1,SM:2", "stored"));
  fetched.push_back(Msg(p1 + p2 + p3, "+31641600986", "SM:1,SM:2,SM:3", "fetched"));
  MergeFetched(list, fetched, nullptr, false);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"stored", "fetched"}));
}

// What another program stored in the file while the window had the list open is
// kept when the list replaces the file; what the user deleted here stays deleted.
TEST(KeepAddedElsewhereTest, AppendsTheFilesNewMessagesButNotTheDeletedOnes) {
  CMessageArray list;
  list.push_back(Msg(kDutch, "+31641600986", "SM:1", "kept"));
  CMessageArray onFile;
  onFile.push_back(Msg(kDutchOtherCentre, "+31641600986", "SM:1", "same key, other centre"));
  onFile.push_back(Msg(LongPart(1, "deleted here"), "+31641600986", "SM:2", "deleted here"));
  onFile.push_back(Msg(LongPart(2, "watch added"), "+31641600986", "SM:3", "watch added"));
  const std::unordered_set<std::string> deleted{onFile[1]->GetPduKey()};
  EXPECT_EQ(KeepAddedElsewhere(list, onFile, deleted), 1u);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"kept", "watch added"}));
  EXPECT_TRUE(onFile.empty());
}

TEST(SenderNamesTest, DigitsAreComparedOnBothSidesTheLastNineWhenBothHaveNine) {
  CAddressArray book;
  for (const auto& [pszName, pszNumber] :
       std::vector<std::pair<const char*, const char*>>{{"Alice", "+44 7700 900555"},
                                                        {"Alice again", "07700900555"},
                                                        {"Short", "+47 11"},
                                                        {"Office", "0800-123"},
                                                        {"No digits", "reception"},
                                                        {"Empty", ""}}) {
    book.push_back(std::make_unique<CAddress>());
    book.back()->SetName(pszName);
    book.back()->SetNumber(pszNumber);
  }
  const CSenderNames names(&book);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"+447700900555", "Alice"},  // international form of a book entry with blanks
      {"07700900555", "Alice"},    // national form: the first entry wins
      {"+447700900556", ""},       // one digit off
      {"4711", "Short"},           // under 9 digits: all digits compared
      {"04711", ""},               // a leading zero makes it another short number
      {"0800123", "Office"},
      {"700900555", "Alice"},  // nine digits: the last nine of the entry
      {"70090055", ""},        // eight digits against an entry of eleven
      {"Vodafone", ""},        // an alphanumeric sender is never named
      {"", ""},
  };
  for (const auto& [strSender, strName] : cases)
    EXPECT_EQ(names.Lookup(strSender), strName) << strSender;
  EXPECT_EQ(CSenderNames(nullptr).Lookup("+447700900555"), "");
}

TEST(ListDatesTest, FourDigitYearsAndNoTimeAtMidnight) {
  const std::vector<std::pair<std::string, std::string>> formats = {
      {"%m/%d/%y", "%m/%d/%Y"}, {"%d.%m.%Y", "%d.%m.%Y"}, {"%D", "%m/%d/%Y"},         {"%Ey", "%Y"},
      {"%%y", "%%y"},           {"%y-%m-%d", "%Y-%m-%d"}, {"%d/%m/%y%", "%d/%m/%Y%"},
  };
  for (const auto& [strIn, strOut] : formats)
    EXPECT_EQ(FourDigitYearFormat(strIn), strOut) << strIn;

  locale_t c = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  ASSERT_NE(c, static_cast<locale_t>(0));
  const std::vector<std::pair<CDateTime, std::string>> dates = {
      {CDateTime(2002, 8, 26, 17, 13, 41), "08/26/2002 17:13:41"},
      {CDateTime(2024, 4, 28, 0, 0, 0), "04/28/2024"},  // midnight: the date alone
      {CDateTime(2024, 4, 28, 0, 0, 1), "04/28/2024 00:00:01"},
      {CDateTime(45000.5, CDateTime::invalid), ""},
      {CDateTime(45000.5, CDateTime::null), ""},
  };
  for (const auto& [dt, strText] : dates)
    EXPECT_EQ(FormatListDateTime(dt, c), strText) << dt.GetDate();
  freelocale(c);
}
