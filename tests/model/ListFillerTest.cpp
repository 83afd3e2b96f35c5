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

// Commits records 0 to nCount - 1 and finishes; true when an error was thrown.
bool Fill(CListFiller<CRecord>& filler, int nCount) {
  try {
    for (int i = 0; i < nCount; ++i) {
      filler.Next().n = i;
      filler.Commit();
    }
    filler.Finish();
  } catch (const std::bad_alloc&) {
    return true;
  }
  return false;
}

// The values of the list's records from index nFrom; -2 for an empty entry.
std::vector<int> Values(const CRecords& list, size_t nFrom = 0) {
  std::vector<int> values;
  for (size_t i = nFrom; i < list.size(); ++i)
    values.push_back(list[i] ? list[i]->n : -2);
  return values;
}

std::vector<int> Range(int nCount) {
  std::vector<int> values(static_cast<size_t>(nCount));
  for (int i = 0; i < nCount; ++i)
    values[static_cast<size_t>(i)] = i;
  return values;
}

TEST(ListFiller, RecordsAreAppendedInTheOrderCommitted) {
  CRecord::s_failing.clear();
  for (size_t nThreads : {1u, 2u, 3u}) {
    CRecords list;
    list.push_back(std::make_unique<CRecord>());  // a record the list held before
    CListFiller<CRecord> filler(list, nThreads);
    ASSERT_FALSE(Fill(filler, 5000)) << nThreads;
    ASSERT_EQ(list.size(), 5001u);
    EXPECT_EQ(list[0]->n, -1);
    EXPECT_EQ(Values(list, 1), Range(5000)) << nThreads;
  }
}

TEST(ListFiller, AFailedCopyEndsTheListAtTheRecordBeforeIt) {
  // Two failures in different batches, which two threads may meet in either order:
  // the list ends before the earlier one.
  CRecord::s_failing = {2500, 4000};
  for (int nRun = 0; nRun < 20; ++nRun) {
    CRecords list;
    CListFiller<CRecord> filler(list, 2);
    ASSERT_TRUE(Fill(filler, 6000));
    ASSERT_EQ(Values(list), Range(2500)) << nRun;
  }
  // A failure in the last batch, handed over only by Finish.
  CRecord::s_failing = {5990};
  CRecords list;
  CListFiller<CRecord> filler(list, 2);
  ASSERT_TRUE(Fill(filler, 6000));
  EXPECT_EQ(Values(list), Range(5990));
  CRecord::s_failing.clear();
}

TEST(ListFiller, AReadingErrorKeepsTheCommittedRecordsOnly) {
  CRecord::s_failing.clear();
  CRecords list;
  {
    CListFiller<CRecord> filler(list, 2);
    ASSERT_FALSE(Fill(filler, 0));
    EXPECT_TRUE(list.empty());
  }
  {
    // The reading fails in record 3000: it was given by Next but never committed.
    CListFiller<CRecord> filler(list, 2);
    for (int i = 0; i < 3000; ++i) {
      filler.Next().n = i;
      filler.Commit();
    }
    filler.Next().n = 3000;
    filler.Finish();
    EXPECT_EQ(Values(list), Range(3000));
  }
  {
    // Left without Finish, the filler waits for its threads and adds nothing.
    CRecords untouched;
    CListFiller<CRecord> filler(untouched, 2);
    for (int i = 0; i < 3000; ++i) {
      filler.Next().n = i;
      filler.Commit();
    }
  }
}

}  // namespace
