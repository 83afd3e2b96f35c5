// The serial line on pseudo-terminals: raw set-up, reads with time-out, full writes,
// hang-up, exclusive opening (TIOCEXCL, flock, UUCP lock files) and baud rates.
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "GrellowTestSupport.h"

using namespace grellow_test;

namespace {

class SerialPortTest : public CGrellowTest {};

TEST_F(SerialPortTest, ProcessesRacingForAStaleLockEndWithOneHolderAndItsLockFile) {
  CPty pty;
  const std::string& strDev = pty.m_strSlave;
  const std::string strLock = LockFileOf(strDev);
  const pid_t nDead = DeadProcessId();
  constexpr int kRounds = 40, kRacers = 4;
  int nHeld = 0;
  for (int nRound = 0; nRound < kRounds; ++nRound) {
    WriteFile(strLock, LockText(nDead));  // left by a process that has died
    int go[2], results[2], release[2];
    ASSERT_EQ(pipe(go) | pipe(results) | pipe(release), 0);
    std::vector<pid_t> racers;
    for (int i = 0; i < kRacers; ++i) {
      if (pid_t pid = fork(); pid != 0) {
        racers.push_back(pid);
        continue;
      }
      close(go[1]);
      close(release[1]);
      char c;
      (void)!read(go[0], &c, 1);  // all start when the pipe closes
      // Each taker dwells between finding the lock stale and replacing it, so that
      // the others find it stale too.
      CSerialPort::SetLockTakeoverPause(3000);
      CSerialPort port;
      char cResult = 'b';
      if (port.Open(strDev, 9600) == SERIAL_OK) {
        // Holding the line: its lock file must be there and name this process.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        cResult = ReadFile(strLock) == LockText(getpid()) ? 'h' : 'x';
      }
      // The port is kept until every racer has said what it saw, so that a slow
      // starter cannot take it after a quick one has let go.
      (void)!write(results[1], &cResult, 1);
      (void)!read(release[0], &c, 1);
      port.Close();
      _exit(0);
    }
    close(go[0]);
    close(results[1]);
    close(release[0]);
    // Let them all go at once, collect what each saw, then let them let go.
    std::string seen;
    close(go[1]);
    char c;
    while (seen.size() < kRacers && read(results[0], &c, 1) == 1)
      seen += c;
    close(release[1]);
    close(results[0]);
    for (pid_t pid : racers)
      waitpid(pid, nullptr, 0);
    // One holder at most, and never one without its lock file.
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 'x'), 0) << seen;
    EXPECT_LE(std::count(seen.begin(), seen.end(), 'h'), 1) << seen;
    nHeld += static_cast<int>(std::count(seen.begin(), seen.end(), 'h'));
    unlink(strLock.c_str());
  }
  EXPECT_GT(nHeld, kRounds / 2);  // the stale lock is taken over, not left to block
  // Nothing of the takers is left in the lock folder.
  EXPECT_TRUE(LockFolderEmpty());
}

TEST_F(SerialPortTest, RawLineReadsWithTimeOutAndWritesEverything) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.m_strSlave, 115200), SERIAL_OK);
  // Bytes cross unchanged both ways: no line ends rewritten, no echo, no signal or
  // flow-control characters taken out, no waiting for a whole line.
  const std::string strOut("AT\r\n\n\x03\x11\x13\x7f\xff", 10),
      strIn("\r\nOK\r\n\x1a\x03\x04\x11\x13\x00", 12);
  ASSERT_TRUE(port.Write(strOut.data(), strOut.size()));
  EXPECT_EQ(pty.ReadMaster(strOut.size()), strOut);

  // Nothing sent: 0 after the time-out, having waited for it.
  char buf[64];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buf, sizeof buf, 60), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(55));
  // Data sent by another thread while the read waits ends the wait; a read returns
  // what has come, never more than asked.
  std::thread writer([&] { pty.WriteMaster(strIn); });
  std::string strGot;
  for (int n; strGot.size() < strIn.size() && (n = port.Read(buf, 4, 10000)) > 0;
       strGot.append(buf, static_cast<size_t>(n)))
    ASSERT_LE(n, 4);
  writer.join();
  EXPECT_EQ(strGot, strIn);
  EXPECT_EQ(pty.ReadMaster(1, 20), "");  // no echo

  // Far more than the pseudo-terminal buffers: the write waits for room and goes on
  // after partial writes; with nobody reading it gives up at the time-out.
  std::string strBig(300000, '\0'), strReceived;
  for (size_t i = 0; i < strBig.size(); ++i)
    strBig[i] = static_cast<char>('A' + (i * 7 + i / 251) % 26);
  std::thread reader([&] { strReceived = pty.ReadMaster(strBig.size()); });
  EXPECT_TRUE(port.Write(strBig.data(), strBig.size(), 20000));
  reader.join();
  EXPECT_TRUE(strReceived == strBig);
  EXPECT_FALSE(port.Write(strBig.data(), strBig.size(), 100));
  port.Close();
  EXPECT_EQ(port.Read(buf, sizeof buf, 10), -1);
  EXPECT_FALSE(port.Write("x", 1));
}

TEST_F(SerialPortTest, HangUpEndsTheWaitEvenWithUnreadBytes) {
  CPty pty;
  CSerialPort port;
  ASSERT_EQ(port.Open(pty.m_strSlave, 9600), SERIAL_OK);
  ASSERT_TRUE(pty.WriteMaster("OK\r\n"));
  pollfd pfd{port.GetFd(), POLLIN, 0};
  ASSERT_EQ(poll(&pfd, 1, 5000), 1);
  close(pty.m_nMaster);
  pty.m_nMaster = -1;
  // A long time-out: the hang-up must end the wait, not the clock.
  const auto start = std::chrono::steady_clock::now();
  char buf[16];
  int n;
  while ((n = port.Read(buf, sizeof buf, 60000)) > 0) {
  }
  EXPECT_EQ(n, -1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(port.Write("AT\r", 3, 1000));
}

TEST_F(SerialPortTest, EachKindOfHoldOnThePortIsHonoured) {
  CPty pty;
  const std::string& strDev = pty.m_strSlave;
  const std::string strLock = LockFileOf(strDev), strLink = m_strTemp + "/modem";
  ASSERT_EQ(CSerialPort::GetLockFileName(strDev), "LCK..pts_" + strDev.substr(9));
  ASSERT_EQ(symlink(strDev.c_str(), strLink.c_str()), 0);
  // Holds that refuse the port without touching what is there: another object here
  // (opened by a link, whose copy a child has closed), another program's flock() or
  // exclusive mark, a lock file of a live process (our parent) in text or binary
  // form, and an empty lock file being written.
  enum Hold { object, flocked, exclusive, liveText, liveBinary, empty };
  for (Hold hold : {object, flocked, exclusive, liveText, liveBinary, empty}) {
    SCOPED_TRACE(hold);
    CSerialPort first;
    const int fd = hold == flocked || hold == exclusive ? open(strDev.c_str(), O_RDWR | O_NOCTTY) : -1;
    const int32_t nParent = getppid();
    switch (hold) {
      case object:
        ASSERT_EQ(first.Open(strLink, 9600), SERIAL_OK);
        if (fork() == 0)
          first.Close(), _exit(0);
        wait(nullptr);
        EXPECT_EQ(ReadFile(strLock), LockText(getpid()));
        break;
      case flocked:
        ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
        break;
      case exclusive:
        ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
        break;
      case liveText:
        WriteFile(strLock, LockText(nParent));
        break;
      case liveBinary:
        WriteFile(strLock, std::string(reinterpret_cast<const char*>(&nParent), 4));
        break;
      case empty:
        WriteFile(strLock, "");
        break;
    }
    const std::string strBefore = ReadFile(strLock);
    CSerialPort second;
    EXPECT_EQ(second.Open(strDev, 9600), SERIAL_IN_USE);
    // The holder is named when its lock file names a process.
    const bool bNamed = hold == object || hold == liveText || hold == liveBinary;
    const std::string strHolder = hold == object ? std::to_string(getpid()) : std::to_string(nParent);
    EXPECT_EQ(GetSerialFailureText().find(strDev + " is in use by another program" +
                                          (bNamed ? " (process " + strHolder : std::string())),
              0u)
        << GetSerialFailureText();
    EXPECT_EQ(CSerialPort::Probe(strDev), SERIAL_IN_USE);
    EXPECT_EQ(Exists(strLock), hold != flocked && hold != exclusive);
    EXPECT_EQ(ReadFile(strLock), strBefore);
    if (fd >= 0)
      ioctl(fd, TIOCNXCL), close(fd);
    first.Close();
    unlink(strLock.c_str());
    EXPECT_EQ(second.Open(strDev, 9600), SERIAL_OK);
  }
  // A lock left by a process that has died, or naming no process, is taken over and
  // removed on close; a lock file another process wrote meanwhile is not.
  const pid_t nDead = DeadProcessId();
  for (const std::string& strStale :
       {LockText(nDead), std::string("garbage\n"), std::string("         0\n")}) {
    WriteFile(strLock, strStale);
    CSerialPort port;
    EXPECT_EQ(port.Open(strDev, 9600), SERIAL_OK) << strStale;
    EXPECT_EQ(ReadFile(strLock), LockText(getpid()));
    port.Close();
    EXPECT_FALSE(Exists(strLock));
  }
  CSerialPort port;
  ASSERT_EQ(port.Open(strDev, 9600), SERIAL_OK);
  WriteFile(strLock, LockText(getppid()));
  port.Close();
  EXPECT_EQ(ReadFile(strLock), LockText(getppid()));
  // A lock folder that cannot be used: the port opens without a lock file, and is
  // still held exclusively.
  setenv("MIRETH_LOCK_DIR", (m_strTemp + "/no-such-folder").c_str(), 1);
  ASSERT_EQ(port.Open(strDev, 9600), SERIAL_OK);
  EXPECT_EQ(port.GetLockFile(), "");
  EXPECT_EQ(CSerialPort::Probe(strDev), SERIAL_IN_USE);
}

TEST_F(SerialPortTest, StandardRatesAreAcceptedAndOthersRefused) {
  CPty pty;
  CSerialPort port;
  const std::pair<int, speed_t> rates[] = {
      {300, B300},   {600, B600},     {1200, B1200},   {1800, B1800},   {2400, B2400},    {4800, B4800},
      {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}};
  termios tio{};
  for (const auto& [nRate, speed] : rates) {
    ASSERT_EQ(port.Open(pty.m_strSlave, nRate), SERIAL_OK) << nRate;
    ASSERT_EQ(tcgetattr(port.GetFd(), &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), speed) << nRate;
  }
  for (int nBad : {0, -9600, 110, 9601, 250000, 921601}) {
    EXPECT_EQ(port.SetBaudRate(nBad), SERIAL_BAD_BAUD) << nBad;
    EXPECT_EQ(port.GetBaudRate(), 115200);
  }
  port.Close();
  // A bad rate at open leaves nothing held.
  EXPECT_EQ(port.Open(pty.m_strSlave, 12345), SERIAL_BAD_BAUD);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(LockFolderEmpty());
  EXPECT_EQ(CSerialPort::Probe(pty.m_strSlave), SERIAL_OK);
}

TEST_F(SerialPortTest, PathsThatAreNoSerialDeviceAreRefused) {
  WriteFile(m_strTemp + "/plain-file", "AT\r");
  CSerialPort port;
  // Each is "not found" in words of its own; none is "in use".
  const std::pair<std::string, std::string> cases[] = {
      {m_strTemp + "/gone", m_strTemp + "/gone does not exist"},
      {m_strTemp + "/no-folder/ttyUSB0", "the folder of " + m_strTemp + "/no-folder/ttyUSB0 does not exist"},
      {m_strTemp + "/plain-file/x", "a part of the path " + m_strTemp + "/plain-file/x is not a folder"},
      {m_strTemp + "/plain-file", m_strTemp + "/plain-file is not a serial device"},
      {m_strTemp, m_strTemp + " is a folder, not a serial device"},
      {"/dev/null", "/dev/null is not a serial device"},
  };
  for (const auto& [strPath, strWords] : cases) {
    EXPECT_EQ(port.Open(strPath, 9600), SERIAL_NOT_FOUND) << strPath;
    EXPECT_EQ(GetSerialFailureText(), strWords);
    EXPECT_EQ(CSerialPort::Probe(strPath), SERIAL_NOT_FOUND) << strPath;
  }
  EXPECT_EQ(ReadFile(m_strTemp + "/plain-file"), "AT\r");
  // A device the user may not open: denied, in those words, and no lock file left.
  CPty pty;
  ASSERT_EQ(chmod(pty.m_strSlave.c_str(), 0), 0);
  EXPECT_EQ(AsOrdinaryUser([&] {
              CSerialPort denied;
              return denied.Open(pty.m_strSlave, 9600) == SERIAL_ACCESS_DENIED ? 0 : 1;
            }),
            0);
  EXPECT_TRUE(LockFolderEmpty());
}

TEST_F(SerialPortTest, ALockOfAnotherUsersLiveProcessIsHonoured) {
  // Asking whether another user's process lives gets EPERM, which means it does. As
  // the superuser the port is opened as nobody against a lock naming this process;
  // as a user, against one naming process 1 when another user owns it.
  CPty pty;
  pid_t nOwner = getpid();
  struct stat st {};
  if (geteuid() != 0) {
    if (stat("/proc/1", &st) != 0 || st.st_uid == geteuid())
      GTEST_SKIP() << "no process of another user to name in a lock file";
    nOwner = 1;
  }
  ASSERT_EQ(chown(pty.m_strSlave.c_str(), geteuid() == 0 ? 65534 : geteuid(), static_cast<gid_t>(-1)), 0);
  const std::string strLock = LockFileOf(pty.m_strSlave);
  WriteFile(strLock, LockText(nOwner));
  EXPECT_EQ(AsOrdinaryUser([&] {
              CSerialPort port;
              return port.Open(pty.m_strSlave, 9600) == SERIAL_IN_USE ? 0 : 1;
            }),
            0);
  EXPECT_EQ(ReadFile(strLock), LockText(nOwner));
}

}  // namespace
