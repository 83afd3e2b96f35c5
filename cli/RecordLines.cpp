#include "cli/RecordLines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "model/Address.h"
#include "model/Message.h"
#include "model/RecordJson.h"

template <class Record>
CRecordLines<Record>::CRecordLines(std::string_view strStart, FILE* pInput, bool bInputEnd)
    : m_carry(strStart), m_pInput(pInput), m_bInputEnd(bInputEnd) {
  const unsigned int nWorkers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
  for (unsigned int i = 0; i < nWorkers; ++i)
    m_workers.emplace_back([this] { RunWorker(); });
}

template <class Record>
CRecordLines<Record>::~CRecordLines() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStop = true;
  }
  m_changed.notify_all();
  for (std::thread& worker : m_workers)
    worker.join();
}

template <class Record>
NextBlock CRecordLines<Record>::Next(CRecordBlock<Record>*& pBlock) {
  if (m_pCurrent) {
    m_nLineBase += m_pCurrent->m_nLines;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pCurrent->m_state = CBatch::free;
    m_pCurrent = nullptr;
  }
  FillBatches();
  if (m_nTaken == m_nQueued) {
    if (m_nReadError == 0)
      return NextBlock::end;
    m_strError = std::strerror(m_nReadError);  // the input ended before its end
    return NextBlock::abandon;
  }
  CBatch& batch = m_batches[m_nTaken % kBatches];
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [&] { return batch.m_state == CBatch::done; });
  m_pCurrent = &batch;
  ++m_nTaken;
  if (!batch.m_strError.empty()) {  // the records before the bad line are not given
    m_strError = "line " + std::to_string(m_nLineBase + batch.m_nBadLine + 1) + ": " + batch.m_strError;
    return NextBlock::abandon;
  }
  pBlock = &batch.m_records;
  return NextBlock::block;
}

// Every free block gets input and goes to the workers, in the order of the input.
template <class Record>
void CRecordLines<Record>::FillBatches() {
  while (m_nQueued - m_nTaken < kBatches) {
    CBatch& batch = m_batches[m_nQueued % kBatches];
    if (!FillBatch(batch))
      break;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      batch.m_state = CBatch::queued;
      ++m_nQueued;
    }
    m_changed.notify_all();
  }
}

// The start of a line left over, then input up to the block's size and on to the
// end of a line (a line longer than that makes the block grow); the start of the
// next line is kept for the next block. False when nothing was left to read.
template <class Record>
bool CRecordLines<Record>::FillBatch(CBatch& batch) {
  const auto reserve = [&](size_t nRoom) {
    if (batch.m_nCapacity - batch.m_nSize >= nRoom)
      return;
    const size_t nCapacity = std::max(2 * batch.m_nCapacity, batch.m_nSize + nRoom);
    std::unique_ptr<char[]> pBigger(new char[nCapacity]);
    if (batch.m_nSize != 0)  // a first block has no bytes, and no buffer
      std::memcpy(pBigger.get(), batch.m_pText.get(), batch.m_nSize);
    batch.m_pText = std::move(pBigger);
    batch.m_nCapacity = nCapacity;
  };
  batch.m_nSize = 0;
  reserve(std::max(kBatchBytes, m_carry.size()));
  std::memcpy(batch.m_pText.get(), m_carry.data(), m_carry.size());
  batch.m_nSize = m_carry.size();
  m_carry.clear();
  size_t nSearched = 0;  // the block holds no line end before this
  for (;;) {
    if (batch.m_nSize >= kBatchBytes || m_bInputEnd) {
      const char* pText = batch.m_pText.get();
      const void* pEnd = std::memchr(pText + nSearched, '\n', batch.m_nSize - nSearched);
      if (!m_bInputEnd && !pEnd) {  // a line longer than the block: read on
        nSearched = batch.m_nSize;
      } else {
        if (!m_bInputEnd) {  // the block ends with its last line end
          const char* pLast = pText + batch.m_nSize;
          while (pLast[-1] != '\n')
            --pLast;
          m_carry.assign(pLast, pText + batch.m_nSize);
          batch.m_nSize = static_cast<size_t>(pLast - pText);
        }
        return batch.m_nSize != 0;
      }
    }
    reserve(kBatchBytes);
    const size_t nGot =
        std::fread(batch.m_pText.get() + batch.m_nSize, 1, batch.m_nCapacity - batch.m_nSize, m_pInput);
    batch.m_nSize += nGot;
    m_bInputEnd = nGot == 0;
    if (m_bInputEnd && std::ferror(m_pInput))
      m_nReadError = errno != 0 ? errno : EIO;
  }
}

template <class Record>
void CRecordLines<Record>::RunWorker() {
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    CBatch* pBatch = nullptr;
    m_changed.wait(lock, [&] {  // the earliest block waiting
      for (size_t i = 0; i < kBatches && !pBatch; ++i)
        if (CBatch& batch = m_batches[(m_nTaken + i) % kBatches]; batch.m_state == CBatch::queued)
          pBatch = &batch;
      return m_bStop || pBatch;
    });
    if (m_bStop)
      return;
    pBatch->m_state = CBatch::parsing;
    lock.unlock();
    Parse(*pBatch);
    lock.lock();
    pBatch->m_state = CBatch::done;
    m_changed.notify_all();
  }
}

// The block's lines become records, archived one after another, until one is refused.
template <class Record>
void CRecordLines<Record>::Parse(CBatch& batch) const {
  batch.m_records.Clear();
  batch.m_nLines = 0;
  batch.m_strError.clear();
  const std::string_view text(batch.m_pText.get(), batch.m_nSize);
  for (size_t nPos = 0; nPos < text.size(); ++batch.m_nLines) {
    const size_t nEnd = std::min(text.find('\n', nPos), text.size());
    const std::string_view line = text.substr(nPos, nEnd - nPos);
    nPos = nEnd + 1;
    if (IsBlankLine(line))
      continue;
    // Nothing may be thrown out of a worker: a line too large for memory is refused
    // like a bad one.
    bool bRecord = false;
    const CStoreResult result = CatchStoreErrors([&] {
      bRecord = RecordFromJson(line, batch.m_record, batch.m_strError);
      if (bRecord)
        batch.m_records.Add(batch.m_record);
    });
    if (!result.IsOk())
      batch.m_strError = result.Describe();
    if (!bRecord || !result.IsOk()) {
      batch.m_nBadLine = batch.m_nLines;
      return;
    }
  }
  // The block's last bytes are written out here, not by the thread that takes it.
  const CStoreResult result = CatchStoreErrors([&] { batch.m_records.Finish(); });
  if (!result.IsOk()) {  // out of memory at the block's last line
    batch.m_strError = result.Describe();
    batch.m_nBadLine = batch.m_nLines - 1;
  }
}

template class CRecordLines<CMessage>;
template class CRecordLines<CAddress>;
