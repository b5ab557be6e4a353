// --porty and --przypisz on a tree of sysfs, /dev and links of the test's
// own: a UART, a port without one, an FTDI adapter with its by-id name.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "temp_folder.h"
#include "tools/ports_tool.h"

namespace tablica::tools {
namespace {

namespace fs = std::filesystem;

class PortsTool : public ::testing::Test {
 protected:
  void SetUp() override {
    Tty("ttyS0", "devices/platform/serial8250/tty/ttyS0", "serial8250");
    Write(root_ / "sys/class/tty/ttyS0/type", "4");
    Tty("ttyS1", "devices/platform/serial8250/tty/ttyS1", "serial8250");
    Write(root_ / "sys/class/tty/ttyS1/type", "0");  // no UART behind it
    Tty("tty0", "devices/virtual/tty/tty0", "");
    Adapter("ttyUSB0");
    fs::create_directories(roots_.links);
  }

  void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
  }
  // /sys/class/tty/NAME leading to its device, with its driver; /dev/NAME.
  void Tty(const std::string& name, const std::string& device, const std::string& driver) {
    const fs::path dir = root_ / "sys/class/tty" / name;
    fs::create_directories(dir);
    fs::create_directories(root_ / "sys" / device);
    fs::create_symlink(root_ / "sys" / device, dir / "device");
    if (!driver.empty()) {
      fs::create_directories(root_ / "sys/bus/drivers" / driver);
      fs::create_symlink(root_ / "sys/bus/drivers" / driver, root_ / "sys" / device / "driver");
    }
    Write(roots_.dev / name, "");
  }
  // The FTDI adapter as NAME, its by-id name leading there.
  void Adapter(const std::string& name) {
    Tty(name, "devices/usb1/1-1/1-1:1.0/" + name, "ftdi_sio");
    const fs::path usb = root_ / "sys/devices/usb1/1-1";
    Write(usb / "idVendor", "0403");
    Write(usb / "idProduct", "6001");
    Write(usb / "manufacturer", "FTDI");
    Write(usb / "product", "FT232R USB UART");
    Write(usb / "serial", "A1B2C3");
    fs::create_directories(roots_.dev / "serial/by-id");
    fs::remove(ById());
    fs::create_symlink("../../" + name, ById());
  }
  fs::path ById() const {
    return roots_.dev / "serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
  }

  // Runs the tool; its output and exit code.
  std::pair<int, std::string> Run(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int code = RunPortsTool(args, roots_, out, err);
    std::string text;
    for (std::FILE* file : {out, err}) {
      std::rewind(file);
      for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
      std::fclose(file);
    }
    return {code, text};
  }

  testing_support::TempFolder folder_;
  fs::path root_ = folder_.path();
  SystemRoots roots_{root_ / "sys", root_ / "dev", root_ / "links"};
};

TEST_F(PortsTool, ListsTheRealPortsAndAssignsCOMNumbersByTheStableName) {
  std::vector<SerialPortInfo> ports = ListSerialPorts(roots_);
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0].name, "ttyS0");
  EXPECT_EQ(ports[0].driver, "serial8250");
  EXPECT_TRUE(ports[0].usbId.empty());
  EXPECT_EQ(ports[1].name, "ttyUSB0");
  EXPECT_EQ(ports[1].driver, "ftdi_sio");
  EXPECT_EQ(ports[1].usbId, "0403:6001");
  EXPECT_EQ(ports[1].product, "FT232R USB UART");
  EXPECT_EQ(ports[1].serial, "A1B2C3");
  EXPECT_EQ(ports[1].byId, ById());

  // The adapter is given its by-id name, the UART its device.
  EXPECT_EQ(Run({"--przypisz", "5", "ttyUSB0"}).first, 0);
  EXPECT_EQ(fs::read_symlink(roots_.links / "com5"), ById());
  EXPECT_EQ(Run({"--przypisz", "1", (roots_.dev / "ttyS0").string()}).first, 0);
  EXPECT_EQ(fs::read_symlink(roots_.links / "com1"), roots_.dev / "ttyS0");
  // What is no serial port is refused, and nothing is made.
  for (const char* device : {"ttyS1", "tty0", "ttyUSB7"}) {
    EXPECT_EQ(Run({"--przypisz", "6", device}).first, 1) << device;
  }
  EXPECT_FALSE(fs::is_symlink(roots_.links / "com6"));
  EXPECT_EQ(Run({"--przypisz", "0", "ttyS0"}).first, 2);

  // Plugged in again, the adapter is ttyUSB1: COM5 follows it.
  fs::remove_all(root_ / "sys/class/tty/ttyUSB0");
  fs::remove(roots_.dev / "ttyUSB0");
  Adapter("ttyUSB1");
  const auto [code, listed] = Run({"--porty"});
  EXPECT_EQ(code, 0);
  EXPECT_NE(listed.find(roots_.dev.string() +
                        "/ttyUSB1  ftdi_sio  USB 0403:6001 FTDI FT232R USB "
                        "UART, nr A1B2C3  COM5\n    " +
                        ById().string()),
            std::string::npos)
      << listed;
  EXPECT_NE(listed.find("/ttyS0  serial8250  COM1\n"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("ttyS1"), std::string::npos) << listed;
}

}  // namespace
}  // namespace tablica::tools
