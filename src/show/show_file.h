#pragma once

// The show file: JSON read with Qt's JSON classes into a ShowModel, every
// field checked for its name, type and range. A refusal says where and what
// (ShowError: the page, the zone, the field, a Polish message) and nothing
// of the show is kept.

#include <QByteArray>
#include <QJsonObject>
#include <filesystem>
#include <optional>
#include <string>

#include "show/show_error.h"
#include "show/show_model.h"

namespace tablica::show {

// Where a show came from. A show from the network carries its pictures in
// itself (data: addresses) and may name no file at all: neither a picture
// nor a font file, for the program never opens a file a request names.
enum class ShowOrigin { File, Network };

struct ShowModelResult {
  std::optional<ShowModel> show;
  ShowError error;  // when there is no show
};

struct PageModelResult {
  std::optional<PageModel> page;
  ShowError error;  // when there is no page
};

// A show file larger than this is refused before it is read.
inline constexpr qint64 kMaxShowFileBytes = 64LL * 1024 * 1024;
inline constexpr int kMaxPages = 1000;

// `json` is the show; relative paths are taken from `folder`. `name` is
// how a message calls the show when it is not JSON at all.
ShowModelResult ParseShow(const QByteArray& json, const std::filesystem::path& folder,
                          ShowOrigin origin, const std::string& name = "pokazu");

// One page on its own (content sent without a show): read as a show's only
// page is read, so a still page needs no `seconds`.
PageModelResult ParsePage(const QJsonObject& page, const std::filesystem::path& folder,
                          ShowOrigin origin);

// Reads the show file (its folder is the base of relative paths).
ShowModelResult ReadShowFile(const std::filesystem::path& file);

}  // namespace tablica::show
