#include "show/board_content.h"

#include <algorithm>
#include <cmath>

#include "picture/convert.h"
#include "show/animation_frames.h"
#include "show/clock_text.h"
#include "show/live_content.h"

namespace tablica::show {

namespace {

using std::chrono::milliseconds;

// A picture, converted once.
class StillPicture : public BoardContent {
 public:
  explicit StillPicture(const BoardDots& dots) : dots_(dots) {}
  Drawn DotsAt(milliseconds, const QDateTime&) override { return {dots_, {}}; }

 private:
  BoardDots dots_;
};

// One or two lines; drawn again only when a clock in them changes the text.
class StillText : public BoardContent {
 public:
  StillText(picture::ConvertOptions options, const BoardDots& dots, std::vector<std::string> drawn)
      : options_(std::move(options)),
        clock_(HasClock(options_.text)),
        dots_(dots),
        drawnLines_(std::move(drawn)) {}
  bool FollowsClock() const override { return clock_; }

  Drawn DotsAt(milliseconds, const QDateTime& local) override {
    if (!clock_) return {dots_, {}};
    picture::ConvertOptions filled = options_;
    filled.text = FillClock(options_.text, local);
    if (filled.text == drawnLines_) return {dots_, {}};
    drawnLines_ = filled.text;
    const picture::DotsResult drawn = picture::RenderText(filled);
    if (!drawn.Ok()) return {dots_, drawn.error};
    dots_ = drawn.dots;
    return {dots_, {}};
  }

 private:
  picture::ConvertOptions options_;  // the lines as written, {time:} and all
  bool clock_;
  BoardDots dots_;
  std::vector<std::string> drawnLines_;  // the text dots_ show
};

// One line moving right to left: at the start of a pass its first column
// is just beyond the board's right edge, at the end its last column has
// left the board on the left. Its place follows from the time alone.
class ScrollingLine : public BoardContent {
 public:
  ScrollingLine(const ContentModel& model, QImage strip, std::string drawnText)
      : options_(model.options),
        line_(model.scroll),
        clock_(HasClock(line_)),
        speed_(model.speed),
        times_(model.times.value_or(1)),
        strip_(std::move(strip)),
        drawnText_(std::move(drawnText)) {
    const double dots = strip_.width() + options_.width;
    pass_ = milliseconds(std::max<long long>(1, std::llround(dots * 1000 / speed_)));
  }
  milliseconds PassLength() const override { return pass_; }
  int Times() const override { return times_; }
  bool FollowsClock() const override { return clock_; }

  Drawn DotsAt(milliseconds into, const QDateTime& local) override {
    std::string problem;
    if (clock_) {
      const std::string text = FillClock(line_, local);
      if (text != drawnText_) {
        drawnText_ = text;
        picture::TextStripResult drawn = picture::RenderTextStrip(text, options_);
        if (drawn.Ok()) {
          strip_ = std::move(drawn.strip);
        } else {
          problem = drawn.error;
        }
      }
    }
    const long long inPass = into.count() % pass_.count();
    const long long moved = static_cast<long long>(std::floor(inPass * speed_ / 1000));
    return {Window(moved - options_.width), problem};
  }

 private:
  // The area showing the strip from its column `left` on.
  BoardDots Window(long long left) const {
    BoardDots dots;
    for (int x = 0; x < options_.width; ++x) {
      const long long column = left + x;
      if (column < 0 || column >= strip_.width()) continue;
      for (int y = 0; y < strip_.height(); ++y) {
        if (strip_.constScanLine(y)[column] != 0) dots.SetLit(x, y);
      }
    }
    return dots;
  }

  picture::ConvertOptions options_;
  std::string line_;
  bool clock_;
  double speed_;
  int times_;
  QImage strip_;
  std::string drawnText_;
  milliseconds pass_{1};
};

// Frames, each for its own delay, looped.
class Animation : public BoardContent {
 public:
  Animation(std::vector<AnimationFrame> frames, int times)
      : frames_(std::move(frames)), times_(times) {
    milliseconds end{0};
    for (const AnimationFrame& frame : frames_) {
      end += frame.delay;
      ends_.push_back(end);
    }
  }
  milliseconds PassLength() const override { return ends_.back(); }
  int Times() const override { return times_; }

  Drawn DotsAt(milliseconds into, const QDateTime&) override {
    const milliseconds inLoop(into.count() % ends_.back().count());
    const auto frame = std::upper_bound(ends_.begin(), ends_.end(), inLoop) - ends_.begin();
    return {frames_[static_cast<std::size_t>(frame)].dots, {}};
  }

 private:
  std::vector<AnimationFrame> frames_;
  std::vector<milliseconds> ends_;  // when each frame's time is over, into the loop
  int times_;
};

// Zones, each drawn in its own area and set in its place, a later one over
// an earlier; each moves or follows the clock on its own.
class Zoned : public BoardContent {
 public:
  struct Zone {
    int x = 0, y = 0, w = 0, h = 0;
    std::unique_ptr<BoardContent> content;
  };
  explicit Zoned(std::vector<Zone> zones) : zones_(std::move(zones)) {}
  milliseconds PassLength() const override {
    milliseconds longest{0};
    for (const Zone& zone : zones_) {
      longest = std::max(longest, zone.content->PassLength() * zone.content->Times());
    }
    return longest;
  }
  bool FollowsClock() const override {
    return std::any_of(zones_.begin(), zones_.end(),
                       [](const Zone& zone) { return zone.content->FollowsClock(); });
  }
  bool Moving() const override {
    return std::any_of(zones_.begin(), zones_.end(),
                       [](const Zone& zone) { return zone.content->Moving(); });
  }
  void Start() override {
    for (Zone& zone : zones_) zone.content->Start();
  }
  void Watches(std::vector<std::shared_ptr<const SourceWatch>>& watches) const override {
    for (const Zone& zone : zones_) zone.content->Watches(watches);
  }

  Drawn DotsAt(milliseconds into, const QDateTime& local) override {
    Drawn board;
    for (Zone& zone : zones_) {
      const Drawn drawn = zone.content->DotsAt(into, local);
      if (!drawn.problem.empty() && board.problem.find(drawn.problem) == std::string::npos) {
        board.problem += (board.problem.empty() ? "" : "\n") + drawn.problem;
      }
      for (int y = 0; y < zone.h; ++y) {
        for (int x = 0; x < zone.w; ++x) {
          board.dots.SetLit(zone.x + x, zone.y + y, drawn.dots.IsLit(x, y));
        }
      }
    }
    return board;
  }

 private:
  std::vector<Zone> zones_;
};

picture::DotsResult ConvertSource(const PictureSource& source,
                                  const picture::ConvertOptions& options) {
  if (!source.Inline()) return picture::ConvertPictureFile(source.path, options);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(source.data.data());
  return picture::ConvertPictureData({bytes, source.data.size()}, "z pokazu", options);
}

}  // namespace

std::unique_ptr<BoardContent> MakeStill(const BoardDots& dots) {
  return std::make_unique<StillPicture>(dots);
}

namespace {

// One content in its area (the board or a zone); `error` a sentence.
std::unique_ptr<BoardContent> MakeOne(const ContentModel& model, const QDateTime& now,
                                      std::string& error) {
  switch (model.kind) {
    case ContentKind::Text: {
      const std::vector<std::string> lines = FillClock(model.options.text, now);
      picture::ConvertOptions filled = model.options;
      filled.text = lines;
      const picture::DotsResult drawn = picture::RenderText(filled);
      if (!drawn.Ok()) {
        error = drawn.error;
        return nullptr;
      }
      return std::make_unique<StillText>(model.options, drawn.dots, lines);
    }
    case ContentKind::Picture: {
      const picture::DotsResult converted = ConvertSource(model.picture, model.options);
      if (!converted.Ok()) {
        error = converted.error;
        return nullptr;
      }
      return std::make_unique<StillPicture>(converted.dots);
    }
    case ContentKind::Scroll: {
      const std::string text = FillClock(model.scroll, now);
      picture::TextStripResult drawn = picture::RenderTextStrip(text, model.options);
      if (!drawn.Ok()) {
        error = drawn.error;
        return nullptr;
      }
      return std::make_unique<ScrollingLine>(model, std::move(drawn.strip), text);
    }
    case ContentKind::Animation: {
      AnimationResult read = ReadAnimation(model.picture, model.options, kMaxAnimationFrames);
      if (!read.Ok()) {
        error = read.error;
        return nullptr;
      }
      return std::make_unique<Animation>(std::move(read.frames), model.times.value_or(1));
    }
    case ContentKind::Departures:
    case ContentKind::Data:
    case ContentKind::Rss:
      return MakeLiveContent(model, now, error);
    case ContentKind::Zones:
      break;
  }
  error = "Strefa nie może mieć własnych stref.";
  return nullptr;
}

}  // namespace

std::unique_ptr<BoardContent> MakeContent(const ContentModel& model, const QDateTime& now,
                                          ShowError& error) {
  if (model.kind != ContentKind::Zones) {
    std::unique_ptr<BoardContent> made = MakeOne(model, now, error.message);
    return made;
  }
  std::vector<Zoned::Zone> zones;
  for (std::size_t i = 0; i < model.zones.size(); ++i) {
    const ZoneModel& zone = model.zones[i];
    ContentModel inZone = zone.content;
    inZone.options.width = zone.w;
    inZone.options.height = zone.h;
    std::unique_ptr<BoardContent> made = MakeOne(inZone, now, error.message);
    if (!made) {
      error.zone = static_cast<int>(i) + 1;
      return nullptr;
    }
    zones.push_back({zone.x, zone.y, zone.w, zone.h, std::move(made)});
  }
  return std::make_unique<Zoned>(std::move(zones));
}

}  // namespace tablica::show
