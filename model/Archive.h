// The object archive of the store files: a buffered little-endian byte stream over a
// file, in load or store mode, with the encodings of strings, date-time values,
// counts and record tags that the store files use.
//
// Errors are thrown as CArchiveException (format), CFileException (the file below)
// or std::bad_alloc. They never leave the model module: the store-file and CSV
// operations catch them and report them as their failure rules say.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "model/DateTime.h"

class CArchiveException {
 public:
  enum Cause : int {
    none = 0,
    genericException = 1,
    readOnly = 2,
    endOfFile = 3,
    writeOnly = 4,
    badIndex = 5,
    badClass = 6,
    badSchema = 7,
  };
  explicit CArchiveException(int nCause) : m_cause(nCause) {}
  int m_cause;
};

class CFileException {
 public:
  enum Cause : int {
    none = 0,
    genericException = 1,
    fileNotFound = 2,
    badPath = 3,
    tooManyOpenFiles = 4,
    accessDenied = 5,
    invalidFile = 6,
    removeCurrentDir = 7,
    directoryFull = 8,
    badSeek = 9,
    hardIO = 10,
    sharingViolation = 11,
    lockViolation = 12,
    diskFull = 13,
    endOfFile = 14,
  };
  explicit CFileException(int nCause, int nOsError = 0) : m_cause(nCause), m_lOsError(nOsError) {}
  // The cause that stands for a system error number.
  static int CauseFromErrno(int nErrno);
  int m_cause;
  int m_lOsError;
};

// A byte stream under an archive.
class CFile {
 public:
  virtual ~CFile() = default;
  // Reads up to nCount bytes; returns how many were read, 0 at the end of the file.
  virtual size_t Read(void* pBuffer, size_t nCount) = 0;
  // Writes all nCount bytes.
  virtual void Write(const void* pBuffer, size_t nCount) = 0;
  // Bytes left to read, when known; SIZE_MAX when not.
  virtual size_t GetRemaining() const { return SIZE_MAX; }
};

// A file in memory: reads from a fixed byte range, or appends what is written.
class CMemFile final : public CFile {
 public:
  CMemFile(const void* pData, size_t nSize) : m_pData(static_cast<const uint8_t*>(pData)), m_nSize(nSize) {}
  explicit CMemFile(std::string* pOut) : m_pOut(pOut) {}
  size_t Read(void* pBuffer, size_t nCount) override;
  void Write(const void* pBuffer, size_t nCount) override;
  size_t GetRemaining() const override { return m_nSize - m_nPos; }

 private:
  const uint8_t* m_pData = nullptr;
  size_t m_nSize = 0;
  size_t m_nPos = 0;
  std::string* m_pOut = nullptr;
};

// A record class as the archive names it: class name and schema number.
struct CRecordClass {
  const char* m_lpszClassName;
  uint16_t m_wSchema;
};

class CArchive {
 public:
  enum Mode { store = 0, load = 1 };
  static constexpr size_t kBufferSize = 4096;

  CArchive(CFile* pFile, Mode nMode, size_t nBufferSize = kBufferSize);
  ~CArchive() = default;  // does not write out the buffer: Close does
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsLoading() const { return m_nMode == load; }
  bool IsStoring() const { return m_nMode == store; }
  // Storing: writes out what is buffered.
  void Flush();
  void Close();

  // Raw bytes. Read returns the number read, short only at the end of the file.
  void Write(const void* pData, size_t nCount);
  size_t Read(void* pData, size_t nCount);

  CArchive& operator<<(uint8_t b) {
    PutValue(b);
    return *this;
  }
  CArchive& operator<<(uint16_t w) {
    PutValue(w);
    return *this;
  }
  CArchive& operator<<(int32_t l) {
    PutValue(l);
    return *this;
  }
  CArchive& operator<<(uint32_t dw) {
    PutValue(dw);
    return *this;
  }
  CArchive& operator<<(double d) {
    PutValue(d);
    return *this;
  }
  CArchive& operator<<(std::string_view str);
  CArchive& operator<<(const CDateTime& dt);

  CArchive& operator>>(uint8_t& b) {
    GetValue(b);
    return *this;
  }
  CArchive& operator>>(uint16_t& w) {
    GetValue(w);
    return *this;
  }
  CArchive& operator>>(int32_t& l) {
    GetValue(l);
    return *this;
  }
  CArchive& operator>>(uint32_t& dw) {
    GetValue(dw);
    return *this;
  }
  CArchive& operator>>(double& d) {
    GetValue(d);
    return *this;
  }
  CArchive& operator>>(std::string& str) {
    // The usual case, kept inline: a one-byte length with the whole text buffered.
    if (m_nMode == load && m_pCur != m_pBufEnd && *m_pCur < 0xFF &&
        static_cast<size_t>(m_pBufEnd - m_pCur) > *m_pCur) {
      const size_t n = *m_pCur;
      str.assign(reinterpret_cast<const char*>(m_pCur + 1), n);
      m_pCur += 1 + n;
      return *this;
    }
    return ReadString(str);
  }
  CArchive& operator>>(CDateTime& dt);

  // Texts read in place. Between BeginKeep and EndKeep the archive keeps every byte
  // from the keep's start in its buffer (moving them to the front, or growing the
  // buffer, when it must read more), so a text read with ReadKeptText can be looked
  // at, without a copy, until EndKeep. A text stored as UTF-16, or longer than the
  // archive will keep, is read into strSpill instead. Keeps do not nest.
  struct CKeptText {
    size_t nOffset;  // from the keep's start; SIZE_MAX: the text is in strSpill
    size_t nLength;
  };
  void BeginKeep() { m_pKeep = m_pCur; }
  CKeptText ReadKeptText(std::string& strSpill) {
    // The usual case, kept inline: a one-byte length with the whole text buffered.
    if (m_pKeep != nullptr && m_pCur != m_pBufEnd && *m_pCur < 0xFF &&
        static_cast<size_t>(m_pBufEnd - m_pCur) > *m_pCur) {
      const CKeptText text{static_cast<size_t>(m_pCur + 1 - m_pKeep), *m_pCur};
      m_pCur += 1 + text.nLength;
      return text;
    }
    return ReadKeptTextSlow(strSpill);
  }
  // The text as a view: valid until EndKeep or the next read.
  std::string_view KeptView(const CKeptText& text, const std::string& strSpill) const {
    if (text.nOffset == SIZE_MAX)
      return strSpill;
    return {reinterpret_cast<const char*>(m_pKeep) + text.nOffset, text.nLength};
  }
  void EndKeep() { m_pKeep = nullptr; }

  // The element count of a list: a WORD, or 0xFFFF and a DWORD.
  void WriteCount(size_t nCount);
  size_t ReadCount();

  // Record tags. The first record of a class is preceded by the class header (new
  // class tag, schema, name); later ones by a reference to the class's number.
  void WriteRecordTag(const CRecordClass& recordClass);
  // Takes the class as written already, by the bytes this archive's bytes come after
  // (its header then precedes the first record of the list): its records name it by
  // its number, as they would in one archive holding the class alone.
  void AssumeClassWritten(const CRecordClass& recordClass);
  // Reads the tag of a new record and returns the index of its class in pClasses.
  // A null entry or a reference to an earlier record is refused like a number not
  // yet read (bad index): every record of a store file is written in full.
  size_t ReadRecordTag(const CRecordClass* pClasses, size_t nClasses);

  // Bytes left to read, when the file knows (an upper bound for reservations).
  size_t GetRemaining() const;

 private:
  template <class T>
  void PutValue(T value) {
    static_assert(std::endian::native == std::endian::little, "store files are little-endian");
    if (m_nMode == store && static_cast<size_t>(m_pBufEnd - m_pCur) >= sizeof(T)) {
      std::memcpy(m_pCur, &value, sizeof(T));
      m_pCur += sizeof(T);
    } else {
      Write(&value, sizeof(T));
    }
  }
  template <class T>
  void GetValue(T& value) {
    if (m_nMode == load && static_cast<size_t>(m_pBufEnd - m_pCur) >= sizeof(T)) {
      std::memcpy(&value, m_pCur, sizeof(T));
      m_pCur += sizeof(T);
    } else {
      ReadExact(&value, sizeof(T));
    }
  }
  CArchive& ReadString(std::string& str);  // any length form, at any buffer edge
  CKeptText ReadKeptTextSlow(std::string& strSpill);
  void ReadExact(void* pData, size_t nCount);  // end of file when short
  size_t FillBuffer();  // loading: reads more, keeping what is unread or kept; returns bytes read
  size_t ReadStringLength(bool bAllowWideMark, bool& bWide);
  void ReadBytesInto(std::string& str, size_t nCount);
  void CheckMode(Mode nMode) const;

  CFile* m_pFile;
  Mode m_nMode;
  std::vector<uint8_t> m_buffer;
  uint8_t* m_pCur;             // next byte to read or write
  uint8_t* m_pBufEnd;          // loading: end of the buffered data; storing: end of the buffer
  uint8_t* m_pKeep = nullptr;  // loading: start of the bytes kept (see BeginKeep)

  // The archive's numbering: 0 is the null entry; classes and records take the
  // following numbers in order of appearance.
  uint32_t m_nMapCount = 1;
  struct ClassNumber {
    uint32_t nNumber;
    size_t nClass;               // loading: index in the caller's class list
    const CRecordClass* pClass;  // storing
  };
  std::vector<ClassNumber> m_classes;
};
