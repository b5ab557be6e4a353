#include "serial/port_inventory.h"

namespace tablica {

// Windows names the ports itself ("COM5" is the adapter Device Manager
// numbered so).
std::map<int, std::string> AdapterNamesByPort() {
  return {};
}

}  // namespace tablica
