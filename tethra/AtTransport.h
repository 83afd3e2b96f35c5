// The byte stream under the AT channel: a serial line in the program, a scripted
// stream in the tests. Kept this small so the channel can be tested without a device.
#pragma once

#include <cstddef>

class IAtTransport {
 public:
  virtual ~IAtTransport() = default;

  // Waits up to nTimeoutMs (0: do not wait) for data and reads what is there, at most
  // nSize bytes. Returns the number of bytes read, 0 on time-out, -1 when the line is
  // gone (hung up, unplugged, closed).
  virtual long Read(void* pBuffer, size_t nSize, int nTimeoutMs) = 0;
  // Writes all nSize bytes; false when they could not be written.
  virtual bool Write(const void* pData, size_t nSize) = 0;
};
