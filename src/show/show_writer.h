#pragma once

// A show model written back as its file: JSON that ParseShow reads back to
// the same model, so a show made in a window plays with tablica-send --play
// exactly as it was built. Only what differs from a field's default is
// written, as a person would write the file.

#include <QByteArray>
#include <filesystem>
#include <string>

#include "show/show_model.h"

namespace tablica::show {

// The show as the file `folder`/… holds it (indented JSON, UTF-8). A
// picture or an animation named by a path is written relative to `folder`
// wherever the two share a root (on Windows, a drive), so a show and its
// pictures move together; otherwise as the whole path. Pictures carried in
// the show stay in it as data: addresses.
QByteArray ShowJson(const ShowModel& show, const std::filesystem::path& folder);

// `path` made absolute from the working folder, without "." and "..".
std::filesystem::path AbsolutePath(const std::filesystem::path& path);

// `path` as a show file in `folder` names it (UTF-8, '/' between names).
std::string PathFromFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace tablica::show
