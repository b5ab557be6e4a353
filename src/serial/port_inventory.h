#pragma once

// The serial ports a Linux machine has, as the kernel's sysfs and udev's
// /dev/serial/by-id tell them, and the comN links that name them. The roots
// are given, so a test can use a tree of its own.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tablica {

struct SystemRoots {
  std::filesystem::path sys = "/sys";
  std::filesystem::path dev = "/dev";
  std::filesystem::path links;  // the comN links' folder (PortLinksFolder())
};

struct SerialPortInfo {
  std::string name;              // "ttyUSB0"
  std::filesystem::path device;  // /dev/ttyUSB0
  // udev's stable name (/dev/serial/by-id/usb-FTDI_..._A1B2C3-if00-port0),
  // empty when there is none (a UART on the board).
  std::filesystem::path byId;
  std::string driver;        // "ftdi_sio", "serial8250", "cdc_acm", ...
  std::string usbId;         // "0403:6001", empty off USB
  std::string manufacturer;  // the USB device's own strings, where it has them
  std::string product;
  std::string serial;
  std::vector<int> comPorts;  // the COM numbers whose links lead to it
};

// ttyS ports with a UART behind them, then ttyUSB and ttyACM, by name.
std::vector<SerialPortInfo> ListSerialPorts(const SystemRoots& roots);

// What `device` (a path or a name such as "ttyUSB0") is among `ports`, or
// nothing when it is no serial port of the machine.
std::optional<SerialPortInfo> FindSerialPort(const std::vector<SerialPortInfo>& ports,
                                             const std::filesystem::path& devRoot,
                                             const std::string& device);

// Makes comN in `linksFolder` lead to `target` (replacing what was there),
// creating the folder; the Polish reason when it cannot.
std::string WritePortLink(const std::filesystem::path& linksFolder, int portNumber,
                          const std::filesystem::path& target);

// The adapter's name for a list: its product, else its driver.
std::string AdapterLabel(const SerialPortInfo& port);

// Each COM number whose link leads to a serial port of this machine, with
// the adapter's name (none on Windows, where the system names the ports).
std::map<int, std::string> AdapterNamesByPort();

}  // namespace tablica
