// The serial line on pseudo-terminals: raw set-up, reads with time-out, full writes,
// hang-up, exclusive opening (TIOCEXCL, flock, UUCP lock files) and baud rates.
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <thread>

#include "GrellowTestSupport.h"

using namespace grellow_test;

namespace {

class SerialPortTest : public CGrellowTest {};

const int g_standardRates[] = {300, 600, 1200, 1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

speed_t SpeedOf(int fd) {
  struct termios tio {};
  EXPECT_EQ(tcgetattr(fd, &tio), 0);
  return cfgetospeed(&tio);
}

// Everything the port reads within the time-out per read, until nBytes have come.
std::string ReadAll(CSerialPort& port, size_t nBytes, int nTimeoutMs = 5000) {
  std::string strData;
  char buf[512];
  while (strData.size() < nBytes) {
    int n = port.Read(buf, std::min(sizeof buf, nBytes - strData.size()), nTimeoutMs);
    if (n <= 0)
      break;
    strData.append(buf, static_cast<size_t>(n));
  }
  return strData;
}

TEST_F(SerialPortTest, OpensAsRawEightBitLineWithoutFlowControl) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 19200), SERIAL_OK);
  ASSERT_TRUE(port.IsOpen());
  EXPECT_EQ(port.GetBaudRate(), 19200);
  EXPECT_EQ(port.GetDevice(), pty.Slave());

  struct termios tio {};
  ASSERT_EQ(tcgetattr(port.GetFd(), &tio), 0);
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B19200));
  EXPECT_EQ(fcntl(port.GetFd(), F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

  // Bytes cross unchanged both ways: no line ends rewritten, no echo, no signal or
  // flow-control characters taken out, no waiting for a whole line.
  const std::string strOut("AT\r\n\n\x03\x11\x13\x7f\xff", 10);
  ASSERT_TRUE(port.Write(strOut.data(), strOut.size()));
  EXPECT_EQ(pty.ReadMaster(strOut.size()), strOut);

  const std::string strIn("\r\nOK\r\n\x1a\x03\x04\x11\x13\x00", 12);
  ASSERT_TRUE(pty.WriteMaster(strIn));
  EXPECT_EQ(ReadAll(port, strIn.size()), strIn);
  // Nothing was echoed back to the other end.
  EXPECT_EQ(pty.ReadMaster(1, 20), "");
}

TEST_F(SerialPortTest, ReadWaitsForDataUpToTheTimeOut) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
  char buf[64];

  // Nothing sent: 0 after the time-out, having waited for it.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buf, sizeof buf, 60), 0);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(55));
  EXPECT_EQ(port.Read(buf, sizeof buf, 0), 0);

  // Data sent before the read is there at once.
  ASSERT_TRUE(pty.WriteMaster("+CMTI: \"SM\",3\r\n"));
  EXPECT_EQ(ReadAll(port, 15), "+CMTI: \"SM\",3\r\n");

  // Data sent by another thread while the read waits ends the wait; the read
  // returns what has come, never more than asked.
  std::thread writer([&pty] { pty.WriteMaster("0123456789"); });
  std::string strGot;
  while (strGot.size() < 10) {
    int n = port.Read(buf, 4, 10000);
    ASSERT_GT(n, 0);
    ASSERT_LE(n, 4);
    strGot.append(buf, static_cast<size_t>(n));
  }
  writer.join();
  EXPECT_EQ(strGot, "0123456789");

  // A zero-length read and a read on a closed port.
  EXPECT_EQ(port.Read(buf, 0, 10), 0);
  port.Close();
  EXPECT_EQ(port.Read(buf, sizeof buf, 10), -1);
  EXPECT_FALSE(port.Write("x", 1));
}

TEST_F(SerialPortTest, WriteSendsEverythingOrFailsOnTimeOut) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 115200), SERIAL_OK);

  // Far more than the pseudo-terminal buffers: the write must wait for room and go
  // on after partial writes until all has gone.
  std::string strBig(300000, '\0');
  for (size_t i = 0; i < strBig.size(); ++i)
    strBig[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  std::string strReceived;
  std::thread reader([&] { strReceived = pty.ReadMaster(strBig.size(), 5000); });
  EXPECT_TRUE(port.Write(strBig.data(), strBig.size(), 20000));
  reader.join();
  EXPECT_EQ(strReceived.size(), strBig.size());
  EXPECT_TRUE(strReceived == strBig);

  // Nobody reads: the write gives up at the time-out.
  EXPECT_FALSE(port.Write(strBig.data(), strBig.size(), 100));
}

TEST_F(SerialPortTest, HangUpIsReportedWhenTheOtherEndCloses) {
  for (int nRound = 0; nRound < 2; ++nRound) {
    CPty pty;
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
    if (nRound == 1) {
      // Unread bytes do not hide the hang-up.
      ASSERT_TRUE(pty.WriteMaster("OK\r\n"));
      struct pollfd pfd {port.GetFd(), POLLIN, 0};
      ASSERT_EQ(poll(&pfd, 1, 5000), 1);
    }
    pty.CloseMaster();
    char buf[16];
    // A long time-out: the hang-up must end the wait, not the clock.
    auto start = std::chrono::steady_clock::now();
    int n;
    do {
      n = port.Read(buf, sizeof buf, 60000);
    } while (n > 0);
    EXPECT_EQ(n, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_FALSE(port.Write("AT\r", 3, 1000));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
  }
}

TEST_F(SerialPortTest, SecondOpenOfAHeldPortIsRefused) {
  CPty pty;
  CSerialPort first;
  ASSERT_EQ(first.Open(pty.Slave(), 9600), SERIAL_OK);
  // The lock file names this process, in the ten-character form.
  std::string strLock = LockFileOf(pty.Slave());
  EXPECT_EQ(first.GetLockFile(), strLock);
  EXPECT_EQ(ReadFile(strLock), LockText(getpid()));

  CSerialPort second;
  EXPECT_EQ(second.Open(pty.Slave(), 9600), SERIAL_IN_USE);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_IN_USE);
  // The refused attempts took nothing from the holder.
  EXPECT_EQ(ReadFile(strLock), LockText(getpid()));
  ASSERT_TRUE(pty.WriteMaster("still mine"));
  EXPECT_EQ(ReadAll(first, 10), "still mine");

  // Once released, the port opens again and the lock file is gone meanwhile.
  first.Close();
  EXPECT_FALSE(Exists(strLock));
  EXPECT_EQ(second.Open(pty.Slave(), 9600), SERIAL_OK);
  EXPECT_TRUE(Exists(strLock));
  // Open on an open object releases the first device before taking the next.
  CPty other;
  EXPECT_EQ(second.Open(other.Slave(), 9600), SERIAL_OK);
  EXPECT_FALSE(Exists(strLock));
  EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_OK);
}

TEST_F(SerialPortTest, EachKindOfHoldOnThePortIsHonoured) {
  CPty pty;
  std::string strLock = LockFileOf(pty.Slave());
  {
    // Another program's flock() on the device.
    int fd = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
    CSerialPort port;
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_IN_USE);
    EXPECT_FALSE(Exists(strLock)) << "a refused open must not leave a lock file";
    close(fd);
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
  }
  {
    // Another program marked the line exclusive.
    int fd = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_IN_USE);
    EXPECT_FALSE(Exists(strLock));
    ioctl(fd, TIOCNXCL);
    close(fd);
    EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_OK);
  }
  {
    // A lock file of a running process (our parent) without any other hold.
    WriteFile(strLock, LockText(getppid()));
    CSerialPort port;
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_IN_USE);
    EXPECT_EQ(ReadFile(strLock), LockText(getppid())) << "a live lock must not be touched";
    // The same in the old binary form.
    int32_t nPid = getppid();
    WriteFile(strLock, std::string(reinterpret_cast<const char*>(&nPid), sizeof nPid));
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_IN_USE);
    // An empty lock file just created is one being written: in use.
    WriteFile(strLock, "");
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_IN_USE);
  }
  for (const std::string& strStale : {LockText(DeadPid()), std::string("garbage\n"),
                                      std::string("         0\n")}) {
    // A lock left by a process that has died, or holding no process id, is taken
    // over; on close it is removed.
    WriteFile(strLock, strStale);
    CSerialPort port;
    EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK) << strStale;
    EXPECT_EQ(ReadFile(strLock), LockText(getpid()));
    port.Close();
    EXPECT_FALSE(Exists(strLock));
  }
  // A lock file of another process is never removed by our Close.
  {
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
    WriteFile(strLock, LockText(getppid()));
    port.Close();
    EXPECT_EQ(ReadFile(strLock), LockText(getppid()));
    unlink(strLock.c_str());
  }
  // No temporary files are left in the lock folder.
  EXPECT_TRUE(std::filesystem::is_empty(m_strLockDir));
}

TEST_F(SerialPortTest, AnotherProcessHoldingThePortKeepsItUntilReleased) {
  CPty pty;
  CHolderProcess holder(pty.Slave());
  ASSERT_EQ(holder.Result(), SERIAL_OK);
  EXPECT_EQ(ReadFile(LockFileOf(pty.Slave())), LockText(holder.Pid()));
  CSerialPort port;
  EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_IN_USE);
  holder.Release();
  EXPECT_FALSE(Exists(LockFileOf(pty.Slave())));
  EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
}

TEST_F(SerialPortTest, ChildClosingItsInheritedCopyLeavesTheHoldIntact) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
  pid_t pid = fork();
  if (pid == 0) {
    port.Close();
    _exit(0);
  }
  int nStatus = 0;
  ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
  EXPECT_EQ(ReadFile(LockFileOf(pty.Slave())), LockText(getpid()));
  EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_IN_USE);
  if (geteuid() == 0) {
    // The superuser may open the line despite the exclusive mark; the flock and the
    // mark must still be there.
    int fd = open(pty.Slave().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
    int nExclusive = 0;
    EXPECT_EQ(ioctl(fd, TIOCGEXCL, &nExclusive), 0);
    EXPECT_NE(nExclusive, 0);
    close(fd);
  }
  ASSERT_TRUE(pty.WriteMaster("mine"));
  EXPECT_EQ(ReadAll(port, 4), "mine");
}

TEST_F(SerialPortTest, LockFileNameFollowsLinksAndFolderMayBeUnusable) {
  CPty pty;
  // /dev/pts/N is locked as LCK..pts_N, by whatever link it is reached.
  std::string strSlave = pty.Slave();
  ASSERT_EQ(strSlave.compare(0, 9, "/dev/pts/"), 0);
  EXPECT_EQ(CSerialPort::GetLockFileName(strSlave), "LCK..pts_" + strSlave.substr(9));
  std::string strLink = m_temp / "modem";
  ASSERT_EQ(symlink(strSlave.c_str(), strLink.c_str()), 0);
  EXPECT_EQ(CSerialPort::GetLockFileName(strLink), CSerialPort::GetLockFileName(strSlave));
  EXPECT_EQ(CSerialPort::GetLockFileName("/dev/ttyUSB0"), "LCK..ttyUSB0");

  CSerialPort viaLink;
  ASSERT_EQ(viaLink.Open(strLink, 9600), SERIAL_OK);
  EXPECT_EQ(viaLink.GetLockFile(), LockFileOf(strSlave));
  EXPECT_EQ(CSerialPort::Probe(strSlave), SERIAL_IN_USE);
  viaLink.Close();

  // A lock folder that cannot be used: the port opens without a lock file.
  setenv("MIRETH_LOCK_DIR", (m_temp / "no-such-folder").c_str(), 1);
  CSerialPort port;
  EXPECT_EQ(port.Open(strSlave, 9600), SERIAL_OK);
  EXPECT_EQ(port.GetLockFile(), "");
  // ... and is still held exclusively.
  EXPECT_EQ(CSerialPort::Probe(strSlave), SERIAL_IN_USE);
  port.Close();

  // The folder set in code wins over the environment.
  CSerialPort::SetLockDirectory(m_strLockDir);
  EXPECT_EQ(CSerialPort::GetLockDirectory(), m_strLockDir);
  ASSERT_EQ(port.Open(strSlave, 9600), SERIAL_OK);
  EXPECT_EQ(port.GetLockFile(), LockFileOf(strSlave));
  port.Close();
  CSerialPort::SetLockDirectory("");
  EXPECT_EQ(CSerialPort::GetLockDirectory(), m_temp / "no-such-folder");
}

TEST_F(SerialPortTest, EveryStandardRateIsAcceptedAndOthersRefused) {
  CPty pty;
  const std::pair<int, speed_t> expected[] = {
      {300, B300},     {600, B600},     {1200, B1200},   {1800, B1800},
      {2400, B2400},   {4800, B4800},   {9600, B9600},   {19200, B19200},
      {38400, B38400}, {57600, B57600}, {115200, B115200}};
  for (const auto& [nRate, speed] : expected) {
    CSerialPort port;
    ASSERT_EQ(port.Open(pty.Slave(), nRate), SERIAL_OK) << nRate;
    EXPECT_EQ(port.GetBaudRate(), nRate);
    EXPECT_EQ(SpeedOf(port.GetFd()), speed) << nRate;
  }

  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
  for (int nRate : g_standardRates) {
    EXPECT_EQ(port.SetBaudRate(nRate), SERIAL_OK) << nRate;
    EXPECT_EQ(port.GetBaudRate(), nRate);
  }
  EXPECT_EQ(SpeedOf(port.GetFd()), static_cast<speed_t>(B115200));
  for (int nBad : {0, -9600, 1, 110, 9601, 12345, 250000, 1000000, 2147483647}) {
    EXPECT_EQ(port.SetBaudRate(nBad), SERIAL_BAD_BAUD) << nBad;
    EXPECT_EQ(port.GetBaudRate(), 115200);
    EXPECT_TRUE(port.IsOpen());
  }
  EXPECT_EQ(SpeedOf(port.GetFd()), static_cast<speed_t>(B115200));
  port.Close();
  EXPECT_EQ(port.SetBaudRate(9600), SERIAL_IO_ERROR);

  // A bad rate at open leaves nothing held.
  for (int nBad : {0, 12345, 921600 + 1}) {
    EXPECT_EQ(port.Open(pty.Slave(), nBad), SERIAL_BAD_BAUD);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(Exists(LockFileOf(pty.Slave())));
    EXPECT_EQ(CSerialPort::Probe(pty.Slave()), SERIAL_OK);
  }
}

TEST_F(SerialPortTest, PathsThatAreNoSerialDeviceAreRefused) {
  CSerialPort port;
  EXPECT_EQ(port.Open(m_temp / "nothing-here", 9600), SERIAL_NOT_FOUND);
  EXPECT_EQ(port.Open("", 9600), SERIAL_NOT_FOUND);
  WriteFile(m_temp / "plain-file", "AT\r");
  EXPECT_EQ(port.Open(m_temp / "plain-file", 9600), SERIAL_NOT_FOUND);
  EXPECT_EQ(ReadFile(m_temp / "plain-file"), "AT\r");
  EXPECT_EQ(port.Open(m_temp.Path(), 9600), SERIAL_NOT_FOUND);
  // A character device that is no terminal.
  EXPECT_EQ(port.Open("/dev/null", 9600), SERIAL_NOT_FOUND);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(std::filesystem::is_empty(m_strLockDir));
}

TEST_F(SerialPortTest, DeviceWithoutPermissionIsReportedAsSuch) {
  if (geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind the superuser";
  CPty pty;
  ASSERT_EQ(chmod(pty.Slave().c_str(), 0), 0);
  CSerialPort port;
  EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_ACCESS_DENIED);
  EXPECT_TRUE(std::filesystem::is_empty(m_strLockDir));
  ASSERT_EQ(chmod(pty.Slave().c_str(), 0600), 0);
  EXPECT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
}

TEST_F(SerialPortTest, DiscardInputDropsWhatHasArrived) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.Slave(), 9600), SERIAL_OK);
  ASSERT_TRUE(pty.WriteMaster("stale reply\r\n"));
  struct pollfd pfd {port.GetFd(), POLLIN, 0};
  ASSERT_EQ(poll(&pfd, 1, 5000), 1);
  EXPECT_TRUE(port.DiscardInput());
  char buf[32];
  EXPECT_EQ(port.Read(buf, sizeof buf, 30), 0);
  ASSERT_TRUE(pty.WriteMaster("OK"));
  EXPECT_EQ(ReadAll(port, 2), "OK");
  port.Close();
  EXPECT_FALSE(port.DiscardInput());
}

}  // namespace
