// The string table: texts whose exact bytes matter (blanks, line breaks, tabs, odd
// spellings, key paths) and the consistency of res/resource.h with the table.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "res/StringTable.h"
#include "tests/support/TestIo.h"

TEST(StringTable, TextsKeepTheirExactBytes) {
  // Double blank before "and", in both numbers.
  const std::string strMemory =
      "There is not sufficient memory. Please close some applications  and try again.";
  EXPECT_EQ(LoadString(62), strMemory);
  EXPECT_EQ(LoadString(63), strMemory);

  // Line breaks and tabs.
  EXPECT_EQ(LoadString(149),
            "Suggested trouble-shooting:\r\n\tRestart the computer\r\n\tTurn off the phone and then turn it "
            "back on");

  // A trailing blank.
  EXPECT_TRUE(LoadString(135).ends_with("is established properly. ")) << LoadString(135);

  // Spellings as they are.
  EXPECT_EQ(LoadString(90), "All or part of teh path is invalid");
  EXPECT_EQ(LoadString(IDS_ERRDLG_THIRD), "Third paragraph of the error emssage goes here");
  EXPECT_EQ(LoadString(131), "HVDesktop.Exe");

  // The key path with single backslashes.
  EXPECT_EQ(LoadString(12), "SOFTWARE\x5CKelvane\x5CMireth");

  // Texts that are the same under two numbers.
  EXPECT_EQ(LoadString(136), LoadString(139));
  EXPECT_EQ(LoadString(112), LoadString(113));
  EXPECT_EQ(LoadString(IDS_COL_IN_STORAGE), LoadString(IDS_VAL_STORAGE));
}

// The lifetimes and baud rates are read item by item by the page tests.
TEST(StringTable, TimeOutsAreNumberedInItemOrder) {
  for (unsigned int i = 0; i < NUM_TIMEOUTS; ++i)
    EXPECT_EQ(LoadString(IDS_TIMEOUT_FIRST + i), std::to_string(i + 1));
  EXPECT_FALSE(HasString(IDS_TIMEOUT_FIRST + NUM_TIMEOUTS));
}

TEST(StringTable, MissingNumbersGiveNothing) {
  for (unsigned int n : {0u, 5u, 80u, 100u, 999u, 1999u, 0xFFFFFFFFu}) {
    EXPECT_FALSE(HasString(n)) << n;
    EXPECT_EQ(LoadString(n), "") << n;
  }
}

// Every IDS_ constant of res/resource.h names its own text: numbers are unique, each
// has a non-empty text, and an alias refers to a defined name.
TEST(StringTable, HeaderAndTableAgree) {
  const std::string strHeader = test_io::ReadFile(MIRETH_SOURCE_DIR "/res/resource.h");
  ASSERT_FALSE(strHeader.empty()) << "cannot read res/resource.h";

  const std::regex re(R"(constexpr unsigned int (IDS_\w+) = (\w+);)");
  std::map<std::string, unsigned int> names;
  std::map<unsigned int, std::string> numbers;
  std::map<std::string, std::string> aliases;
  for (auto it = std::sregex_iterator(strHeader.begin(), strHeader.end(), re); it != std::sregex_iterator();
       ++it) {
    const std::string strName = (*it)[1], strValue = (*it)[2];
    EXPECT_EQ(names.count(strName), 0u) << strName << " defined twice";
    if (strValue.rfind("IDS_", 0) == 0) {
      aliases[strName] = strValue;
      continue;
    }
    const unsigned int n = static_cast<unsigned int>(std::stoul(strValue));
    names[strName] = n;
    auto [pos, bNew] = numbers.emplace(n, strName);
    EXPECT_TRUE(bNew) << strName << " and " << pos->second << " share number " << n;
    EXPECT_TRUE(HasString(n)) << strName << " = " << n << " has no text";
    EXPECT_FALSE(LoadString(n).empty()) << strName << " = " << n << " is empty";
  }
  EXPECT_GT(names.size(), 200u);
  for (const auto& [strAlias, strTarget] : aliases)
    EXPECT_EQ(names.count(strTarget), 1u) << strAlias;
}
