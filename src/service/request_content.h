#pragma once

// What a request to show something says besides its body: the picture options in the
// address (place, dots, threshold, lit, named as tablica-convert names
// them) and a notification's seconds. Plain C++, apart from the network.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "picture/convert_options.h"

namespace tablica::service {

// A request's address parameters, as the HTTP library gives them.
using QueryParams = std::multimap<std::string, std::string>;

struct PictureQuery {
  picture::ConvertOptions options;
  std::string error;  // Polish, when a parameter is wrong
};

// The picture options of the address. A parameter the request does not
// know is refused, so that a misspelt option is not silently dropped;
// `seconds`, `priority`, `id` and `hold` are allowed when `notify` (the
// notification's own).
PictureQuery PictureOptionsFromQuery(const QueryParams& params, bool notify);

// Whether the address carries picture options (they mean nothing to JSON).
bool HasPictureOptions(const QueryParams& params);

struct SecondsQuery {
  std::optional<std::chrono::milliseconds> length;  // unset: not given
  std::string error;                                // Polish
};

// "seconds" of a notification: a number above 0, at most a day.
SecondsQuery NotifySeconds(const QueryParams& params);

}  // namespace tablica::service
