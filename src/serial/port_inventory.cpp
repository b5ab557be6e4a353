#include "serial/port_inventory.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "serial/port_links.h"

namespace tablica {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute; empty when there is none.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) return {};
  if (line.size() > 256) line.resize(256);
  return line;
}

fs::path Canonical(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::canonical(path, error);
  return error ? fs::path() : resolved;
}

bool Wanted(const std::string& name) {
  return name.starts_with("ttyS") || name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

// A ttyS name is kept for every possible UART; only those whose type is not
// "unknown" (0) have one.
bool HasPort(const fs::path& ttyDir, const std::string& name) {
  if (!name.starts_with("ttyS")) return true;
  const std::string type = Attribute(ttyDir / "type");
  return !type.empty() && type != "0";
}

// The USB device above a tty's device: the first folder up the tree with
// an idVendor.
void ReadUsb(const fs::path& deviceDir, SerialPortInfo& port) {
  fs::path dir = Canonical(deviceDir);
  for (int up = 0; up < 4 && !dir.empty() && dir.has_relative_path();
       ++up, dir = dir.parent_path()) {
    const std::string vendor = Attribute(dir / "idVendor");
    if (vendor.empty()) continue;
    port.usbId = vendor + ":" + Attribute(dir / "idProduct");
    port.manufacturer = Attribute(dir / "manufacturer");
    port.product = Attribute(dir / "product");
    port.serial = Attribute(dir / "serial");
    return;
  }
}

// The driver of a tty's device, or of the device above it: the serial
// core's own "port" and "ctrl" drivers say nothing of the hardware.
std::string Driver(const fs::path& deviceDir) {
  fs::path dir = Canonical(deviceDir);
  for (int up = 0; up < 3 && !dir.empty() && dir.has_relative_path();
       ++up, dir = dir.parent_path()) {
    const std::string name = Canonical(dir / "driver").filename().string();
    if (!name.empty() && name != "port" && name != "ctrl") return name;
  }
  return {};
}

int Rank(const std::string& name) {
  return name.starts_with("ttyS") ? 0 : name.starts_with("ttyUSB") ? 1 : 2;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const SystemRoots& roots) {
  std::vector<SerialPortInfo> ports;
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(roots.sys / "class" / "tty", error)) {
    const std::string name = entry.path().filename().string();
    if (!Wanted(name) || !HasPort(entry.path(), name)) continue;
    SerialPortInfo port;
    port.name = name;
    port.device = roots.dev / name;
    port.driver = Driver(entry.path() / "device");
    ReadUsb(entry.path() / "device", port);
    ports.push_back(std::move(port));
  }
  // Names and links are matched by where they lead.
  std::vector<std::pair<fs::path, fs::path>> byId;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(roots.dev / "serial" / "by-id", error)) {
    byId.emplace_back(entry.path(), Canonical(entry.path()));
  }
  std::vector<std::pair<int, fs::path>> links;
  for (const fs::directory_entry& entry : fs::directory_iterator(roots.links, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with("com")) continue;
    try {
      links.emplace_back(std::stoi(name.substr(3)), Canonical(entry.path()));
    } catch (const std::exception&) {
    }
  }
  for (SerialPortInfo& port : ports) {
    const fs::path where = Canonical(port.device);
    if (where.empty()) continue;
    for (const auto& [name, target] : byId) {
      if (target == where) port.byId = name;
    }
    for (const auto& [number, target] : links) {
      if (target == where) port.comPorts.push_back(number);
    }
    std::sort(port.comPorts.begin(), port.comPorts.end());
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    if (Rank(a.name) != Rank(b.name)) return Rank(a.name) < Rank(b.name);
    if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
    return a.name < b.name;
  });
  return ports;
}

std::optional<SerialPortInfo> FindSerialPort(const std::vector<SerialPortInfo>& ports,
                                             const fs::path& devRoot, const std::string& device) {
  fs::path path(device);
  if (!path.has_parent_path()) path = devRoot / path;
  const fs::path where = Canonical(path);
  if (where.empty()) return std::nullopt;
  for (const SerialPortInfo& port : ports) {
    if (Canonical(port.device) == where) return port;
  }
  return std::nullopt;
}

std::string WritePortLink(const fs::path& linksFolder, int portNumber, const fs::path& target) {
  std::error_code error;
  fs::create_directories(linksFolder, error);
  const fs::path link = PortLinkPath(linksFolder, portNumber);
  // Made beside the link and renamed over it: the link is never missing.
  const fs::path fresh = link.string() + ".nowy";
  fs::remove(fresh, error);
  fs::create_symlink(target, fresh, error);
  if (!error) fs::rename(fresh, link, error);
  if (error) {
    fs::remove(fresh, error);
    return "Nie mogę utworzyć dowiązania " + link.string() + ".";
  }
  return {};
}

std::string AdapterLabel(const SerialPortInfo& port) {
  if (!port.product.empty()) return port.product;
  return port.driver.empty() ? port.name : port.driver + " (" + port.name + ")";
}

std::map<int, std::string> AdapterNamesByPort() {
  std::map<int, std::string> names;
  for (const SerialPortInfo& port : ListSerialPorts({"/sys", "/dev", PortLinksFolder()})) {
    for (int com : port.comPorts) names[com] = AdapterLabel(port);
  }
  return names;
}

}  // namespace tablica
