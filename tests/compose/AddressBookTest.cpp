// The rules of the address book, the presets, the host's recipient and the character
// count, on their own.
#include <gtest/gtest.h>

#include <memory>

#include "compose/AddressBook.h"
#include "compose/MessageSize.h"

namespace {

using PairList = std::vector<std::pair<std::string, std::string>>;

PairList Pairs(const CAddressArray& book) {
  PairList pairs;
  for (const auto& pEntry : book)
    pairs.emplace_back(pEntry->GetName(), pEntry->GetNumber());
  return pairs;
}

}  // namespace

TEST(AddressBookRules, PairsAreAddedOnceAndBareNumbersOnlyWhenUnknown) {
  // Names and numbers compare exactly, letter case and blanks counting; a name
  // without a number is a pair of its own; nothing at all adds nothing; a bare number
  // goes in as "No Name" the first time only, and not at all when the book knows it.
  const struct {
    const char *pszName, *pszNumber;
    bool bAdded;
  } steps[] = {{"Alice", "+111", true}, {"Alice", "+111", false}, {"Alice", "+222", true},
               {"Bob", "+111", true},   {"alice", "+111", true},  {"Alice", "+111 ", true},
               {"Carol", "", true},     {"Carol", "", false},     {"", "", false},
               {"", "+333", true},      {"", "+333", false},      {"", "+222", false}};
  CAddressArray book;
  for (const auto& s : steps)
    EXPECT_EQ(AddAddressEntry(book, s.pszName, s.pszNumber, "No Name"), s.bAdded) << s.pszName << s.pszNumber;
  EXPECT_EQ(Pairs(book), (PairList{{"Alice", "+111"},
                                   {"Alice", "+222"},
                                   {"Bob", "+111"},
                                   {"alice", "+111"},
                                   {"Alice", "+111 "},
                                   {"Carol", ""},
                                   {"No Name", "+333"}}));
  EXPECT_EQ(FindAddress(book, "Bob", "+111"), 2);
  EXPECT_EQ(FindAddressByNumber(book, ""), -1);
  // A stored entry named "NoName" (an unnamed entry from the file) counts too.
  CAddressArray loaded;
  loaded.push_back(std::make_unique<CAddress>());
  loaded[0]->SetName("NoName");
  loaded[0]->SetNumber("+444");
  EXPECT_FALSE(AddAddressEntry(loaded, "", "+444", "No Name"));
}

TEST(AddressBookRules, AMergeAddsOnlyNewPairsAndSortsOnlyWhenItAdded) {
  // A book as it came from outside, out of order, with an entry without a name.
  auto book0 = [] {
    CAddressArray book;
    for (const auto& [strName, strNumber] : PairList{{"Zoe", "+9"}, {"", "+8"}, {"Anna", "+1"}}) {
      book.push_back(std::make_unique<CAddress>());
      book.back()->SetName(strName);
      book.back()->SetNumber(strNumber);
    }
    return book;
  };
  const struct {
    PairList merged;
    int nAdded;
    PairList after;
  } cases[] = {
      // Everything known (a bare number the book has under no name too): the book is
      // left exactly as it was, so nothing needs writing.
      {{{"Zoe", "+9"}, {"", "+8"}, {"", "+1"}, {"", ""}}, 0, {{"Zoe", "+9"}, {"", "+8"}, {"Anna", "+1"}}},
      // One new pair: added once, then the book is put in the loaded order, the
      // unnamed entry named as a loaded one is.
      {{{"Bob", "+2"}, {"Bob", "+2"}, {"", "+3"}},
       2,
       {{"", "+8"}, {"Anna", "+1"}, {"Bob", "+2"}, {"No Name", "+3"}, {"Zoe", "+9"}}},
  };
  for (const auto& c : cases) {
    CAddressArray book = book0();
    EXPECT_EQ(MergeAddressEntries(book, c.merged, "No Name"), c.nAdded);
    PairList expected = c.after;
    if (c.nAdded > 0)
      expected[0].first = "NoName";
    EXPECT_EQ(Pairs(book), expected);
  }
}

TEST(PresetRules, TextsAreKeptOnceAndShownByTheirFirstLine) {
  CMessageArray presets;
  EXPECT_TRUE(AddPresetText(presets, "Happy Birthday!"));
  EXPECT_FALSE(AddPresetText(presets, "Happy Birthday!"));
  EXPECT_TRUE(AddPresetText(presets, "happy birthday!"));
  EXPECT_EQ(FindPreset(presets, "happy birthday!"), 1);
  const std::pair<const char*, const char*> shown[] = {
      {"Line one\r\nLine two", "Line one..."},
      {"What time is our meeting?", "What time is our meeting?"},
      {"\r\nafter an empty first line", "..."},
      {"a\rb", "a..."},
      {"one\ntwo", "one..."},
      {"", ""}};
  for (const auto& [pszText, pszShown] : shown)
    EXPECT_EQ(GetPresetListText(pszText, "..."), pszShown);
}

TEST(HostRecipientRules, NumbersAreTakenOneACarriageReturnApart) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitHostNumbers("a\rb\rc", 3), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitHostNumbers("a\r\nb", 1), (V{"a"}));
  EXPECT_EQ(SplitHostNumbers("a\r\nb", -3), V{});
  // The rest is trimmed at both ends; the text before a carriage return is not.
  EXPECT_EQ(SplitHostNumbers("a\r\n \t b  \r\n c \r\n", 3), (V{"a", "b  ", "c"}));
  // More rounds than numbers take the last one again, which adds nothing.
  EXPECT_EQ(SplitHostNumbers("+4412345", 1000000000), (V{"+4412345"}));
  EXPECT_EQ(SplitHostNumbers("\r\nb", 2), (V{"", "b"}));
}

TEST(CharacterCountRules, CharactersNotBytesAndALineBreakCountsTwo) {
  // "Привет, мир" is 11 characters in 20 bytes; a character beyond the 16-bit range
  // is one, the euro sign one.
  const std::pair<const char*, int> cases[] = {
      {"", 0}, {"\r\n\r\n", 4}, {"hi\r\nyou", 7}, {"Привет, мир", 11}, {"\xF0\x9F\x98\x80", 1}, {"€5", 2}};
  for (const auto& [pszText, nCount] : cases)
    EXPECT_EQ(CountMessageCharacters(pszText), nCount) << pszText;
}

TEST(MessageSizeRules, PartsAndAlphabetFollowTheLimitsOfOneMessage) {
  // One message holds 160 septets or 70 UCS2 characters; each part of a longer one
  // 153 septets or 67 UCS2 characters (3GPP TS 23.040, an 8-bit reference header).
  const std::string strZhe = "\xD0\x96";       // U+0416, UTF-8
  const std::string strEuro = "\xE2\x82\xAC";  // U+20AC, two septets
  auto repeat = [](const std::string& s, int n) {
    std::string strOut;
    for (int i = 0; i < n; ++i)
      strOut += s;
    return strOut;
  };
  const struct {
    std::string strText;
    int nParts;
    bool bUcs2;
    const char* pszLine;
  } cases[] = {
      {"", 0, false, ""},
      {repeat("a", 160), 1, false, ""},
      {repeat("a", 161), 2, false, "Goes as 2 messages"},
      {repeat("a", 306), 2, false, "Goes as 2 messages"},
      {repeat("a", 307), 3, false, "Goes as 3 messages"},
      {repeat(strEuro, 80), 1, false, ""},
      {repeat(strEuro, 81), 2, false, "Goes as 2 messages"},
      {"line\r\nbreak", 1, false, ""},
      {repeat(strZhe, 70), 1, true, "Goes in UCS2 (Unicode)"},
      {repeat(strZhe, 71), 2, true, "Goes as 2 messages in UCS2 (Unicode)"},
      {repeat(strZhe, 134), 2, true, "Goes as 2 messages in UCS2 (Unicode)"},
      {repeat(strZhe, 135), 3, true, "Goes as 3 messages in UCS2 (Unicode)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pszLine + std::string(" / ") + std::to_string(c.strText.size()));
    const CMessageSize size = MeasureMessage(c.strText);
    EXPECT_EQ(size.nParts, c.nParts);
    EXPECT_EQ(size.bUcs2, c.bUcs2);
    EXPECT_EQ(DescribeMessageSize(size), c.pszLine);
  }
}
