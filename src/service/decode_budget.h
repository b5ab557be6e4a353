#pragma once

// What the pictures of a request cost to read, known before any of them is
// decoded: every frame of every picture and animation it carries, at the
// size its file declares. A request may bring at most kMaxRequestPixels in
// all (an animation of 1,500 frames of 4000 × 4000 would keep a core busy
// for minutes). Pictures are read side by side, each holding its largest
// frame while it is read; together they may hold at most kMaxPixelsInFlight,
// so a small picture never waits behind a large one, and a few large ones
// read at once cannot take the machine's memory.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "picture/decode.h"

namespace tablica::show {
struct ShowModel;
}

namespace tablica::service {

inline constexpr std::int64_t kMaxRequestPixels = 1'000'000'000;
inline constexpr std::int64_t kMaxPixelsInFlight =
    picture::kMaxPicturePixels + picture::kMaxPicturePixels / 2;

struct DecodeCost {
  std::int64_t pixels = 0;        // every frame of every picture
  std::int64_t largestFrame = 0;  // the most one frame holds while it is read
};

// The cost of a show's inline pictures (a picture: its first frame; an
// animation: every frame). A picture its checks refuse costs nothing here:
// its reading refuses it with its own reason at once.
DecodeCost CostOf(const show::ShowModel& model);

// The refusal of a request over kMaxRequestPixels (Polish).
std::string TooMuchToDecode(std::int64_t pixels);

// The frames being read at once, at most `limit` pixels together.
class PixelBudget {
 public:
  explicit PixelBudget(std::int64_t limit) : limit_(limit) {}

  // A share of the budget, given back when it goes.
  class Share {
   public:
    Share(Share&& other) noexcept;
    ~Share();
    Share(const Share&) = delete;
    Share& operator=(const Share&) = delete;
    Share& operator=(Share&&) = delete;

   private:
    friend class PixelBudget;
    Share(PixelBudget* budget, std::int64_t pixels) : budget_(budget), pixels_(pixels) {}
    PixelBudget* budget_;
    std::int64_t pixels_;
  };

  // Waits until `pixels` fit beside the frames being read (at once when
  // nothing else is read).
  Share Take(std::int64_t pixels);

 private:
  void Give(std::int64_t pixels);

  const std::int64_t limit_;
  std::mutex mutex_;
  std::condition_variable freed_;
  std::int64_t taken_ = 0;
};

}  // namespace tablica::service
