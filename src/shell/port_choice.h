#pragma once

#include <filesystem>

#include "serial/serial_link.h"

class QComboBox;

namespace tablica {

// The port list of a window ("COM 1" to "COM 64", then "Brak") kept in step
// with the one open port of the serial link. Shared by every window that
// sends to the board, so each follows the same rules.
class PortChoice {
 public:
  static constexpr int kPortEntries = 64;
  static constexpr int kNoPortIndex = 64;  // "Brak"

  PortChoice(QComboBox& list, SerialLink& link);

  // Puts the entries in the list with none of them selected.
  void Fill();
  // Takes the port from the settings file and opens it (a failure shows its
  // message and leaves an empty field), or selects "Brak" when there is none.
  void OpenFromSettings(const std::filesystem::path& settingsFile);
  // The user's pick of entry `index`: the open port is closed and the new
  // one opened; when that fails the list goes back to the previous choice,
  // which is opened again.
  void Pick(int index);

 private:
  void SelectEntry(int index);

  QComboBox& list_;
  SerialLink& link_;
};

}  // namespace tablica
