#pragma once

// Shows from a terminal:
//   tablica-send --play POKAZ.json [--port N]        plays the show to the board
//   tablica-convert --play POKAZ.json --preview KATALOG   its frames as PNG files

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "common/show_message.h"
#include "serial/comm_settings.h"

namespace tablica {
class BoardSession;
}
namespace tablica::show {
class ShowClock;
}

namespace tablica::tools {

// Whether the command line asks for a show.
inline bool AsksToPlay(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--play") return true;
  }
  return false;
}

struct PlayCommand {
  std::filesystem::path show;
  std::optional<std::uint8_t> port;              // tablica-send: unset, ustaw.txt's
  std::optional<std::filesystem::path> preview;  // tablica-convert: the folder
};

struct ParsedPlayCommand {
  std::optional<PlayCommand> command;
  bool help = false;
  std::string error;  // Polish, when neither command nor help
};

// `forPreview`: tablica-convert's words (--preview required, no --port).
ParsedPlayCommand ParsePlayCommand(const std::vector<std::string>& args, bool forPreview);
std::string PlayUsage(bool forPreview);

// Checks the whole show in `show` (nothing is opened or written when it is
// refused), opens the port named by `settingsFile` (or `port`) and plays
// the show on `session` until it ends or `stop` is asked; a port that is
// not there is waited for meanwhile. Every message goes to `say`. Exit
// codes as RunPlaySend's.
int PlayShowFile(const std::filesystem::path& show, std::optional<std::uint8_t> port,
                 BoardSession& session, show::ShowClock& clock, std::stop_token stop,
                 const ShowMessageFn& say,
                 const std::filesystem::path& settingsFile = kSettingsFileName);

// tablica-send --play: checks the whole show, then plays it until it ends
// or a stop signal comes; messages go to standard error with their local
// time. 0 when the show ended or was stopped with its last frame written
// whole; 1 when the show was refused, or its last frame failed or found
// the port away; 2 for wrong options.
int RunPlaySend(int argc, char** argv);

// tablica-convert --play ... --preview, once its QGuiApplication exists: 0
// when every frame was written.
int RunPlayPreview();

}  // namespace tablica::tools
