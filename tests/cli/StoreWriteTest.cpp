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

TEST(StoreWrite, EveryLineArrivesWholeWhateverTheBlockEdges) {
  std::vector<std::string> texts;
  std::string strInput;
  for (size_t i = 0; i < 3000; ++i) {
    texts.push_back(std::string(i == 1234 ? (3 << 19) : 100 + i % 900, static_cast<char>('a' + i % 26)));
    strInput += "{\"class\":\"CMessage\",\"m_strNumber\":\"+49" + std::to_string(i) +
                "\",\"m_strMessage\":\"" + texts.back() + "\"}" + (i % 500 == 0 ? "\n \n" : "\n");
  }
  strInput.pop_back();  // the last line has no line end
  const std::string strFolder = ::testing::TempDir() + "store-write-" + std::to_string(getpid()) + "/";
  test_io::WriteFile(strFolder + "in.jsonl", strInput);
  std::string strOut;
  ASSERT_EQ(test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' store write '" + strFolder +
                                        "SMSIn.Dat' < '" + strFolder + "in.jsonl'",
                                    strOut),
            0)
      << strOut;
  CMessageArray list;
  ASSERT_TRUE(ReadStoreFile(strFolder + "SMSIn.Dat", list).IsOk());
  ASSERT_EQ(list.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(list[i]->m_strNumber, "+49" + std::to_string(i)) << i;
    ASSERT_EQ(list[i]->m_strMessage, texts[i]) << i;
  }

  // A bad line halfway: refused by its number, the file as it was and no temporary
  // left beside it.
  const std::string before = test_io::ReadFile(strFolder + "SMSIn.Dat");
  test_io::WriteFile(strFolder + "bad.jsonl",
                     "{\"class\":\"CMessage\",\"m_strNumber\":\"1\"}\n\n{\"m_nStatus\":\"x\"}\n{}\n");
  EXPECT_EQ(test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' store write '" + strFolder +
                                        "SMSIn.Dat' < '" + strFolder + "bad.jsonl' 2>&1",
                                    strOut),
            1);
  EXPECT_NE(strOut.find("line 3: m_nStatus: an integer"), std::string::npos) << strOut;
  EXPECT_EQ(test_io::ReadFile(strFolder + "SMSIn.Dat"), before);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(strFolder), {}), 3);
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
