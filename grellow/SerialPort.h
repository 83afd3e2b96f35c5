// One serial line, opened exclusively: the device node is opened without becoming
// the controlling terminal, marked exclusive (TIOCEXCL), locked with flock() and with
// a UUCP lock file (LCK..ttyUSB0 in /var/lock or /run/lock), so that a port another
// program holds is reported as in use and left alone. A lock file left by a process
// that has died is taken over by renaming a complete new one over it, one taker at a
// time (an flock on the lock folder), after checking again that it is stale. The
// line is set to raw 8N1
// without flow control. Reads wait with poll() for data up to a time-out; writes
// wait for room. Works on pseudo-terminals too (the slave side, opened by path).
#pragma once

#include <cstddef>
#include <string>

enum SerialResult {
  SERIAL_OK,
  SERIAL_NOT_FOUND,      // no such device, or the path is not a terminal
  SERIAL_IN_USE,         // another program (or another object here) holds it
  SERIAL_ACCESS_DENIED,  // no permission to open the device
  SERIAL_BAD_BAUD,       // a rate outside the table, or refused by the driver
  SERIAL_IO_ERROR        // anything else the system refused
};

// A short English description of a result, for logs and the command line.
const char* SerialResultText(SerialResult result);

// Why the last Open or Probe in this process failed, in words naming the device: in
// use (and by which process, when its lock file names one), missing (or its folder
// missing, or a folder in its place), not a serial device, no permission. "" when it
// succeeded.
std::string GetSerialFailureText();

class CSerialPort {
 public:
  // Write() with this time-out waits as long as the data takes on the wire at the
  // current rate, plus two seconds.
  static constexpr int WRITE_TIMEOUT_AUTO = -1;

  CSerialPort() = default;
  ~CSerialPort();
  CSerialPort(const CSerialPort&) = delete;
  CSerialPort& operator=(const CSerialPort&) = delete;

  // Opens the device exclusively and sets it to raw 8N1 at nBaudRate. On any result
  // but SERIAL_OK nothing is held. A port already open here is closed first.
  SerialResult Open(const std::string& strDevice, int nBaudRate);
  // Changes the rate of the open line; on SERIAL_BAD_BAUD the old rate stays.
  SerialResult SetBaudRate(int nBaudRate);

  // Waits up to nTimeoutMs for data and reads what is there, at most nSize bytes.
  // Returns the number of bytes read, 0 on time-out, -1 when the device is gone or
  // hung up (or the port is not open).
  int Read(void* pBuffer, size_t nSize, int nTimeoutMs);
  // Writes all nSize bytes, waiting for room up to nTimeoutMs in all; false on
  // time-out, hang-up or error.
  bool Write(const void* pData, size_t nSize, int nTimeoutMs = WRITE_TIMEOUT_AUTO);
  // Releases the lock file, the flock and the exclusive mark, and closes the device.
  void Close();

  bool IsOpen() const { return m_nFd >= 0; }
  int GetFd() const { return m_nFd; }
  int GetBaudRate() const { return m_nBaudRate; }
  // The path given to Open().
  const std::string& GetDevice() const { return m_strDevice; }
  // The lock file held, or empty when none (no usable lock folder).
  const std::string& GetLockFile() const { return m_strLockFile; }

  // Checks that the device could be opened exclusively right now, without setting
  // up the line: opens and releases it at once.
  static SerialResult Probe(const std::string& strDevice);

  // True for the rates the line can be set to (300 to 115200, and 230400 and
  // 460800 where the system has them).
  static bool IsSupportedBaudRate(int nBaudRate);

  // The folder of the UUCP lock files: the one set here, else $MIRETH_LOCK_DIR,
  // else /var/lock (or /run/lock). An empty text returns to the default.
  static void SetLockDirectory(const std::string& strFolder);
  static std::string GetLockDirectory();
  // The lock file that guards a device: LCK.. and the device's name below /dev with
  // '/' turned into '_' (LCK..ttyUSB0, LCK..pts_3), after following symbolic links.
  static std::string GetLockFileName(const std::string& strDevice);
  // For race tests: a pause between finding a lock stale and replacing it.
  static void SetLockTakeoverPause(int nMicroseconds);

 private:
  SerialResult OpenExclusive(const std::string& strDevice);
  SerialResult ApplyBaudRate(int nBaudRate);
  void Release();

  int m_nFd = -1;
  int m_nOwnerPid = 0;  // the process that opened the port
  int m_nBaudRate = 0;
  std::string m_strDevice;
  std::string m_strLockFile;
};
