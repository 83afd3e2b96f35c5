// JSON lines made into records (for `mireth store write`) by worker threads, a few
// blocks of input ahead of the thread that takes them, which gets them in the order
// of their lines: on a machine with two cores, the lines are read two at a time.
// The taking thread only reads the input in blocks; a worker finds the lines of a
// block, makes each a record and archives it into the block's records.
//
// The contract:
//  - Next points at blocks of records (CRecordBlock) in the order of their lines,
//    blank lines skipped. A block stays as it is until the next call. A member a
//    line leaves out has its default value.
//  - At the first line that is not a record, Next answers abandon once the blocks
//    before it have been taken (the records before it in its block are not given),
//    and Error gives "line N: why". No later line is named, even when a worker met
//    it first.
//  - Input that cannot be read to its end (a read error) is abandoned too, with
//    the system's reason as the Error.
//  - The input is read only by the thread that calls Next. The destructor stops
//    the workers and waits for them; it never waits for input.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "model/StoreFile.h"

// A line of nothing but blanks (and a carriage return), which the JSON lines may hold
// between records.
inline bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

template <class Record>
class CRecordLines {
 public:
  // The input: strStart (its first lines, as they were), then the rest of pInput
  // unless bInputEnd.
  CRecordLines(std::string_view strStart, FILE* pInput, bool bInputEnd);
  ~CRecordLines();
  CRecordLines(const CRecordLines&) = delete;
  CRecordLines& operator=(const CRecordLines&) = delete;

  NextBlock Next(CRecordBlock<Record>*& pBlock);
  const std::string& Error() const { return m_strError; }

 private:
  // A block of whole lines of the input, made into records by a worker.
  struct CBatch {
    enum State { free, queued, parsing, done };
    State m_state = free;
    std::unique_ptr<char[]> m_pText;
    size_t m_nSize = 0, m_nCapacity = 0;
    Record m_record;                 // each line's, filled again
    CRecordBlock<Record> m_records;  // the records of the block's lines, archived
    size_t m_nLines = 0;             // the lines of the block
    size_t m_nBadLine = 0;           // the block's line (from 0) that is no record,
    std::string m_strError;          // and why, when one is not
  };
  static constexpr size_t kBatches = 4;             // blocks read ahead
  static constexpr size_t kBatchBytes = 256 << 10;  // a block's size, at least

  void FillBatches();
  bool FillBatch(CBatch& batch);
  void RunWorker();
  void Parse(CBatch& batch) const;

  std::string m_carry;  // the start of a line the last block did not hold
  FILE* m_pInput;
  bool m_bInputEnd;
  int m_nReadError = 0;  // why the input could not be read to its end

  CBatch m_batches[kBatches];
  size_t m_nQueued = 0;  // blocks given to the workers (the next one's number)
  size_t m_nTaken = 0;   // blocks taken back, in order
  CBatch* m_pCurrent = nullptr;
  size_t m_nLineBase = 0;  // the lines before the current block
  std::string m_strError;

  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_bStop = false;
  std::vector<std::thread> m_workers;  // last: started once the rest is set up
};
