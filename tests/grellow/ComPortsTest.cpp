// COM names and the port map: finding serial devices, numbering them the way they
// keep across runs, and probing which ports can be opened.
#include <map>

#include "GrellowTestSupport.h"
#include "platform/Registry.h"

using namespace grellow_test;

namespace {

const char kPortsKey[] = "SOFTWARE\\Kelvane\\Mireth\\Ports";

class ComPortsTest : public CGrellowTest {
 protected:
  // Puts a device into the fake /dev: a symbolic link to a pseudo-terminal slave.
  std::string AddDevice(const std::string& strName, const CPty& pty) {
    const std::string strPath = m_strDevDir + "/" + strName;
    EXPECT_EQ(symlink(pty.m_strSlave.c_str(), strPath.c_str()), 0) << strPath;
    return strPath;
  }
  void SetMap(const std::string& strName, const std::string& strDevice) {
    CRegKey key;
    ASSERT_TRUE(key.Create(kPortsKey) && key.SetText(strName, strDevice));
  }
  std::map<std::string, std::string> Map() {  // read back through a fresh key
    std::map<std::string, std::string> map;
    for (const CComPortEntry& e : ReadComPortMap())
      map[e.m_strName] = e.m_strDevice;
    return map;
  }
};

TEST_F(ComPortsTest, FindsSerialDevicesAndPrefersStableNames) {
  CPty a, b, c, d, e, f, g, h;
  const std::string strUsb10 = AddDevice("ttyUSB10", a), strAcm0 = AddDevice("ttyACM0", c);
  const std::string strRfcomm = AddDevice("rfcomm0", d), strS0 = AddDevice("ttyS0", e);
  AddDevice("ttyUSB2", b), AddDevice("ttyS1", f), AddDevice("ttyS2", g), AddDevice("ttyS3", h);
  // Names that are no serial line of ours, and a link to nothing.
  AddDevice("ttyUSBx", a), AddDevice("tty0", a);
  WriteFile(m_strDevDir + "/ttyUSB5", "not a device");
  ASSERT_EQ(symlink("gone", (m_strDevDir + "/ttyACM7").c_str()), 0);
  // The built-in ports: ttyS0 has a UART, ttyS1 none, ttyS2 carries the console;
  // ttyS3 has no sysfs entry and its driver does not know it as a serial port.
  const std::string strSys = m_strTemp + "/sys/class/tty/";
  WriteFile(strSys + "ttyS0/type", "4\n"), WriteFile(strSys + "ttyS0/console", "N\n");
  WriteFile(strSys + "ttyS1/type", "0\n");
  WriteFile(strSys + "ttyS2/type", "4\n"), WriteFile(strSys + "ttyS2/console", "Y\n");
  // A stable name for ttyUSB2, relative as udev makes them, and one whose device has gone.
  std::filesystem::create_directories(m_strDevDir + "/serial/by-id");
  const std::string strById = m_strDevDir + "/serial/by-id/usb-Kelvane_Cable_1234-if00-port0";
  ASSERT_EQ(symlink("../../ttyUSB2", strById.c_str()), 0);
  ASSERT_EQ(symlink("../../ttyUSB9", (m_strDevDir + "/serial/by-id/usb-gone").c_str()), 0);

  std::string strFound;
  for (const CSerialDevice& device : EnumerateSerialDevices())
    strFound += device.m_strPath + " " + device.m_strNode + " " + device.m_strKind + "\n";
  EXPECT_EQ(strFound, strS0 + " " + strS0 + " serial\n" + strById + " " + m_strDevDir + "/ttyUSB2 USB\n" +
                          strUsb10 + " " + strUsb10 + " USB\n" + strAcm0 + " " + strAcm0 + " ACM\n" +
                          strRfcomm + " " + strRfcomm + " Bluetooth\n");
}

TEST_F(ComPortsTest, NewDevicesGetTheLowestFreeNumberAndKeepIt) {
  CPty usb0, acm0, usb1, acm1, usb7;
  // The user mapped COM1 by hand to a device that is not there now, and COM3 to a
  // pseudo-terminal.
  SetMap("COM1", "/dev/serial/by-id/usb-unplugged");
  SetMap("COM3", usb1.m_strSlave);
  const std::string strUsb0 = AddDevice("ttyUSB0", usb0), strAcm0 = AddDevice("ttyACM0", acm0);
  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM2", "COM4"}));
  std::map<std::string, std::string> expected = {{"COM1", "/dev/serial/by-id/usb-unplugged"},
                                                 {"COM2", strUsb0},
                                                 {"COM3", usb1.m_strSlave},
                                                 {"COM4", strAcm0}};
  EXPECT_EQ(Map(), expected);

  // ttyUSB0 goes away: COM2 stays reserved for it. A device reached by a new name
  // that leads to a mapped pseudo-terminal (COM3) is known; a new one gets COM5.
  ASSERT_EQ(unlink(strUsb0.c_str()), 0);
  AddDevice("ttyUSB1", usb1);
  expected["COM5"] = AddDevice("ttyACM1", acm1);
  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM5"}));
  EXPECT_EQ(Map(), expected);

  // The user frees COM2 by hand; the next device takes the lowest free number again.
  {
    CRegKey key;
    ASSERT_TRUE(key.Open(kPortsKey) && key.DeleteValue("COM2"));
  }
  const std::string strUsb7 = AddDevice("ttyUSB7", usb7);
  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM2"}));
  EXPECT_EQ(ResolveComPort("COM2"), strUsb7);
  for (const char* psz : {"COM6", "com2", "COM36"})
    EXPECT_EQ(ResolveComPort(psz), "") << psz;

  // All numbers taken: none is given, and a name outside the table holds none.
  for (int i = 0; i < COM_PORT_COUNT; ++i)
    SetMap(g_szComPortNames[i], "/dev/ttyUSB" + std::to_string(100 + i));
  SetMap("COM36", "/dev/whatever");
  AddDevice("ttyACM3", acm1);
  EXPECT_TRUE(AssignComNumbers().empty());
  EXPECT_EQ(Map().size(), static_cast<size_t>(COM_PORT_COUNT));
  EXPECT_EQ(ResolveComPort("COM35"), "/dev/ttyUSB134");  // the last name of the table is one
}

TEST_F(ComPortsTest, ProbeOffersOnlyPortsThatCanBeOpenedNow) {
  CPty first, second;
  WriteFile(m_strTemp + "/plain", "");
  SetMap("COM12", first.m_strSlave);
  SetMap("COM2", second.m_strSlave);
  SetMap("COM3", m_strTemp + "/missing-device");
  SetMap("COM4", "");
  SetMap("COM5", m_strTemp + "/plain");
  for (const char* psz : {"COM3", "COM4", "COM5", "COM6"})
    EXPECT_FALSE(ProbeComPort(psz)) << psz;
  // Table order, one tab after each name; probing holds nothing afterwards.
  EXPECT_EQ(FindAvailablePorts(), "COM2\tCOM12\t");
  EXPECT_TRUE(LockFolderEmpty());
  // A port held (here by this process) is not offered; once let go it is again.
  CSerialPort port;
  ASSERT_EQ(port.Open(first.m_strSlave, 9600), SERIAL_OK);
  EXPECT_EQ(ProbeComPortResult("COM12"), SERIAL_IN_USE);
  EXPECT_EQ(FindAvailablePorts(), "COM2\t");
  port.Close();
  EXPECT_FALSE(Exists(LockFileOf(first.m_strSlave)));
  EXPECT_TRUE(ProbeComPort("COM12"));
  // Without any store file nothing is mapped.
  unlink(m_strRegistry.c_str());
  EXPECT_EQ(FindAvailablePorts(), "");
}

}  // namespace
