// COM port names and the port map.
//
// A COM port is one of the 35 names "COM1" to "COM35" and is known by its 0-based
// index in that table. Each name stands for a serial device through the port map
// kept in the settings store, key "SOFTWARE\Kelvane\Mireth\Ports":
//
//   "COM1"="/dev/ttyS0"
//   "COM3"="/dev/serial/by-id/usb-Prolific_USB-Serial_Controller-if00-port0"
//
// A device seen for the first time gets the lowest free number and keeps it across
// runs; a number whose device has gone stays reserved for it. The user may edit the
// map by hand, and any terminal may be named in it (a pseudo-terminal too).
#pragma once

#include <string>
#include <vector>

#include "grellow/SerialPort.h"

constexpr int COM_PORT_COUNT = 35;

// "COM1" ... "COM35", in that order.
extern const char* const g_szComPortNames[COM_PORT_COUNT];

// The index of a name in the table (exact, letter case counting), or -1.
int GetComPortIndex(const std::string& strName);

// A serial device found on this machine.
struct CSerialDevice {
  // The name to keep in the port map: the stable /dev/serial/by-id/ link when one
  // points at the device, else the device node.
  std::string m_strPath;
  // The device node itself, e.g. /dev/ttyUSB0.
  std::string m_strNode;
  // "USB", "ACM", "Bluetooth" or "serial".
  std::string m_strKind;
};

// One entry of the port map.
struct CComPortEntry {
  std::string m_strName;    // "COM3"
  std::string m_strDevice;  // the device path
};

// The entries of the port map whose name is in the table and whose device is not
// empty, in table order.
std::vector<CComPortEntry> ReadComPortMap();

// The device of a COM name, or empty when the name is not in the table or not mapped.
std::string ResolveComPort(const std::string& strComName);

// The serial devices present: USB serial adapters (ttyUSB), modems and phones of the
// USB communication class (ttyACM), Bluetooth serial links (rfcomm), and built-in
// serial ports (ttyS) that have a UART behind them and are not the system console.
// Built-in ports come first, then USB, ACM and Bluetooth, each in number order.
std::vector<CSerialDevice> EnumerateSerialDevices();

// Gives every device not yet in the port map the lowest free COM number and writes
// it to the map. Returns the names newly given, in the order given.
std::vector<std::string> AssignComNumbers();

// Whether the mapped device of a COM name can be opened for reading and writing,
// exclusively, as an existing device, right now; it is closed again at once.
bool ProbeComPort(const std::string& strComName);
// The same, with the reason when it cannot be opened (SERIAL_NOT_FOUND for a name
// that is not mapped).
SerialResult ProbeComPortResult(const std::string& strComName);

// Every COM name whose device can be opened right now, in table order, each
// followed by one tab character: "COM1\tCOM4\t".
std::string FindAvailablePorts();

// Where devices are looked for: the folders set here, else $MIRETH_DEV_DIR and
// $MIRETH_SYS_DIR, else /dev and /sys. Empty texts return to the default.
void SetSerialDeviceRoots(const std::string& strDevFolder, const std::string& strSysFolder);
