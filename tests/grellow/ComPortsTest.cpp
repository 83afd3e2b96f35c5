// COM names and the port map: the name table, finding serial devices, numbering them
// the way they keep across runs, and probing which ports can be opened.
#include <map>

#include "GrellowTestSupport.h"
#include "platform/Registry.h"

using namespace grellow_test;

namespace {

const char* const PORTS_KEY = "SOFTWARE\\Kelvane\\Mireth\\Ports";

class ComPortsTest : public CGrellowTest {
 protected:
  // Puts a device into the fake /dev: a symbolic link to a pseudo-terminal slave.
  std::string AddDevice(const std::string& strName, const CPty& pty) {
    std::string strPath = m_strDevDir + "/" + strName;
    std::filesystem::create_directories(std::filesystem::path(strPath).parent_path());
    EXPECT_EQ(symlink(pty.Slave().c_str(), strPath.c_str()), 0) << strPath;
    return strPath;
  }
  void SetMap(const std::string& strName, const std::string& strDevice) {
    CRegKey key;
    ASSERT_TRUE(key.Create(PORTS_KEY));
    ASSERT_TRUE(key.SetText(strName, strDevice));
  }
  // The map as read back through a fresh key: name -> device.
  std::map<std::string, std::string> Map() {
    std::map<std::string, std::string> map;
    CRegKey key;
    if (!key.Open(PORTS_KEY))
      return map;
    for (const std::string& strName : key.GetValueNames()) {
      std::string strValue;
      EXPECT_TRUE(key.QueryText(strName, strValue, 4096)) << strName;
      map[strName] = strValue;
    }
    return map;
  }
};

TEST_F(ComPortsTest, NameTableIsComOneToComThirtyFiveLookedUpExactly) {
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    EXPECT_EQ(std::string(g_szComPortNames[i]), "COM" + std::to_string(i + 1));
    EXPECT_EQ(GetComPortIndex(g_szComPortNames[i]), i);
  }
  for (const char* pszOther : {"", "COM", "COM0", "COM36", "com1", "Com1", "COM01", " COM1",
                               "COM1 ", "COM1\t", "LPT1", "/dev/ttyUSB0"})
    EXPECT_EQ(GetComPortIndex(pszOther), -1) << pszOther;
}

TEST_F(ComPortsTest, FindsSerialDevicesAndPrefersStableNames) {
  CPty a, b, c, d, e, f, g, h;
  std::string strUsb10 = AddDevice("ttyUSB10", a);
  std::string strUsb2 = AddDevice("ttyUSB2", b);
  std::string strAcm0 = AddDevice("ttyACM0", c);
  std::string strRfcomm = AddDevice("rfcomm0", d);
  std::string strS0 = AddDevice("ttyS0", e);
  AddDevice("ttyS1", f);
  AddDevice("ttyS2", g);
  AddDevice("ttyS3", h);
  // Names that are no serial line of ours.
  AddDevice("ttyUSBx", a);
  AddDevice("tty0", a);
  WriteFile(m_strDevDir + "/ttyUSB5", "not a device");
  ASSERT_EQ(symlink((m_strDevDir + "/gone").c_str(), (m_strDevDir + "/ttyACM7").c_str()), 0);
  // The built-in ports: ttyS0 has a UART, ttyS1 none, ttyS2 carries the console;
  // ttyS3 has no sysfs entry and its driver does not know it as a serial port.
  WriteFile(m_strSysDir + "/class/tty/ttyS0/type", "4\n");
  WriteFile(m_strSysDir + "/class/tty/ttyS0/console", "N\n");
  WriteFile(m_strSysDir + "/class/tty/ttyS1/type", "0\n");
  WriteFile(m_strSysDir + "/class/tty/ttyS2/type", "4\n");
  WriteFile(m_strSysDir + "/class/tty/ttyS2/console", "Y\n");
  // A stable name for ttyUSB2 (relative, as udev makes them), and one whose
  // device has gone.
  std::filesystem::create_directories(m_strDevDir + "/serial/by-id");
  std::string strById = m_strDevDir + "/serial/by-id/usb-Kelvane_Cable_1234-if00-port0";
  ASSERT_EQ(symlink("../../ttyUSB2", strById.c_str()), 0);
  ASSERT_EQ(symlink("../../ttyUSB9", (m_strDevDir + "/serial/by-id/usb-gone").c_str()), 0);

  std::vector<CSerialDevice> devices = EnumerateSerialDevices();
  std::vector<std::string> paths, nodes, kinds;
  for (const CSerialDevice& device : devices) {
    paths.push_back(device.m_strPath);
    nodes.push_back(device.m_strNode);
    kinds.push_back(device.m_strKind);
  }
  EXPECT_EQ(paths, (std::vector<std::string>{strS0, strById, strUsb10, strAcm0, strRfcomm}));
  EXPECT_EQ(nodes, (std::vector<std::string>{strS0, strUsb2, strUsb10, strAcm0, strRfcomm}));
  EXPECT_EQ(kinds, (std::vector<std::string>{"serial", "USB", "USB", "ACM", "Bluetooth"}));

  // Folders set in code win over the environment.
  CTempDir empty;
  SetSerialDeviceRoots(empty.Path(), empty.Path());
  EXPECT_TRUE(EnumerateSerialDevices().empty());
  SetSerialDeviceRoots("", "");
  EXPECT_EQ(EnumerateSerialDevices().size(), 5u);
}

TEST_F(ComPortsTest, NewDevicesGetTheLowestFreeNumberAndKeepIt) {
  CPty usb0, acm0, usb1, acm1;
  // The user mapped COM1 by hand to a device that is not there now, and COM3 to a
  // pseudo-terminal.
  SetMap("COM1", "/dev/serial/by-id/usb-unplugged");
  SetMap("COM3", usb1.Slave());
  std::string strUsb0 = AddDevice("ttyUSB0", usb0);
  std::string strAcm0 = AddDevice("ttyACM0", acm0);

  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM2", "COM4"}));
  std::map<std::string, std::string> expected = {{"COM1", "/dev/serial/by-id/usb-unplugged"},
                                                 {"COM2", strUsb0},
                                                 {"COM3", usb1.Slave()},
                                                 {"COM4", strAcm0}};
  EXPECT_EQ(Map(), expected);

  // The next run (a new store read from the file) finds nothing new.
  EXPECT_TRUE(AssignComNumbers().empty());
  EXPECT_EQ(Map(), expected);
  EXPECT_EQ(ResolveComPort("COM2"), strUsb0);
  EXPECT_EQ(ResolveComPort("COM4"), strAcm0);

  // ttyUSB0 goes away: COM2 stays reserved for it. A device appearing under a name
  // that leads to a mapped pseudo-terminal (COM3) is already known; a new one gets
  // COM5, not COM2.
  ASSERT_EQ(unlink(strUsb0.c_str()), 0);
  std::string strUsb1 = AddDevice("ttyUSB1", usb1);
  std::string strAcm1 = AddDevice("ttyACM1", acm1);
  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM5"}));
  expected["COM5"] = strAcm1;
  EXPECT_EQ(Map(), expected);

  // The user frees COM2 by hand; the device, when it comes back, takes the lowest
  // free number again.
  {
    CRegKey key;
    ASSERT_TRUE(key.Open(PORTS_KEY));
    ASSERT_TRUE(key.DeleteValue("COM2"));
  }
  CPty usb7;
  std::string strUsb7 = AddDevice("ttyUSB7", usb7);
  EXPECT_EQ(AssignComNumbers(), (std::vector<std::string>{"COM2"}));
  EXPECT_EQ(ResolveComPort("COM2"), strUsb7);
  EXPECT_EQ(ResolveComPort("COM6"), "");
  EXPECT_EQ(ResolveComPort("com2"), "");
  EXPECT_EQ(ResolveComPort("COM36"), "");
}

TEST_F(ComPortsTest, NoNumberIsGivenWhenAllAreTaken) {
  for (int i = 0; i < COM_PORT_COUNT; ++i)
    SetMap(g_szComPortNames[i], "/dev/ttyUSB" + std::to_string(100 + i));
  // A value under a name outside the table does not hold a number.
  SetMap("COM36", "/dev/whatever");
  CPty pty;
  AddDevice("ttyACM3", pty);
  EXPECT_TRUE(AssignComNumbers().empty());
  std::vector<CComPortEntry> entries = ReadComPortMap();
  ASSERT_EQ(entries.size(), static_cast<size_t>(COM_PORT_COUNT));
  for (int i = 0; i < COM_PORT_COUNT; ++i) {
    EXPECT_EQ(entries[static_cast<size_t>(i)].m_strName, g_szComPortNames[i]);
    EXPECT_EQ(entries[static_cast<size_t>(i)].m_strDevice, "/dev/ttyUSB" + std::to_string(100 + i));
  }
  // Without any store file nothing is mapped and nothing is written.
  unlink(m_strRegistry.c_str());
  EXPECT_TRUE(ReadComPortMap().empty());
  EXPECT_EQ(FindAvailablePorts(), "");
}

TEST_F(ComPortsTest, ProbeOffersOnlyPortsThatCanBeOpenedNow) {
  CPty first, second;
  SetMap("COM12", first.Slave());
  SetMap("COM2", second.Slave());
  SetMap("COM3", m_temp / "missing-device");
  SetMap("COM4", "");
  WriteFile(m_temp / "plain", "");
  SetMap("COM5", m_temp / "plain");

  EXPECT_TRUE(ProbeComPort("COM12"));
  EXPECT_TRUE(ProbeComPort("COM2"));
  EXPECT_FALSE(ProbeComPort("COM3"));
  EXPECT_FALSE(ProbeComPort("COM4"));
  EXPECT_FALSE(ProbeComPort("COM5"));
  EXPECT_FALSE(ProbeComPort("COM6"));
  EXPECT_EQ(ProbeComPortResult("COM3"), SERIAL_NOT_FOUND);
  // Table order, one tab after each name.
  EXPECT_EQ(FindAvailablePorts(), "COM2\tCOM12\t");
  // Probing holds nothing afterwards.
  EXPECT_TRUE(std::filesystem::is_empty(m_strLockDir));
  CSerialPort port;
  EXPECT_EQ(port.Open(first.Slave(), 9600), SERIAL_OK);
  port.Close();

  {
    CHolderProcess holder(first.Slave());
    ASSERT_EQ(holder.Result(), SERIAL_OK);
    EXPECT_FALSE(ProbeComPort("COM12"));
    EXPECT_EQ(ProbeComPortResult("COM12"), SERIAL_IN_USE);
    EXPECT_EQ(FindAvailablePorts(), "COM2\t");
    holder.Release();
    EXPECT_TRUE(ProbeComPort("COM12"));
  }
  // Held within this process too.
  ASSERT_EQ(port.Open(second.Slave(), 9600), SERIAL_OK);
  EXPECT_EQ(FindAvailablePorts(), "COM12\t");
  port.Close();
  EXPECT_EQ(FindAvailablePorts(), "COM2\tCOM12\t");
}

}  // namespace
