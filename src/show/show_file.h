#pragma once

// The show file: JSON read with Qt's JSON classes into a ShowModel, every
// field checked for its name, type and range. A refusal names the page and
// the field in Polish ("Strona 3: pole „speed” musi być liczbą większą od
// zera.") and nothing of the show is kept.

#include <QByteArray>
#include <filesystem>
#include <optional>
#include <string>

#include "show/show_model.h"

namespace tablica::show {

// Where a show came from. A show from the network carries its pictures in
// itself (data: addresses) and may name no file at all: neither a picture
// nor a font file, for the program never opens a file a request names.
enum class ShowOrigin { File, Network };

struct ShowModelResult {
  std::optional<ShowModel> show;
  std::string error;  // Polish, when there is no show
};

// A show file larger than this is refused before it is read.
inline constexpr qint64 kMaxShowFileBytes = 64LL * 1024 * 1024;
inline constexpr int kMaxPages = 1000;

// `json` is the show; relative paths are taken from `folder`. `name` is
// how a message calls the show when it is not JSON at all.
ShowModelResult ParseShow(const QByteArray& json, const std::filesystem::path& folder,
                          ShowOrigin origin, const std::string& name = "pokazu");

// Reads the show file (its folder is the base of relative paths).
ShowModelResult ReadShowFile(const std::filesystem::path& file);

}  // namespace tablica::show
