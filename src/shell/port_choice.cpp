#include "shell/port_choice.h"

#include <cstdint>

#include <QComboBox>
#include <QSignalBlocker>

#include "serial/comm_settings.h"

namespace tablica {

PortChoice::PortChoice(QComboBox& list, SerialLink& link) : list_(list), link_(link) {}

void PortChoice::Fill() {
  for (int port = 1; port <= kPortEntries; ++port) {
    list_.addItem(QStringLiteral("COM %1").arg(port));
  }
  list_.addItem(QStringLiteral("Brak"));
  SelectEntry(-1);  // OpenFromSettings picks the entry
}

void PortChoice::SelectEntry(int index) {
  const QSignalBlocker quiet(&list_);
  // An index that names no entry leaves the list with an empty field.
  list_.setCurrentIndex(index >= 0 && index < list_.count() ? index : -1);
}

void PortChoice::OpenFromSettings(const std::filesystem::path& settingsFile) {
  CommSettings& settings = link_.Settings();
  LoadCommSettings(settings, settingsFile);
  if (settings.portNumber != kNoPort) {
    link_.OpenComPort();  // a failure has shown its message and left no port
    // A failed open leaves 255, index -2: the list shows an empty field.
    SelectEntry(SignedPortNumber(settings.portNumber) - 1);
  } else {
    SelectEntry(kNoPortIndex);
  }
}

void PortChoice::Pick(int index) {
  CommSettings& settings = link_.Settings();
  if (settings.portNumber != kNoPort && link_.HasComHandle()) link_.CloseComHandle();
  if (index == kNoPortIndex) {
    settings.portNumber = kNoPort;
    return;
  }
  const std::uint8_t previous = settings.portNumber;
  settings.portNumber = static_cast<std::uint8_t>(index + 1);
  if (!link_.OpenComPort()) return;
  // The new port failed and said so: go back to the previous choice.
  settings.portNumber = previous;
  SelectEntry(previous == kNoPort ? kNoPortIndex : SignedPortNumber(previous) - 1);
  if (previous != kNoPort) link_.OpenComPort();  // says so itself if this fails too
}

}  // namespace tablica
