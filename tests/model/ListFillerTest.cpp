// The filling of a long list on other threads: the records in the order committed,
// and after a failure on a filling thread or on the reading one, the records before
// it and no others.
#include <gtest/gtest.h>

#include <new>
#include <set>

#include "model/ListFiller.h"

namespace {

// A record whose copy fails, as an allocation would, for the values in s_failing.
struct CRecord {
  static inline std::set<int> s_failing;
  int n = -1;
  CRecord& operator=(const CRecord& other) {
    if (s_failing.count(other.n) != 0)
      throw std::bad_alloc();
    n = other.n;
    return *this;
  }
};

using CRecords = std::vector<std::unique_ptr<CRecord>>;

// Commits records 0 to nCount - 1, then one more read but not committed (a reading
// error), and finishes; true when an error was thrown. The list's values after.
bool Fill(CRecords& list, size_t nThreads, int nCount, std::vector<int>& values) {
  bool bFailed = false;
  try {
    CListFiller<CRecord> filler(list, nThreads);
    for (int i = 0; i < nCount; ++i) {
      filler.Next().n = i;
      filler.Commit();
    }
    filler.Next().n = nCount;
    filler.Finish();
  } catch (const std::bad_alloc&) {
    bFailed = true;
  }
  values.clear();
  for (const auto& p : list)
    values.push_back(p->n);
  return bFailed;
}

std::vector<int> Range(int nFirst, int nEnd) {
  std::vector<int> values;
  for (int i = nFirst; i < nEnd; ++i)
    values.push_back(i);
  return values;
}

TEST(ListFiller, RecordsAreAppendedInTheOrderCommitted) {
  CRecord::s_failing.clear();
  std::vector<int> values;
  for (size_t nThreads : {1u, 2u, 3u}) {
    CRecords list;
    list.push_back(std::make_unique<CRecord>());  // a record the list held before
    ASSERT_FALSE(Fill(list, nThreads, 5000, values));
    EXPECT_EQ(values, Range(-1, 5000)) << nThreads;  // -1: the one held before
  }
  CRecords empty;
  EXPECT_FALSE(Fill(empty, 2, 0, values));
  EXPECT_TRUE(values.empty());
}

TEST(ListFiller, AFailedCopyEndsTheListAtTheRecordBeforeIt) {
  // Two failures in different batches, which two threads may meet in either order,
  // and one in the last batch, handed over only by Finish.
  std::vector<int> values;
  for (const auto& [failing, nEnd] : {std::pair{std::set<int>{2500, 4000}, 2500}, {{5990}, 5990}}) {
    CRecord::s_failing = failing;
    for (int nRun = 0; nRun < 10; ++nRun) {
      CRecords list;
      ASSERT_TRUE(Fill(list, 2, 6000, values));
      ASSERT_EQ(values, Range(0, nEnd)) << nRun;
    }
  }
  CRecord::s_failing.clear();
}

}  // namespace
