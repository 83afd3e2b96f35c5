#include "model/Archive.h"

#include <algorithm>
#include <cerrno>
#include <new>

#include "platform/CharsetUtf.h"

namespace {

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000u;
constexpr uint16_t kWideStringMark = 0xFFFE;
constexpr size_t kMaxClassName = 64;  // a name must be shorter than this
// Large strings are read in pieces of this size so that a length the file cannot
// hold runs into the end of the file before much memory is taken.
constexpr size_t kStringChunk = 1 << 20;

}  // namespace

int CFileException::CauseFromErrno(int nErrno) {
  switch (nErrno) {
    case 0:
      return none;
    case ENOENT:
      return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return badPath;
    case EMFILE:
    case ENFILE:
      return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return accessDenied;
    case EBADF:
      return invalidFile;
    case ESPIPE:
    case EOVERFLOW:
      return badSeek;
    case EIO:
    case ENXIO:
    case ENODEV:
      return hardIO;
    case EWOULDBLOCK:
      return sharingViolation;
    case EDEADLK:
    case ENOLCK:
      return lockViolation;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return diskFull;
    default:
      return genericException;
  }
}

size_t CMemFile::Read(void* pBuffer, size_t nCount) {
  size_t n = std::min(nCount, m_nSize - m_nPos);
  if (n != 0) {
    std::memcpy(pBuffer, m_pData + m_nPos, n);
    m_nPos += n;
  }
  return n;
}

void CMemFile::Write(const void* pBuffer, size_t nCount) {
  if (m_pOut == nullptr)
    throw CFileException(CFileException::accessDenied);
  m_pOut->append(static_cast<const char*>(pBuffer), nCount);
}

CArchive::CArchive(CFile* pFile, Mode nMode, size_t nBufferSize)
    : m_pFile(pFile), m_nMode(nMode), m_buffer(std::max<size_t>(nBufferSize, 16)) {
  m_pCur = m_buffer.data();
  m_pBufEnd = nMode == store ? m_buffer.data() + m_buffer.size() : m_buffer.data();
}

void CArchive::CheckMode(Mode nMode) const {
  if (m_nMode != nMode)
    throw CArchiveException(m_nMode == load ? CArchiveException::readOnly : CArchiveException::writeOnly);
}

void CArchive::Flush() {
  if (m_nMode != store)
    return;
  size_t nUsed = static_cast<size_t>(m_pCur - m_buffer.data());
  if (nUsed != 0) {
    m_pCur = m_buffer.data();  // the buffer is spent even when the write fails
    m_pFile->Write(m_buffer.data(), nUsed);
  }
}

void CArchive::Close() { Flush(); }

void CArchive::Write(const void* pData, size_t nCount) {
  CheckMode(store);
  const uint8_t* p = static_cast<const uint8_t*>(pData);
  while (nCount != 0) {
    size_t nRoom = static_cast<size_t>(m_pBufEnd - m_pCur);
    if (nRoom == 0) {
      Flush();
      nRoom = m_buffer.size();
      // A block at least as large as the buffer goes straight to the file.
      if (nCount >= nRoom) {
        m_pFile->Write(p, nCount);
        return;
      }
    }
    size_t n = std::min(nRoom, nCount);
    std::memcpy(m_pCur, p, n);
    m_pCur += n;
    p += n;
    nCount -= n;
  }
}

size_t CArchive::FillBuffer() {
  // What is unread, or kept, moves to the front; a buffer it fills grows.
  uint8_t* pFrom = m_pKeep != nullptr ? m_pKeep : m_pCur;
  const size_t nHeld = static_cast<size_t>(m_pBufEnd - pFrom);
  const size_t nRead = static_cast<size_t>(m_pCur - pFrom);
  if (nHeld != 0 && pFrom != m_buffer.data())
    std::memmove(m_buffer.data(), pFrom, nHeld);
  if (nHeld == m_buffer.size())
    m_buffer.resize(2 * m_buffer.size());
  uint8_t* pStart = m_buffer.data();
  size_t nGot = m_pFile->Read(pStart + nHeld, m_buffer.size() - nHeld);
  if (m_pKeep != nullptr)
    m_pKeep = pStart;
  m_pCur = pStart + nRead;
  m_pBufEnd = pStart + nHeld + nGot;
  return nGot;
}

size_t CArchive::Read(void* pData, size_t nCount) {
  CheckMode(load);
  uint8_t* p = static_cast<uint8_t*>(pData);
  size_t nDone = 0;
  while (nDone < nCount) {
    size_t nBuffered = static_cast<size_t>(m_pBufEnd - m_pCur);
    if (nBuffered == 0) {
      if (m_pKeep == nullptr && nCount - nDone >= m_buffer.size()) {
        size_t nGot = m_pFile->Read(p + nDone, nCount - nDone);
        if (nGot == 0)
          break;
        nDone += nGot;
        continue;
      }
      if (FillBuffer() == 0)
        break;
      nBuffered = static_cast<size_t>(m_pBufEnd - m_pCur);
    }
    size_t n = std::min(nBuffered, nCount - nDone);
    std::memcpy(p + nDone, m_pCur, n);
    m_pCur += n;
    nDone += n;
  }
  return nDone;
}

void CArchive::ReadExact(void* pData, size_t nCount) {
  if (Read(pData, nCount) != nCount)
    throw CArchiveException(CArchiveException::endOfFile);
}

size_t CArchive::GetRemaining() const {
  size_t nFile = m_pFile->GetRemaining();
  if (nFile == SIZE_MAX)
    return SIZE_MAX;
  return nFile + static_cast<size_t>(m_pBufEnd - m_pCur);
}

CArchive& CArchive::operator<<(std::string_view str) {
  CheckMode(store);
  size_t n = str.size();
  if (n < 0xFF) {
    PutValue(static_cast<uint8_t>(n));
  } else if (n < kWideStringMark) {
    PutValue(static_cast<uint8_t>(0xFF));
    PutValue(static_cast<uint16_t>(n));
  } else if (n <= 0xFFFFFFFFu) {
    PutValue(static_cast<uint8_t>(0xFF));
    PutValue(static_cast<uint16_t>(0xFFFF));
    PutValue(static_cast<uint32_t>(n));
  } else {
    throw CArchiveException(CArchiveException::genericException);
  }
  Write(str.data(), n);
  return *this;
}

size_t CArchive::ReadStringLength(bool bAllowWideMark, bool& bWide) {
  uint8_t bLen;
  GetValue(bLen);
  if (bLen < 0xFF)
    return bLen;
  uint16_t wLen;
  GetValue(wLen);
  if (wLen == kWideStringMark) {
    // The mark of a UTF-16 string, followed by its length in code units. A second
    // mark stands for a length no file can hold: the file ends first.
    if (!bAllowWideMark)
      throw CArchiveException(CArchiveException::endOfFile);
    bWide = true;
    return ReadStringLength(false, bWide);
  }
  if (wLen == 0xFFFF) {
    uint32_t dwLen;
    GetValue(dwLen);
    return dwLen;
  }
  return wLen;
}

void CArchive::ReadBytesInto(std::string& str, size_t nCount) {
  CheckMode(load);
  if (static_cast<size_t>(m_pBufEnd - m_pCur) >= nCount) {  // the usual case
    str.assign(reinterpret_cast<const char*>(m_pCur), nCount);
    m_pCur += nCount;
    return;
  }
  size_t nRemaining = GetRemaining();
  if (nRemaining != SIZE_MAX && nCount > nRemaining)
    throw CArchiveException(CArchiveException::endOfFile);
  if (nRemaining != SIZE_MAX || nCount <= kStringChunk) {
    str.resize(nCount);
    ReadExact(str.data(), nCount);
    return;
  }
  str.clear();
  size_t nDone = 0;
  while (nDone < nCount) {
    size_t n = std::min(kStringChunk, nCount - nDone);
    str.resize(nDone + n);
    ReadExact(str.data() + nDone, n);
    nDone += n;
  }
}

CArchive& CArchive::ReadString(std::string& str) {
  CheckMode(load);
  bool bWide = false;
  size_t nLength = ReadStringLength(true, bWide);
  if (!bWide) {
    ReadBytesInto(str, nLength);
    return *this;
  }
  std::string units;
  ReadBytesInto(units, nLength * 2);
  str = CCharsetUtf::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(units.data()), units.size());
  return *this;
}

CArchive::CKeptText CArchive::ReadKeptTextSlow(std::string& strSpill) {
  CheckMode(load);
  bool bWide = false;
  size_t nLength = ReadStringLength(true, bWide);
  size_t nRemaining = GetRemaining();
  if (m_pKeep == nullptr || bWide || (nRemaining == SIZE_MAX && nLength > kStringChunk)) {
    if (bWide) {
      std::string units;
      ReadBytesInto(units, nLength * 2);
      strSpill = CCharsetUtf::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(units.data()), units.size());
    } else {
      ReadBytesInto(strSpill, nLength);
    }
    return {SIZE_MAX, strSpill.size()};
  }
  if (nLength > nRemaining)  // a length the file cannot hold takes no memory
    throw CArchiveException(CArchiveException::endOfFile);
  while (static_cast<size_t>(m_pBufEnd - m_pCur) < nLength)
    if (FillBuffer() == 0)
      throw CArchiveException(CArchiveException::endOfFile);
  const CKeptText text{static_cast<size_t>(m_pCur - m_pKeep), nLength};
  m_pCur += nLength;
  return text;
}

CArchive& CArchive::operator<<(const CDateTime& dt) {
  CheckMode(store);
  PutValue(static_cast<int32_t>(dt.GetStatus()));
  PutValue(dt.GetDate());
  return *this;
}

CArchive& CArchive::operator>>(CDateTime& dt) {
  CheckMode(load);
  int32_t nStatus;
  double dDate;
  GetValue(nStatus);
  GetValue(dDate);
  dt = CDateTime(dDate, static_cast<CDateTime::DateTimeStatus>(nStatus));
  return *this;
}

void CArchive::WriteCount(size_t nCount) {
  CheckMode(store);
  if (nCount < 0xFFFF) {
    PutValue(static_cast<uint16_t>(nCount));
  } else if (nCount <= 0xFFFFFFFFu) {
    PutValue(static_cast<uint16_t>(0xFFFF));
    PutValue(static_cast<uint32_t>(nCount));
  } else {
    throw CArchiveException(CArchiveException::genericException);
  }
}

size_t CArchive::ReadCount() {
  CheckMode(load);
  uint16_t wCount;
  GetValue(wCount);
  if (wCount != 0xFFFF)
    return wCount;
  uint32_t dwCount;
  GetValue(dwCount);
  return dwCount;
}

void CArchive::WriteRecordTag(const CRecordClass& recordClass) {
  CheckMode(store);
  if (m_nMapCount >= 0x3FFFFFFEu)
    throw CArchiveException(CArchiveException::badIndex);
  auto it = std::find_if(m_classes.begin(), m_classes.end(),
                         [&](const ClassNumber& c) { return c.pClass == &recordClass; });
  if (it == m_classes.end()) {
    size_t nLength = std::strlen(recordClass.m_lpszClassName);
    if (nLength >= kMaxClassName)
      throw CArchiveException(CArchiveException::badClass);
    PutValue(kNewClassTag);
    PutValue(recordClass.m_wSchema);
    PutValue(static_cast<uint16_t>(nLength));
    Write(recordClass.m_lpszClassName, nLength);
    m_classes.push_back(ClassNumber{m_nMapCount++, 0, &recordClass});
  } else if (it->nNumber < kBigObjectTag) {
    PutValue(static_cast<uint16_t>(kClassTag | it->nNumber));
  } else {
    PutValue(kBigObjectTag);
    PutValue(static_cast<uint32_t>(kBigClassTag | it->nNumber));
  }
  ++m_nMapCount;  // the record's own number
}

void CArchive::AssumeClassWritten(const CRecordClass& recordClass) {
  CheckMode(store);
  m_classes.push_back(ClassNumber{m_nMapCount++, 0, &recordClass});
}

size_t CArchive::ReadRecordTag(const CRecordClass* pClasses, size_t nClasses) {
  CheckMode(load);
  if (m_nMapCount >= 0x3FFFFFFEu)
    throw CArchiveException(CArchiveException::badIndex);
  uint16_t wTag;
  GetValue(wTag);
  size_t nClass;
  if (wTag == kNewClassTag) {
    uint16_t wSchema, wLength;
    GetValue(wSchema);
    GetValue(wLength);
    if (wLength >= kMaxClassName)
      throw CArchiveException(CArchiveException::badClass);
    char szName[kMaxClassName];
    ReadExact(szName, wLength);
    nClass = nClasses;
    for (size_t i = 0; i < nClasses; ++i) {
      if (std::strlen(pClasses[i].m_lpszClassName) == wLength &&
          std::memcmp(pClasses[i].m_lpszClassName, szName, wLength) == 0) {
        nClass = i;
        break;
      }
    }
    if (nClass == nClasses)
      throw CArchiveException(CArchiveException::badClass);
    if (wSchema != pClasses[nClass].m_wSchema)
      throw CArchiveException(CArchiveException::badSchema);
    m_classes.push_back(ClassNumber{m_nMapCount++, nClass, nullptr});
  } else {
    uint32_t nTag;
    if (wTag == kBigObjectTag) {
      GetValue(nTag);
    } else {
      nTag = (wTag & kClassTag) ? (kBigClassTag | (wTag & ~kClassTag)) : wTag;
    }
    if (!(nTag & kBigClassTag))  // the null entry or a record already read (or not)
      throw CArchiveException(CArchiveException::badIndex);
    uint32_t nNumber = nTag & ~kBigClassTag;
    auto it = std::find_if(m_classes.begin(), m_classes.end(),
                           [&](const ClassNumber& c) { return c.nNumber == nNumber; });
    if (it == m_classes.end())
      throw CArchiveException(CArchiveException::badIndex);
    nClass = it->nClass;
  }
  ++m_nMapCount;
  return nClass;
}
