// `mireth store write` reads its JSON lines in blocks of a megabyte: records whose
// lines cross the blocks' edges, a line longer than a block, blank lines and a last
// line without its line end all arrive whole and in order; a bad line leaves the file
// as it was. `store dump` to an output that takes nothing more fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/Message.h"
#include "model/StoreFile.h"
#include "tests/support/TestIo.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string strText;
  for (const std::string& strLine : lines)
    strText += strLine + '\n';
  strText.pop_back();  // the last line has no line end
  return strText;
}

TEST(StoreWrite, EveryLineArrivesWholeWhateverTheBlockEdges) {
  std::vector<std::string> texts, lines;
  for (size_t i = 0; i < 3000; ++i) {
    texts.push_back(std::string(i == 1234 ? (3 << 19) : 100 + i % 900, static_cast<char>('a' + i % 26)));
    lines.push_back("{\"class\":\"CMessage\",\"m_strNumber\":\"+49" + std::to_string(i) +
                    "\",\"m_strMessage\":\"" + texts.back() + "\"}");
    if (i % 500 == 0)
      lines.emplace_back(" ");
  }
  const std::string strFolder = ::testing::TempDir() + "store-write-" + std::to_string(getpid()) + "/";
  const auto write = [&](const std::vector<std::string>& input, std::string& strOut) {
    test_io::WriteFile(strFolder + "in.jsonl", Joined(input));
    return test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' store write '" + strFolder +
                                       "SMSIn.Dat' < '" + strFolder + "in.jsonl' 2>&1",
                                   strOut);
  };
  std::string strOut;
  ASSERT_EQ(write(lines, strOut), 0) << strOut;
  CMessageArray list;
  ASSERT_TRUE(ReadStoreFile(strFolder + "SMSIn.Dat", list).IsOk());
  ASSERT_EQ(list.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(list[i]->m_strNumber, "+49" + std::to_string(i)) << i;
    ASSERT_EQ(list[i]->m_strMessage, texts[i]) << i;
  }

  // Bad lines far into the input: the first is refused by its number, the file is
  // left as it was and no temporary beside it.
  const std::string before = test_io::ReadFile(strFolder + "SMSIn.Dat");
  std::vector<std::string> bad = lines;
  bad[2600] = "{\"m_nStatus\":\"x\"}";
  bad[2990] = "{";
  EXPECT_EQ(write(bad, strOut), 1);
  EXPECT_NE(strOut.find("stdin: line 2601: m_nStatus: an integer"), std::string::npos) << strOut;
  EXPECT_EQ(test_io::ReadFile(strFolder + "SMSIn.Dat"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(strFolder), {}), 2);
  std::filesystem::remove_all(strFolder);
}

TEST(StoreDump, AnOutputThatTakesNothingMoreIsAnError) {
  const std::string strFolder = ::testing::TempDir() + "store-dump-" + std::to_string(getpid()) + "/";
  std::filesystem::create_directories(strFolder);
  CMessageArray list;
  for (size_t i = 0; i < 5000; ++i)  // more than a megabyte of JSON
    list.push_back(std::make_unique<CMessage>());
  list.back()->m_strMessage = std::string(300, 'x');
  ASSERT_TRUE(WriteStoreFile(strFolder + "SMSIn.Dat", list).IsOk());
  for (const char* pszJson : {" --json", ""}) {
    std::string strOut;
    EXPECT_EQ(test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' store dump '" + strFolder +
                                          "SMSIn.Dat'" + pszJson + " 2>&1 >/dev/full",
                                      strOut),
              1)
        << pszJson;
    EXPECT_NE(strOut.find("standard output: "), std::string::npos) << strOut;
  }
  std::filesystem::remove_all(strFolder);
}

}  // namespace
