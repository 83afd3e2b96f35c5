// `mireth store write` reads its JSON lines in blocks: records whose
// lines cross the blocks' edges, a line longer than a block, blank lines and a last
// line without its line end all arrive whole and in order; a bad line leaves the file
// as it was. `store dump` gives its lines in order and fails on an output that
// takes nothing more.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/RecordLines.h"
#include "model/Message.h"
#include "model/RecordJson.h"
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
  // Input that cannot be read (a folder): refused with the reason, nothing written.
  EXPECT_EQ(test_io::RunCommandLine(std::string("'") + MIRETH_CLI_PATH + "' store write '" + strFolder +
                                        "SMSIn.Dat' < '" + strFolder + "' 2>&1",
                                    strOut),
            1);
  EXPECT_NE(strOut.find("stdin: Is a directory"), std::string::npos) << strOut;
  EXPECT_EQ(test_io::ReadFile(strFolder + "SMSIn.Dat"), before);
  std::filesystem::remove_all(strFolder);
}

// Input that fails after its first lines (a folder read as a file): the records
// before the failure are given, then the writing is given up with the reason.
TEST(StoreWrite, InputThatFailsHalfwayIsGivenUp) {
  FILE* pInput = std::fopen(::testing::TempDir().c_str(), "r");
  ASSERT_NE(pInput, nullptr);
  {
    CRecordLines<CMessage> lines("{\"m_strNumber\":\"1\"}\n\n{\"m_strNumber\":\"2\"}\n", pInput, false);
    CRecordBlock<CMessage>* pBlock = nullptr;
    ASSERT_EQ(lines.Next(pBlock), NextBlock::block);
    EXPECT_EQ(pBlock->GetCount(), 2u);
    EXPECT_EQ(lines.Next(pBlock), NextBlock::abandon);
    EXPECT_EQ(lines.Error(), std::strerror(EISDIR));
  }
  std::fclose(pInput);
}

// Many blocks of lines come out whole and in order; an output that takes nothing more
// (a full disk) is an error.
TEST(StoreDump, LinesComeOutInOrderAndAFullOutputIsAnError) {
  const std::string strFolder = ::testing::TempDir() + "store-dump-" + std::to_string(getpid()) + "/";
  std::filesystem::create_directories(strFolder);
  CMessageArray list;
  for (size_t i = 0; i < 5500; ++i) {  // several blocks, the last not full
    list.push_back(std::make_unique<CMessage>());
    list.back()->m_strNumber = std::to_string(i);
  }
  ASSERT_TRUE(WriteStoreFile(strFolder + "SMSIn.Dat", list).IsOk());
  const std::string strDump =
      std::string("'") + MIRETH_CLI_PATH + "' store dump '" + strFolder + "SMSIn.Dat'";
  std::string strOut;
  ASSERT_EQ(test_io::RunCommandLine(strDump + " --json", strOut), 0);
  size_t nLine = 0;
  for (size_t nPos = 0; nPos < strOut.size(); ++nLine) {
    const size_t nEnd = strOut.find('\n', nPos);
    ASSERT_NE(nEnd, std::string::npos);
    ASSERT_EQ(strOut.substr(nPos, nEnd - nPos), RecordToJson(*list[nLine])) << nLine;
    nPos = nEnd + 1;
  }
  EXPECT_EQ(nLine, list.size());
  for (const char* pszJson : {" --json", ""}) {
    EXPECT_EQ(test_io::RunCommandLine(strDump + pszJson + " 2>&1 >/dev/full", strOut), 1) << pszJson;
    EXPECT_NE(strOut.find("standard output: "), std::string::npos) << strOut;
  }
  std::filesystem::remove_all(strFolder);
}

}  // namespace
