#include "show/live_content.h"

#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "live/live_departures.h"
#include "live/live_line.h"
#include "picture/text_render.h"

namespace tablica::show {

namespace {

using live::Instant;
using std::chrono::milliseconds;

Instant NowSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Asks a source every `every` seconds on a thread of its own, from the
// first Start() (the content begins to play) until it is destroyed. The thread holds what it uses,
// so a content that goes while an ask is in flight (a slow server, a big timetable) does not wait
// for it: the thread is let go and ends with that ask, which the client's limits bound in time.
class Worker {
 public:
  Worker(std::function<void(Instant)> refresh, int every)
      : refresh_(std::move(refresh)), every_(every) {}
  ~Worker() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    std::unique_lock lock(shared_->mutex);
    const bool ended =
        shared_->changed.wait_for(lock, milliseconds(50), [this] { return shared_->ended; });
    lock.unlock();
    if (ended) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  void Start() {
    std::call_once(started_, [this] {
      thread_ = std::jthread(
          [refresh = refresh_, every = every_, shared = shared_](std::stop_token stop) {
            while (!stop.stop_requested()) {
              refresh(NowSeconds());
              std::unique_lock lock(shared->mutex);
              shared->wake.wait_for(lock, stop, std::chrono::seconds(every), [] { return false; });
            }
            std::lock_guard lock(shared->mutex);
            shared->ended = true;
            shared->changed.notify_all();
          });
    });
  }

 private:
  struct Shared {
    std::mutex mutex;
    std::condition_variable_any wake;  // only a stop wakes it early
    std::condition_variable changed;
    bool ended = false;
  };
  std::function<void(Instant)> refresh_;
  int every_;
  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::once_flag started_;
  std::jthread thread_;
};

SourceReport ReportOf(const live::SourceStatus& status) {
  return {status.name, status.age, status.fault};
}

// The first fault of `statuses` still failing; empty when none is.
std::string FailingFault(const std::vector<live::SourceStatus>& statuses) {
  for (const live::SourceStatus& status : statuses) {
    if (status.failing) return status.fault;
  }
  return {};
}

class DeparturesFeeds : public SourceWatch {
 public:
  DeparturesFeeds(live::DeparturesSource source, std::filesystem::path cache)
      : departures(std::move(source), std::move(cache), {}) {}
  std::vector<SourceReport> Report() const override {
    std::vector<SourceReport> reports;
    for (const live::SourceStatus& status : departures.Status(NowSeconds())) {
      reports.push_back(ReportOf(status));
    }
    return reports;
  }
  live::LiveDepartures departures;
};

class LineFeed : public SourceWatch {
 public:
  explicit LineFeed(live::LineSource source) : line(std::move(source), {}) {}
  std::vector<SourceReport> Report() const override {
    return {ReportOf(line.Status(NowSeconds()))};
  }
  live::LiveLine line;
};

// `line` drawn in `options`' area; a line too long for it loses letters at
// its end (`shorten`: at the letters from `from` on) until it fits.
picture::DotsResult DrawLine(const std::string& line, picture::ConvertOptions options,
                             qsizetype from = -1, const std::string& after = {}) {
  const QString text = QString::fromStdString(line);
  if (from < 0) from = text.size();
  picture::DotsResult drawn;
  for (qsizetype cut = 0; cut <= text.size() - std::min(from, text.size()); ++cut) {
    const QString kept = cut == 0 ? text : text.left(text.size() - cut).trimmed();
    options.text = {kept.toStdString() + after};
    drawn = picture::RenderText(options);
    if (drawn.Ok()) break;
  }
  return drawn;
}

// Copies the `w` × `h` dots of `from` to `into` at row `y`.
void Place(const BoardDots& from, int w, int h, int y, BoardDots& into) {
  for (int dy = 0; dy < h; ++dy) {
    for (int x = 0; x < w; ++x) into.SetLit(x, y + dy, from.IsLit(x, dy));
  }
}

// A line that scrolls right to left in an area, its text changing as its
// source answers; where it is follows from the time into the page.
class Scroller {
 public:
  Scroller(picture::ConvertOptions options, double speed)
      : options_(std::move(options)), speed_(speed) {}

  // The area at `into` showing `text`; `problem` says why a new text
  // could not be drawn (the old one scrolls on).
  BoardDots At(const std::string& text, milliseconds into, std::string& problem) {
    if (text != text_ || strip_.isNull()) {
      text_ = text;
      picture::TextStripResult drawn = picture::RenderTextStrip(text, options_);
      if (drawn.Ok()) {
        strip_ = std::move(drawn.strip);
        const double dots = strip_.width() + options_.width;
        pass_ = std::max<long long>(1, std::llround(dots * 1000 / speed_));
      } else {
        problem = drawn.error;
      }
    }
    BoardDots dots;
    if (strip_.isNull()) return dots;
    const long long moved = static_cast<long long>(
        std::floor(static_cast<double>(into.count() % pass_) * speed_ / 1000));
    for (int x = 0; x < options_.width; ++x) {
      const long long column = moved - options_.width + x;
      if (column < 0 || column >= strip_.width()) continue;
      for (int y = 0; y < strip_.height() && y < options_.height; ++y) {
        if (strip_.constScanLine(y)[column] != 0) dots.SetLit(x, y);
      }
    }
    return dots;
  }

 private:
  picture::ConvertOptions options_;
  double speed_;
  std::string text_;
  QImage strip_;
  long long pass_ = 1;
};

// The departures of some stops, a row each (route, where, when), the
// "none" text without any; with alerts, the area's last row scrolls them.
// Drawn again each second, as the times to go follow the clock.
class DeparturesContent : public BoardContent {
 public:
  DeparturesContent(const ContentModel& model, std::shared_ptr<DeparturesFeeds> feeds)
      : options_(model.options),
        speed_(model.speed),
        feeds_(std::move(feeds)),
        worker_([feeds = feeds_](Instant now) { feeds->departures.Refresh(now); },
                model.live.every) {
    options_.align = picture::Alignment::Left;
    const int lineHeight = options_.size.value_or(16);
    rows_ = std::clamp(model.live.rows, 1, std::max(1, options_.height / std::max(1, lineHeight)));
    rowHeight_ = options_.height / rows_;
  }
  bool FollowsClock() const override { return true; }
  bool Moving() const override { return scrolling_; }
  void Start() override { worker_.Start(); }
  void Watches(std::vector<std::shared_ptr<const SourceWatch>>& watches) const override {
    watches.push_back(feeds_);
  }

  Drawn DotsAt(milliseconds into, const QDateTime& local) override {
    const Instant now = local.toSecsSinceEpoch();
    live::DeparturesView view = feeds_->departures.View(now);
    std::string problem = FailingFault(feeds_->departures.Status(now));
    scrolling_ = !view.alerts.empty() && rows_ > 1;
    const int shown = scrolling_ ? rows_ - 1 : rows_;
    if (view.rows.size() > static_cast<std::size_t>(shown)) view.rows.resize(shown);
    if (view.rows != drawnRows_ || view.mark != drawnMark_ || view.none != drawnNone_) {
      Redraw(view, problem);
    }
    Drawn drawn{dots_, problem};
    if (scrolling_) {
      std::string alerts;
      for (const std::string& alert : view.alerts)
        alerts += (alerts.empty() ? "" : "  •  ") + alert;
      if (!scroller_) {
        picture::ConvertOptions line = options_;
        line.height = rowHeight_;
        scroller_.emplace(line, speed_);
      }
      const BoardDots moving = scroller_->At(alerts, into, problem);
      Place(moving, options_.width, rowHeight_, (rows_ - 1) * rowHeight_, drawn.dots);
      if (drawn.problem.empty()) drawn.problem = problem;
    }
    return drawn;
  }

 private:
  void Redraw(const live::DeparturesView& view, std::string& problem) {
    drawnRows_ = view.rows;
    drawnMark_ = view.mark;
    drawnNone_ = view.none;
    dots_ = BoardDots();
    picture::ConvertOptions row = options_;
    row.height = rowHeight_;
    const std::string mark = view.mark.empty() ? "" : " " + view.mark;
    if (view.rows.empty()) {
      const picture::DotsResult none = DrawLine(view.none, row, 0, mark);
      if (none.Ok()) Place(none.dots, row.width, rowHeight_, 0, dots_);
      if (!none.Ok() && problem.empty()) problem = none.error;
      return;
    }
    for (std::size_t i = 0; i < view.rows.size(); ++i) {
      const live::DepartureRow& departure = view.rows[i];
      // The headsign gives way, a letter at a time, to the route and the time.
      const std::string head = departure.route + " " + departure.headsign;
      const qsizetype keep = static_cast<qsizetype>(QString::fromStdString(departure.route).size());
      const picture::DotsResult line =
          DrawLine(head, row, keep, " " + departure.when + (i == 0 ? mark : ""));
      if (!line.Ok()) {
        if (problem.empty()) problem = line.error;
        continue;
      }
      Place(line.dots, row.width, rowHeight_, static_cast<int>(i) * rowHeight_, dots_);
    }
  }

  picture::ConvertOptions options_;
  double speed_;
  int rows_ = 1;
  int rowHeight_ = 16;
  std::shared_ptr<DeparturesFeeds> feeds_;
  BoardDots dots_;
  std::vector<live::DepartureRow> drawnRows_;
  std::string drawnMark_;
  std::string drawnNone_ = "\n";  // never a text: the first look draws
  bool scrolling_ = false;
  std::optional<Scroller> scroller_;
  Worker worker_;  // last: stopped before the rest goes
};

// A line of live data: still (a JSON value in a text), or scrolling (the
// titles of a feed). Looked at each second for a new answer.
class LineContent : public BoardContent {
 public:
  LineContent(const ContentModel& model, std::shared_ptr<LineFeed> feed)
      : options_(model.options),
        scroll_(model.kind == ContentKind::Rss),
        feed_(std::move(feed)),
        scroller_(model.options, model.speed),
        worker_([feed = feed_](Instant now) { feed->line.Refresh(now); }, model.live.every) {}
  bool FollowsClock() const override { return true; }
  bool Moving() const override { return scroll_; }
  void Start() override { worker_.Start(); }
  void Watches(std::vector<std::shared_ptr<const SourceWatch>>& watches) const override {
    watches.push_back(feed_);
  }

  Drawn DotsAt(milliseconds into, const QDateTime& local) override {
    const std::string text = feed_->line.Text();
    std::string problem = FailingFault({feed_->line.Status(local.toSecsSinceEpoch())});
    if (scroll_) return {scroller_.At(text, into, problem), problem};
    if (text != drawnText_) {
      drawnText_ = text;
      const picture::DotsResult drawn = DrawLine(text, options_);
      if (drawn.Ok()) {
        dots_ = drawn.dots;
      } else if (problem.empty()) {
        problem = drawn.error;
      }
    }
    return {dots_, problem};
  }

 private:
  picture::ConvertOptions options_;
  bool scroll_;
  std::shared_ptr<LineFeed> feed_;
  Scroller scroller_;
  BoardDots dots_;
  std::string drawnText_ = "\n";
  Worker worker_;  // last: stopped before the rest goes
};

}  // namespace

std::filesystem::path FeedCacheFolder() {
  return std::filesystem::path(
      QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdU16String() +
      u"/zapis-bitmapy/rozklady");
}

bool LiveContentBuilt() {
  return true;
}

std::unique_ptr<BoardContent> MakeLiveContent(const ContentModel& model, const QDateTime&,
                                              std::string& error) {
  const LiveModel& live = model.live;
  if (model.kind == ContentKind::Departures) {
    live::DeparturesSource source;
    source.feed = live.feed;
    source.realtime = live.realtime;
    source.alerts = live.alerts;
    source.query.stops = live.stops;
    source.query.routes = live.routes;
    source.rows = static_cast<std::size_t>(std::max(1, live.rows));
    source.every = live.every;
    source.none = live.none;
    return std::make_unique<DeparturesContent>(
        model, std::make_shared<DeparturesFeeds>(std::move(source), FeedCacheFolder()));
  }
  if (model.kind == ContentKind::Data || model.kind == ContentKind::Rss) {
    live::LineSource source;
    source.kind = model.kind == ContentKind::Data ? live::LineSource::Kind::Data
                                                  : live::LineSource::Kind::Rss;
    source.url = live.url;
    source.pointer = live.pointer;
    source.text = live.text;
    source.items = static_cast<std::size_t>(live.items);
    source.every = live.every;
    source.none = live.none;
    return std::make_unique<LineContent>(model, std::make_shared<LineFeed>(std::move(source)));
  }
  error = "To nie jest treść na żywo.";
  return nullptr;
}

}  // namespace tablica::show
