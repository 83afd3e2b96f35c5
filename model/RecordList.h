// A list of records as one archived list: the count, then every record with its tag.
// The reading and writing here throw the archive's exceptions (see Archive.h); the
// in-memory forms at the end catch them and return the outcome.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/Archive.h"
#include "model/Lists.h"

// The record classes of the store files, as the archive names them.
extern const CRecordClass g_classMessage;  // "CMessage", schema 1
extern const CRecordClass g_classAddress;  // "CAddress", schema 1

// Reads an archived list and appends its records to list. A record of the other
// record class is refused as a wrong type (bad class); a null entry or a reference
// to an earlier record as a bad index. Records read completely before an error stay
// in the list; the record being read is dropped.
void ReadRecordList(CArchive& ar, CMessageArray& list);
void ReadRecordList(CArchive& ar, CAddressArray& list);
// Reads an archived list record by record into one record object, handing each to
// fn as soon as it is read (for readers that need not keep the list); the same
// checks and errors as ReadRecordList.
void ReadRecordStream(CArchive& ar, CMessage& record, const std::function<void(const CMessage&)>& fn);
void ReadRecordStream(CArchive& ar, CAddress& record, const std::function<void(const CAddress&)>& fn);
// Writes the list in full; empty entries are left out.
void WriteRecordList(CArchive& ar, const CMessageArray& list);
void WriteRecordList(CArchive& ar, const CAddressArray& list);

// Writes one record with its tag, as WriteRecordList writes each after the count.
void WriteListRecord(CArchive& ar, CMessage& record);
void WriteListRecord(CArchive& ar, CAddress& record);

// A run of a list's records archived into bytes, for writers that make a list in
// blocks, on several threads, and put them one after another (see
// WriteStoreFileBlocks). Every record of a block names its class by number, in
// kTagSize bytes (the tag that follows the class header); the list's writer puts
// ClassHeader in place of the first record's tag. Add throws the archive's
// exceptions; Finish, after the last Add, writes out what the archive still
// buffers (on the thread that filled the block); a block is filled again after
// Clear.
template <class R>
class CRecordBlock {
 public:
  CRecordBlock();
  ~CRecordBlock();
  CRecordBlock(const CRecordBlock&) = delete;
  CRecordBlock& operator=(const CRecordBlock&) = delete;

  static constexpr size_t kTagSize = 2;
  static std::string ClassHeader();

  void Add(R& record);
  void Finish();
  // The bytes of the records added since the last Clear, once Finish was called.
  std::string_view Bytes() const { return m_bytes; }
  size_t GetCount() const { return m_nCount; }
  void Clear();

 private:
  std::string m_bytes;
  std::unique_ptr<CMemFile> m_pFile;
  std::unique_ptr<CArchive> m_pArchive;
  size_t m_nCount = 0;
};

// The outcome of an operation on a store file or its bytes.
struct CStoreResult {
  enum Kind {
    ok,
    notOpened,     // the file could not be opened (missing, in use, access denied)
    memory,        // out of memory
    fileError,     // m_nCause is a file-error cause (CFileException)
    archiveError,  // m_nCause is an archive-error cause (CArchiveException)
    abandoned,     // the records' source gave the writing up; nothing was written
  };
  Kind m_kind = ok;
  int m_nCause = 0;
  int m_nOsError = 0;  // the system's error number behind a file error, when known

  bool IsOk() const { return m_kind == ok; }
  // A one-line description for the console: the cause's text where it has one.
  std::string Describe() const;
};

// Runs fn, turning the archive's exceptions into a result.
template <class Fn>
CStoreResult CatchStoreErrors(Fn&& fn);

// In-memory forms: the bytes of a store file.
CStoreResult ReadRecordBytes(const void* pData, size_t nSize, CMessageArray& list);
CStoreResult ReadRecordBytes(const void* pData, size_t nSize, CAddressArray& list);
CStoreResult WriteRecordBytes(const CMessageArray& list, std::string& bytes);
CStoreResult WriteRecordBytes(const CAddressArray& list, std::string& bytes);

// The record class named by the first record tag of a store file's bytes.
enum class StoreRecordClass { none, message, address };
StoreRecordClass DetectRecordClass(const void* pData, size_t nSize);

// Field-by-field equality (the index of an address is not stored and not compared;
// day numbers compare bit for bit).
bool IsSameRecord(const CMessage& a, const CMessage& b);
bool IsSameRecord(const CAddress& a, const CAddress& b);

template <class Fn>
CStoreResult CatchStoreErrors(Fn&& fn) {
  CStoreResult result;
  try {
    fn();
  } catch (const CArchiveException& e) {
    result.m_kind = CStoreResult::archiveError;
    result.m_nCause = e.m_cause;
  } catch (const CFileException& e) {
    result.m_kind = CStoreResult::fileError;
    result.m_nCause = e.m_cause;
    result.m_nOsError = e.m_lOsError;
  } catch (const std::bad_alloc&) {
    result.m_kind = CStoreResult::memory;
  } catch (const std::length_error&) {
    result.m_kind = CStoreResult::memory;
  }
  return result;
}
