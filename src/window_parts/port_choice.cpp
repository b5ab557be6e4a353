#include "window_parts/port_choice.h"

#include <cstdint>
#include <map>
#include <string>

#include <QComboBox>
#include <QSignalBlocker>

#include "serial/comm_settings.h"
#include "serial/port_inventory.h"
#include "session/board_session.h"

namespace tablica {

PortChoice::PortChoice(QComboBox& list, BoardSession& session) : list_(list), session_(session) {}

void PortChoice::Fill() {
  // The adapter a port's link leads to is named beside it.
  const std::map<int, std::string> adapters = AdapterNamesByPort();
  for (int port = 1; port <= kPortEntries; ++port) {
    const auto adapter = adapters.find(port);
    list_.addItem(
        adapter == adapters.end()
            ? QStringLiteral("COM %1").arg(port)
            : QStringLiteral("COM %1 – %2").arg(port).arg(QString::fromStdString(adapter->second)));
  }
  list_.addItem(QStringLiteral("Brak"));
  SelectEntry(-1);  // OpenFromSettings picks the entry
}

void PortChoice::SelectEntry(int index) {
  const QSignalBlocker quiet(&list_);
  // An index that names no entry leaves the list with an empty field.
  list_.setCurrentIndex(index >= 0 && index < list_.count() ? index : -1);
}

void PortChoice::SelectPort(std::uint8_t port) {
  // A port beyond the list names no entry: an empty field.
  SelectEntry(port == kNoPort ? kNoPortIndex : SignedPortNumber(port) - 1);
}

void PortChoice::OpenFromSettings(const std::filesystem::path& settingsFile) {
  const std::uint8_t port = session_.OpenFromSettings(settingsFile);
  // A file that names no port shows "Brak"; a named port that failed to
  // open shows an empty field.
  if (session_.NamedPort() == kNoPort) {
    SelectEntry(kNoPortIndex);
  } else {
    // A failed open leaves no port, read as -1: index -2, an empty field.
    SelectEntry(SignedPortNumber(port) - 1);
  }
}

void PortChoice::Pick(int index) {
  const std::uint8_t port = index == kNoPortIndex ? kNoPort : static_cast<std::uint8_t>(index + 1);
  const PortPick pick = session_.PickPort(port);
  // The new port failed and said so: the list goes back to the previous
  // choice, shown even when opening it again has failed too.
  if (pick.fellBack) SelectPort(pick.listPort);
}

}  // namespace tablica
