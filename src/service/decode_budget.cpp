#include "service/decode_budget.h"

#include <QByteArray>
#include <algorithm>
#include <utility>

#include "show/board_content.h"
#include "show/show_model.h"

namespace tablica::service {

namespace {

void AddCost(const show::ContentModel& content, DecodeCost& cost) {
  if (content.kind == show::ContentKind::Zones) {
    for (const show::ZoneModel& zone : content.zones) AddCost(zone.content, cost);
    return;
  }
  const bool animation = content.kind == show::ContentKind::Animation;
  if ((!animation && content.kind != show::ContentKind::Picture) || !content.picture.Inline()) {
    return;
  }
  const std::string& data = content.picture.data;
  const picture::PictureCheck check = picture::CheckPicture(
      QByteArray::fromRawData(data.data(), static_cast<qsizetype>(data.size())), "");
  if (!check.Ok()) return;
  // More frames than an animation may have are refused while it is read.
  const std::int64_t frames =
      animation ? std::clamp(check.frames, 1, show::kMaxAnimationFrames) : 1;
  cost.pixels += check.framePixels * frames;
  cost.largestFrame = std::max(cost.largestFrame, check.framePixels);
}

std::string Megapixels(std::int64_t pixels) {
  // Built by appending: inserting into the string trips a false -Wrestrict
  // in MinGW's GCC 12, which the Windows build treats as an error.
  const std::string digits = std::to_string((pixels + 999'999) / 1'000'000);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ' ';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace

DecodeCost CostOf(const show::ShowModel& model) {
  DecodeCost cost;
  for (const show::PageModel& page : model.pages) {
    AddCost(page.first, cost);
    if (page.second) AddCost(*page.second, cost);
  }
  return cost;
}

std::string TooMuchToDecode(std::int64_t pixels) {
  return "Obrazy tej treści mają razem " + Megapixels(pixels) +
         " megapikseli (każda klatka animacji osobno), a jedno zapytanie może przynieść "
         "najwyżej " +
         Megapixels(kMaxRequestPixels) + ": zmniejsz obraz albo liczbę klatek.";
}

PixelBudget::Share::Share(Share&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), pixels_(other.pixels_) {}

PixelBudget::Share::~Share() {
  if (budget_ != nullptr) budget_->Give(pixels_);
}

PixelBudget::Share PixelBudget::Take(std::int64_t pixels) {
  std::unique_lock lock(mutex_);
  freed_.wait(lock, [&] { return taken_ == 0 || taken_ + pixels <= limit_; });
  taken_ += pixels;
  return Share(this, pixels);
}

void PixelBudget::Give(std::int64_t pixels) {
  {
    const std::lock_guard lock(mutex_);
    taken_ -= pixels;
  }
  freed_.notify_all();
}

}  // namespace tablica::service
