#include "service/request_content.h"

#include <QByteArray>
#include <cmath>
#include <set>

#include "service/board_service.h"

namespace tablica::service {

namespace {

const std::set<std::string, std::less<>> kPictureParams{"place", "dots", "threshold", "lit"};
// A notification's own, read with its place in the queue.
const std::set<std::string, std::less<>> kNoticeParams{"seconds", "priority", "id", "hold"};

// The one value of `name`; a parameter given twice is refused.
std::optional<std::string> One(const QueryParams& params, const std::string& name,
                               std::string& error) {
  const auto count = params.count(name);
  if (count == 0) return std::nullopt;
  if (count > 1 && error.empty()) error = "Parametr „" + name + "” podano więcej niż raz.";
  return params.find(name)->second;
}

std::string Unknown(const std::string& name, const std::string& value, const std::string& allowed) {
  return "Parametr „" + name + "” nie może mieć wartości „" + value + "” (możliwe: " + allowed +
         ").";
}

}  // namespace

bool HasPictureOptions(const QueryParams& params) {
  for (const auto& [name, value] : params) {
    if (kPictureParams.contains(name)) return true;
  }
  return false;
}

PictureQuery PictureOptionsFromQuery(const QueryParams& params, bool notify) {
  PictureQuery query;
  std::string& error = query.error;
  for (const auto& [name, value] : params) {
    if (!kPictureParams.contains(name) && !(notify && kNoticeParams.contains(name))) {
      return {{}, "Nieznany parametr adresu: „" + name + "”."};
    }
  }
  picture::ConvertOptions& options = query.options;
  if (auto place = One(params, "place", error)) {
    const auto placement = picture::PlacementNamed(*place);
    if (!placement) return {{}, Unknown("place", *place, "fit, fill, stretch, none")};
    options.placement = *placement;
  }
  if (auto dots = One(params, "dots", error)) {
    const auto method = picture::DotsMethodNamed(*dots);
    if (!method) return {{}, Unknown("dots", *dots, "threshold, diffusion, ordered")};
    options.dots = *method;
  }
  if (auto threshold = One(params, "threshold", error)) {
    bool ok = false;
    const int level = QByteArray::fromStdString(*threshold).toInt(&ok);
    if (!ok || level < 0 || level > 255) {
      return {{}, "Parametr „threshold” musi być liczbą od 0 do 255: „" + *threshold + "”."};
    }
    if (options.dots != picture::DotsMethod::Threshold) {
      return {{}, "Parametr „threshold” działa tylko z dots=threshold."};
    }
    options.level = level;
  }
  if (auto lit = One(params, "lit", error)) {
    const auto side = picture::LitSideNamed(*lit);
    if (!side) return {{}, Unknown("lit", *lit, "dark, bright")};
    options.lit = *side;
  }
  if (!error.empty()) query.options = {};
  return query;
}

SecondsQuery NotifySeconds(const QueryParams& params) {
  SecondsQuery query;
  const auto value = One(params, "seconds", query.error);
  if (!query.error.empty() || !value) return query;
  bool ok = false;
  const double seconds = QByteArray::fromStdString(*value).toDouble(&ok);
  if (!ok || !std::isfinite(seconds) || seconds < 1 || seconds > kMaxNotifySeconds) {
    query.error = "Parametr „seconds” musi być liczbą sekund od 1 do " +
                  std::to_string(kMaxNotifySeconds) + ": „" + *value + "”.";
    return query;
  }
  query.length = std::chrono::milliseconds(std::llround(seconds * 1000));
  return query;
}

}  // namespace tablica::service
