// Blocks written from a second thread: whole and in order, the buffers going back
// and forth, and a failure of the file handed back to the caller.
#include "model/WriteBehind.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

// A file that keeps what is written to it and fails at its nFailAt-th write.
class CFailingFile final : public CFile {
 public:
  explicit CFailingFile(size_t nFailAt) : m_nFailAt(nFailAt) {}
  size_t Read(void*, size_t) override { return 0; }
  void Write(const void* p, size_t n) override {
    if (m_nWrites++ == m_nFailAt)
      throw CFileException(CFileException::diskFull, ENOSPC);
    m_bytes.append(static_cast<const char*>(p), n);
  }
  std::string m_bytes;

 private:
  size_t m_nFailAt;
  size_t m_nWrites = 0;
};

TEST(WriteBehind, BlocksArriveInOrderAndAFailureReachesTheCaller) {
  std::string expected;
  const auto handAll = [&](CWriteBehind& behind) {
    std::string block;
    for (size_t i = 0; i < 200; ++i) {
      EXPECT_TRUE(block.empty());
      block.assign(1 + i * 37 % 5000, static_cast<char>('a' + i % 26));
      behind.Hand(block);
    }
    behind.Finish();
  };
  for (size_t i = 0; i < 200; ++i)
    expected += std::string(1 + i * 37 % 5000, static_cast<char>('a' + i % 26));
  CFailingFile whole(SIZE_MAX);
  {
    CWriteBehind behind(whole);
    handAll(behind);
    EXPECT_EQ(whole.m_bytes, expected);  // all written once Finish returns
  }
  // The third write fails: the caller hears of it, and nothing after it is written.
  CFailingFile failing(2);
  CWriteBehind behind(failing);
  try {
    handAll(behind);
    ADD_FAILURE() << "no failure reached the caller";
  } catch (const CFileException& e) {
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
  }
  EXPECT_EQ(failing.m_bytes, expected.substr(0, 1 + 38));
  EXPECT_THROW(behind.Finish(), CFileException);
}

}  // namespace
