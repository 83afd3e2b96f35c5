// The rules of the address book, the presets, the host's recipient, the lifetimes and
// the character count, on their own.
#include <gtest/gtest.h>

#include <memory>

#include "compose/AddressBook.h"

namespace {

CAddressArray Book(std::initializer_list<std::pair<const char*, const char*>> entries) {
  CAddressArray book;
  for (const auto& [pszName, pszNumber] : entries) {
    auto pEntry = std::make_unique<CAddress>();
    pEntry->SetName(pszName);
    pEntry->SetNumber(pszNumber);
    book.push_back(std::move(pEntry));
  }
  return book;
}

std::vector<std::pair<std::string, std::string>> Pairs(const CAddressArray& book) {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& pEntry : book) pairs.emplace_back(pEntry->m_strName, pEntry->m_strNumber);
  return pairs;
}

using PairList = std::vector<std::pair<std::string, std::string>>;

}  // namespace

TEST(AddressBookRules, PairsAreAddedOnceAndBareNumbersOnlyWhenUnknown) {
  CAddressArray book;
  EXPECT_TRUE(AddAddressEntry(book, "Alice", "+111", "No Name"));
  EXPECT_FALSE(AddAddressEntry(book, "Alice", "+111", "No Name"));
  // The same name with another number, and another name with the same number, are
  // new pairs; names and numbers compare exactly, letter case counting.
  EXPECT_TRUE(AddAddressEntry(book, "Alice", "+222", "No Name"));
  EXPECT_TRUE(AddAddressEntry(book, "Bob", "+111", "No Name"));
  EXPECT_TRUE(AddAddressEntry(book, "alice", "+111", "No Name"));
  EXPECT_TRUE(AddAddressEntry(book, "Alice", "+111 ", "No Name"));
  // A name without a number is a pair of its own.
  EXPECT_TRUE(AddAddressEntry(book, "Carol", "", "No Name"));
  EXPECT_FALSE(AddAddressEntry(book, "Carol", "", "No Name"));
  // Nothing at all adds nothing.
  EXPECT_FALSE(AddAddressEntry(book, "", "", "No Name"));
  // A bare number goes in as "No Name" the first time only, and not at all when the
  // book already knows the number under a name.
  EXPECT_TRUE(AddAddressEntry(book, "", "+333", "No Name"));
  EXPECT_FALSE(AddAddressEntry(book, "", "+333", "No Name"));
  EXPECT_FALSE(AddAddressEntry(book, "", "+222", "No Name"));
  // A stored entry named "NoName" (an unnamed entry from the file) counts too.
  CAddressArray loaded = Book({{"NoName", "+444"}});
  EXPECT_FALSE(AddAddressEntry(loaded, "", "+444", "No Name"));
  EXPECT_EQ(loaded.size(), 1u);

  EXPECT_EQ(Pairs(book), (PairList{{"Alice", "+111"},
                                   {"Alice", "+222"},
                                   {"Bob", "+111"},
                                   {"alice", "+111"},
                                   {"Alice", "+111 "},
                                   {"Carol", ""},
                                   {"No Name", "+333"}}));
  EXPECT_EQ(FindAddress(book, "Bob", "+111"), 2);
  EXPECT_EQ(FindAddress(book, "Bob", "+11"), -1);
  EXPECT_EQ(FindAddressByNumber(book, "+111"), 0);
  EXPECT_EQ(FindAddressByNumber(book, ""), -1);
}

TEST(PresetRules, TextsAreKeptOnceAndShownByTheirFirstLine) {
  CMessageArray presets;
  EXPECT_TRUE(AddPresetText(presets, "Happy Birthday!"));
  EXPECT_FALSE(AddPresetText(presets, "Happy Birthday!"));
  EXPECT_TRUE(AddPresetText(presets, "happy birthday!"));
  EXPECT_TRUE(AddPresetText(presets, "Line one\r\nLine two"));
  ASSERT_EQ(presets.size(), 3u);
  EXPECT_EQ(presets[2]->m_strMessage, "Line one\r\nLine two");
  EXPECT_EQ(FindPreset(presets, "happy birthday!"), 1);
  EXPECT_EQ(FindPreset(presets, "Line one"), -1);

  EXPECT_EQ(GetPresetListText("Line one\r\nLine two", "..."), "Line one...");
  EXPECT_EQ(GetPresetListText("What time is our meeting?", "..."), "What time is our meeting?");
  EXPECT_EQ(GetPresetListText("\r\nafter an empty first line", "..."), "...");
  EXPECT_EQ(GetPresetListText("a\rb", "..."), "a...");
  // A text written elsewhere with bare line feeds still shows one line.
  EXPECT_EQ(GetPresetListText("one\ntwo", "..."), "one...");
  EXPECT_EQ(GetPresetListText("", "..."), "");
}

TEST(HostRecipientRules, NumbersAreTakenOneACarriageReturnApart) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitHostNumbers("a\r\nb", 2), (V{"a", "b"}));
  EXPECT_EQ(SplitHostNumbers("a\rb\rc", 3), (V{"a", "b", "c"}));
  EXPECT_EQ(SplitHostNumbers("a\r\nb", 1), (V{"a"}));
  EXPECT_EQ(SplitHostNumbers("a\r\nb", 0), V{});
  EXPECT_EQ(SplitHostNumbers("a\r\nb", -3), V{});
  // The rest is trimmed at both ends; the text before a carriage return is not.
  EXPECT_EQ(SplitHostNumbers("a\r\n \t b  \r\n c \r\n", 3), (V{"a", "b  ", "c"}));
  // More rounds than numbers take the last one again, which adds nothing: one is
  // returned, however large the count.
  EXPECT_EQ(SplitHostNumbers("+4412345", 1000000000), (V{"+4412345"}));
  EXPECT_EQ(SplitHostNumbers("a\r\nb", 5), (V{"a", "b"}));
  // An empty number between two breaks.
  EXPECT_EQ(SplitHostNumbers("\r\nb", 2), (V{"", "b"}));
}

TEST(LifetimeRules, EachEntryHasItsValidityValue) {
  const int expected[] = {0, 12, 24, 36, 48, 60, 72, 167, 193};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(GetValidityForLifetime(i), expected[i]) << "lifetime " << i;
  for (int i : {-1, 9, 10, 255, -1000}) EXPECT_EQ(GetValidityForLifetime(i), 0) << "lifetime " << i;
}

TEST(CharacterCountRules, CharactersNotBytesAndALineBreakCountsTwo) {
  EXPECT_EQ(CountMessageCharacters(""), 0);
  EXPECT_EQ(CountMessageCharacters("a"), 1);
  EXPECT_EQ(CountMessageCharacters("\r\n\r\n"), 4);
  EXPECT_EQ(CountMessageCharacters("hi\r\nyou"), 7);
  // "Привет, мир": 11 characters in 20 bytes.
  const std::string strCyrillic =
      "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82, \xD0\xBC\xD0\xB8\xD1\x80";
  EXPECT_EQ(strCyrillic.size(), 20u);
  EXPECT_EQ(CountMessageCharacters(strCyrillic), 11);
  // A character beyond the 16-bit range (four bytes) and the euro sign (three).
  EXPECT_EQ(CountMessageCharacters("\xF0\x9F\x98\x80"), 1);
  EXPECT_EQ(CountMessageCharacters("\xE2\x82\xAC"
                                   "5"),
            2);
}
