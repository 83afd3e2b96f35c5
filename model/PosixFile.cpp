#include "model/PosixFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "model/StoreFile.h"
#include "platform/SafeFile.h"

void ThrowFileError(int nErrno) { throw CFileException(CFileException::CauseFromErrno(nErrno), nErrno); }

size_t CPosixFile::Read(void* pBuffer, size_t nCount) {
  CheckStoreFault(StoreStep::read);
  for (;;) {
    ssize_t n = read(m_fd, pBuffer, nCount);
    if (n >= 0) {
      m_nPos += static_cast<size_t>(n);
      return static_cast<size_t>(n);
    }
    if (errno != EINTR)
      ThrowFileError(errno);
  }
}

void CPosixFile::Write(const void* pBuffer, size_t nCount) {
  CheckStoreFault(StoreStep::write);
  if (!WriteFully(m_fd, pBuffer, nCount))
    ThrowFileError(errno);
  m_nWritten += nCount;
  StartWriteback();
}

void CPosixFile::StartWriteback() {
#if defined(__linux__)
  if (m_bWriteback && m_nWritten - m_nWriteback >= kWritebackStep) {
    sync_file_range(m_fd, static_cast<off_t>(m_nWriteback), static_cast<off_t>(m_nWritten - m_nWriteback),
                    SYNC_FILE_RANGE_WRITE);
    m_nWriteback = m_nWritten;
  }
#endif
}
