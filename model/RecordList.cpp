#include "model/RecordList.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <type_traits>

#include "errors/ErrorTexts.h"
#include "model/ListFiller.h"

const CRecordClass g_classMessage = {"CMessage", 1};
const CRecordClass g_classAddress = {"CAddress", 1};

namespace {

const CRecordClass g_recordClasses[] = {g_classMessage, g_classAddress};
constexpr size_t kMessageClass = 0;
constexpr size_t kAddressClass = 1;

// The fewest bytes a record of each class takes in a file (tag and empty fields):
// a count larger than the rest of the file allows is not reserved for.
constexpr size_t kMinMessageBytes = 2 + 3 + 12 + 1 + 1 + 12 + 2 + 10 + 2;
constexpr size_t kMinAddressBytes = 2 + 2;

// Threads that fill a long list while it is read (see CListFiller). Two keep both
// cores of a small machine busy beside the reading thread, whose share is the smaller.
constexpr size_t kFillingThreads = 2;

// Reads a record's tag; a record of another class is refused.
void ReadListTag(CArchive& ar, size_t nExpectedClass) {
  if (ar.ReadRecordTag(g_recordClasses, std::size(g_recordClasses)) != nExpectedClass)
    throw CArchiveException(CArchiveException::badClass);
}

// Reads nCount records, each into a new record at the end of the list.
template <class T>
void ReadRecords(CArchive& ar, std::vector<std::unique_ptr<T>>& list, size_t nCount, size_t nExpectedClass) {
  for (size_t i = 0; i < nCount; ++i) {
    ReadListTag(ar, nExpectedClass);
    // Every field has its default by its own initializer; Serialize then reads them all.
    std::unique_ptr<T> pRecord(new T);
    pRecord->Serialize(ar);
    list.push_back(std::move(pRecord));
  }
}

// Reads nCount records into the filler's reused records; it fills the list.
template <class T>
void ReadRecords(CArchive& ar, CListFiller<T>& filler, size_t nCount, size_t nExpectedClass) {
  try {
    for (size_t i = 0; i < nCount; ++i) {
      ReadListTag(ar, nExpectedClass);
      filler.Next().Serialize(ar);  // a reused record: Serialize reads every field
      filler.Commit();
    }
  } catch (...) {
    // The records read before the error go into the list; a filling thread's error,
    // met on an earlier record, takes the place of this one.
    filler.Finish();
    throw;
  }
  filler.Finish();
}

template <class T>
void ReadList(CArchive& ar, std::vector<std::unique_ptr<T>>& list, size_t nExpectedClass,
              size_t nMinRecordBytes) {
  size_t nCount = ar.ReadCount();
  size_t nRemaining = ar.GetRemaining();
  size_t nReserve = nRemaining == SIZE_MAX ? std::min<size_t>(nCount, 1024)
                                           : std::min(nCount, nRemaining / nMinRecordBytes);
  list.reserve(list.size() + nReserve);
  // A long list is filled on other threads; a short one, or one read where no thread
  // can be started, here.
  std::unique_ptr<CListFiller<T>> pFiller;
  if (nReserve > CListFiller<T>::kBatch && std::thread::hardware_concurrency() > 1) {
    try {
      pFiller = std::make_unique<CListFiller<T>>(list, kFillingThreads);
    } catch (const std::system_error&) {
    }
  }
  if (pFiller)
    ReadRecords(ar, *pFiller, nCount, nExpectedClass);
  else
    ReadRecords(ar, list, nCount, nExpectedClass);
}

template <class T>
void ReadStream(CArchive& ar, T& record, const std::function<void(const T&)>& fn, size_t nExpectedClass) {
  size_t nCount = ar.ReadCount();
  for (size_t i = 0; i < nCount; ++i) {
    ReadListTag(ar, nExpectedClass);
    record.Serialize(ar);  // every field is read, so nothing of the last record stays
    fn(record);
  }
}

template <class T>
void WriteList(CArchive& ar, const std::vector<std::unique_ptr<T>>& list) {
  size_t nCount = static_cast<size_t>(
      std::count_if(list.begin(), list.end(), [](const auto& p) { return p != nullptr; }));
  ar.WriteCount(nCount);
  for (const auto& pRecord : list) {
    if (pRecord)
      WriteListRecord(ar, *pRecord);
  }
}

template <class List>
CStoreResult ReadBytes(const void* pData, size_t nSize, List& list) {
  return CatchStoreErrors([&] {
    CMemFile file(pData, nSize);
    CArchive ar(&file, CArchive::load);
    ReadRecordList(ar, list);
    ar.Close();
  });
}

template <class List>
CStoreResult WriteBytes(const List& list, std::string& bytes) {
  bytes.clear();
  return CatchStoreErrors([&] {
    CMemFile file(&bytes);
    CArchive ar(&file, CArchive::store);
    WriteRecordList(ar, list);
    ar.Close();
  });
}

}  // namespace

void ReadRecordList(CArchive& ar, CMessageArray& list) {
  ReadList(ar, list, kMessageClass, kMinMessageBytes);
}

void ReadRecordList(CArchive& ar, CAddressArray& list) {
  ReadList(ar, list, kAddressClass, kMinAddressBytes);
}

void ReadRecordStream(CArchive& ar, CMessage& record, const std::function<void(const CMessage&)>& fn) {
  ReadStream(ar, record, fn, kMessageClass);
}

void ReadRecordStream(CArchive& ar, CAddress& record, const std::function<void(const CAddress&)>& fn) {
  ReadStream(ar, record, fn, kAddressClass);
}

void WriteRecordList(CArchive& ar, const CMessageArray& list) { WriteList(ar, list); }

void WriteRecordList(CArchive& ar, const CAddressArray& list) { WriteList(ar, list); }

CStoreResult ReadRecordBytes(const void* pData, size_t nSize, CMessageArray& list) {
  return ReadBytes(pData, nSize, list);
}

CStoreResult ReadRecordBytes(const void* pData, size_t nSize, CAddressArray& list) {
  return ReadBytes(pData, nSize, list);
}

CStoreResult WriteRecordBytes(const CMessageArray& list, std::string& bytes) {
  return WriteBytes(list, bytes);
}

CStoreResult WriteRecordBytes(const CAddressArray& list, std::string& bytes) {
  return WriteBytes(list, bytes);
}

namespace {
template <class R>
const CRecordClass& ClassOf() {
  return std::is_same_v<R, CMessage> ? g_classMessage : g_classAddress;
}

template <class R>
void WriteTagged(CArchive& ar, R& record) {
  ar.WriteRecordTag(ClassOf<R>());
  record.Serialize(ar);
}
}  // namespace

void WriteListRecord(CArchive& ar, CMessage& record) { WriteTagged(ar, record); }

void WriteListRecord(CArchive& ar, CAddress& record) { WriteTagged(ar, record); }

template <class R>
CRecordBlock<R>::CRecordBlock()
    : m_pFile(std::make_unique<CMemFile>(&m_bytes)),
      m_pArchive(std::make_unique<CArchive>(m_pFile.get(), CArchive::store, 65536)) {
  m_pArchive->AssumeClassWritten(ClassOf<R>());
}

template <class R>
std::string CRecordBlock<R>::ClassHeader() {
  std::string header;
  CMemFile file(&header);
  CArchive ar(&file, CArchive::store);
  ar.WriteRecordTag(ClassOf<R>());
  ar.Close();
  return header;
}

template <class R>
CRecordBlock<R>::~CRecordBlock() = default;

template <class R>
void CRecordBlock<R>::Add(R& record) {
  WriteListRecord(*m_pArchive, record);
  ++m_nCount;
}

template <class R>
void CRecordBlock<R>::Finish() {
  m_pArchive->Flush();
}

template <class R>
void CRecordBlock<R>::Clear() {
  m_pArchive->Flush();
  m_bytes.clear();
  m_nCount = 0;
}

template class CRecordBlock<CMessage>;
template class CRecordBlock<CAddress>;

StoreRecordClass DetectRecordClass(const void* pData, size_t nSize) {
  StoreRecordClass result = StoreRecordClass::none;
  CatchStoreErrors([&] {
    CMemFile file(pData, nSize);
    CArchive ar(&file, CArchive::load);
    if (ar.ReadCount() == 0)
      return;
    size_t nClass = ar.ReadRecordTag(g_recordClasses, std::size(g_recordClasses));
    result = nClass == kMessageClass ? StoreRecordClass::message : StoreRecordClass::address;
  });
  return result;
}

std::string CStoreResult::Describe() const {
  std::string strText;
  switch (m_kind) {
    case ok:
      return "no error";
    case notOpened:
      return "the file could not be opened (missing, in use or access denied)";
    case memory:
      return "out of memory";
    case fileError:
      GetFileErrorText(m_nCause, strText);
      if (strText.empty())
        strText = "file error";
      strText += " (file error " + std::to_string(m_nCause);
      if (m_nOsError != 0)
        strText += std::string(": ") + std::strerror(m_nOsError);
      strText += ")";
      return strText;
    case archiveError:
      GetArchiveErrorText(m_nCause, strText);
      if (strText.empty())
        strText = "archive error";
      return strText + " (archive error " + std::to_string(m_nCause) + ")";
    case abandoned:
      return "the writing was given up";
  }
  return strText;
}

namespace {
bool SameDate(const CDateTime& a, const CDateTime& b) {
  double da = a.GetDate(), db = b.GetDate();
  return a.GetStatus() == b.GetStatus() && std::memcmp(&da, &db, sizeof da) == 0;
}
}  // namespace

bool IsSameRecord(const CMessage& a, const CMessage& b) {
  return a.m_strSenderName == b.m_strSenderName && a.m_strName == b.m_strName &&
         a.m_strNumber == b.m_strNumber && a.m_nStatus == b.m_nStatus && a.m_nStorage == b.m_nStorage &&
         a.m_nType == b.m_nType && a.m_strDateTime == b.m_strDateTime &&
         SameDate(a.m_dtDateTime, b.m_dtDateTime) && a.m_strExtra == b.m_strExtra &&
         a.m_strMessage == b.m_strMessage && a.m_strPdu == b.m_strPdu &&
         a.m_strServiceCenter == b.m_strServiceCenter && a.m_bFlag == b.m_bFlag &&
         a.m_bReplyCharges == b.m_bReplyCharges && a.m_wFirstOctet == b.m_wFirstOctet &&
         a.m_nValidity == b.m_nValidity;
}

bool IsSameRecord(const CAddress& a, const CAddress& b) {
  return a.m_strNumber == b.m_strNumber && a.m_strName == b.m_strName;
}
