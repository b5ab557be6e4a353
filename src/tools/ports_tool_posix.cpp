#include <optional>

#include "serial/comm_settings.h"
#include "serial/port_links.h"
#include "tools/ports_tool.h"

namespace tablica::tools {

namespace {

void PrintPort(const SerialPortInfo& port, std::FILE* out) {
  std::string line = port.device.string() + "  " + (port.driver.empty() ? "?" : port.driver);
  if (!port.usbId.empty()) {
    line += "  USB " + port.usbId;
    for (const std::string* part : {&port.manufacturer, &port.product}) {
      if (!part->empty()) line += " " + *part;
    }
    if (!port.serial.empty()) line += ", nr " + port.serial;
  }
  for (int com : port.comPorts) line += "  COM" + std::to_string(com);
  std::fprintf(out, "%s\n", line.c_str());
  if (!port.byId.empty()) std::fprintf(out, "    %s\n", port.byId.string().c_str());
}

int ListPorts(const SystemRoots& roots, std::FILE* out, std::FILE* err) {
  const std::vector<SerialPortInfo> ports = ListSerialPorts(roots);
  if (ports.empty()) {
    std::fputs("Nie znalazłem portów szeregowych (ttyS z układem UART, ttyUSB, ttyACM).\n", err);
    return 1;
  }
  for (const SerialPortInfo& port : ports) PrintPort(port, out);
  return 0;
}

int AssignPort(const std::string& number, const std::string& device, const SystemRoots& roots,
               std::FILE* out, std::FILE* err) {
  const PortArgument port = ReadPortArgument(number);
  if (!port.port) {
    std::fprintf(err, "%s\n", port.error.c_str());
    return 2;
  }
  const std::optional<SerialPortInfo> found =
      FindSerialPort(ListSerialPorts(roots), roots.dev, device);
  if (!found) {
    std::fprintf(err,
                 "%s nie jest portem szeregowym tego komputera (listę podaje tablica-send "
                 "--porty).\n",
                 device.c_str());
    return 1;
  }
  // The by-id name follows the adapter whichever ttyUSB it gets.
  const std::filesystem::path target = found->byId.empty() ? found->device : found->byId;
  const int com = *port.port;  // a command line's number is whole (COM201)
  if (std::string error = WritePortLink(roots.links, com, target); !error.empty()) {
    std::fprintf(err, "%s\n", error.c_str());
    return 1;
  }
  std::fprintf(out, "COM%d -> %s\n", com, target.string().c_str());
  return 0;
}

}  // namespace

bool AsksForPorts(const std::vector<std::string>& args) {
  return !args.empty() && (args[0] == "--porty" || args[0] == "--przypisz");
}

int RunPortsTool(const std::vector<std::string>& args, const SystemRoots& roots, std::FILE* out,
                 std::FILE* err) {
  if (args.size() == 1 && args[0] == "--porty") return ListPorts(roots, out, err);
  if (args.size() == 3 && args[0] == "--przypisz") {
    return AssignPort(args[1], args[2], roots, out, err);
  }
  std::fputs(
      "Użycie: tablica-send --porty\n"
      "        tablica-send --przypisz N URZĄDZENIE\n",
      err);
  return 2;
}

SystemRoots NativeRoots() {
  return {"/sys", "/dev", PortLinksFolder()};
}

}  // namespace tablica::tools
