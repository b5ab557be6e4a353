#pragma once

#include <cstdint>
#include <filesystem>

class QComboBox;

namespace tablica {

class BoardSession;

// The port list of a window ("COM 1" to "COM 64", then "Brak") kept in step
// with the session's one open port. Shared by every window that sends to
// the board, so each follows the same rules.
class PortChoice {
 public:
  static constexpr int kPortEntries = 64;
  static constexpr int kNoPortIndex = 64;  // "Brak"

  PortChoice(QComboBox& list, BoardSession& session);

  // Puts the entries in the list with none of them selected.
  void Fill();
  // Takes the port from the settings file and opens it, selecting its
  // entry; "Brak" when the file names none. A port that fails to open has
  // shown its message and leaves an empty field.
  void OpenFromSettings(const std::filesystem::path& settingsFile);
  // The user's pick of entry `index`: the open port is closed and the new
  // one opened; when that fails the list goes back to the previous choice,
  // which is opened again.
  void Pick(int index);

 private:
  void SelectEntry(int index);
  void SelectPort(std::uint8_t port);

  QComboBox& list_;
  BoardSession& session_;
};

}  // namespace tablica
