#include "service/board_service.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>

#include "service/decode_budget.h"
#include "session/session_worker.h"
#include "show/board_output.h"
#include "show/show_clock.h"
#include "show/show_file.h"
#include "show/show_player.h"
#include "show/show_timeline.h"

namespace tablica::service {

namespace {

using std::chrono::milliseconds;

std::string_view KindName(show::Showing showing) {
  switch (showing) {
    case show::Showing::Picture:
      return "picture";
    case show::Showing::Text:
      return "text";
    default:
      return "show";
  }
}

// How a log line calls a content.
std::string Described(show::Showing showing) {
  switch (showing) {
    case show::Showing::Picture:
      return "obraz";
    case show::Showing::Text:
      return "tekst";
    default:
      return "pokaz";
  }
}

std::chrono::system_clock::time_point SystemTime(const QDateTime& moment) {
  return std::chrono::system_clock::time_point(milliseconds(moment.toMSecsSinceEpoch()));
}

std::string Joined(const std::vector<std::string>& messages) {
  std::string text;
  for (const std::string& message : messages) text += (text.empty() ? "" : " ") + message;
  return text;
}

}  // namespace

struct Content::Parts {
  std::unique_ptr<show::ShowTimeline> timeline;
  show::Showing showing = show::Showing::Show;
  BoardDots first;
  std::optional<milliseconds> seconds;
  std::vector<std::string> text;  // the lines, when the content is one text
  std::uint64_t arrival = 0;      // when its reading began, in requests
};

Content::Content(std::unique_ptr<Parts> parts) : parts_(std::move(parts)) {}
Content::Content(Content&&) noexcept = default;
Content& Content::operator=(Content&&) noexcept = default;
Content::~Content() = default;
const BoardDots& Content::FirstDots() const {
  return parts_->first;
}
std::string_view Content::Kind() const {
  return KindName(parts_->showing);
}
std::optional<milliseconds> Content::Seconds() const {
  return parts_->seconds;
}

struct BoardService::State {
  ServiceSetup setup;
  std::optional<std::uint8_t> port;
  std::unique_ptr<show::ShowClock> ownClock;
  show::ShowClock* clock = nullptr;
  std::unique_ptr<show::ShowPlayer> player;
  // Pictures are read side by side within a budget of their frames'
  // pixels: a few large pictures decoded at once must not take the
  // machine's memory, and a small one never waits behind a large one. Text
  // needs little, and has its own turn.
  PixelBudget preparingPictures{kMaxPixelsInFlight};
  std::mutex preparingText;
  // Requests to read content, counted as they begin; the last shown (or
  // blanked) is `shown`.
  std::atomic<std::uint64_t> arrivals = 0;

  mutable std::mutex mutex;  // guards what follows
  BoardDots now;
  std::vector<std::string> text;
  std::optional<Refusal> refused;
  std::string notice;
  // The live sources of the content shown; they answer for themselves.
  std::vector<std::shared_ptr<const show::SourceWatch>> watches;
  std::uint64_t shown = 0;
  std::optional<LastSend> lastSend;
  long long sends = 0;
  long long failedSends = 0;

  std::mutex observing;  // held while observers are called
  std::map<int, std::function<void(const FrameEvent&)>> observers;
  std::map<int, std::function<void()>> reachObservers;
  int nextObserver = 1;
  std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
  bool openAtStart = false;  // until the player's first look at the port

  // Last: stopped (after the frame in flight) before the player goes.
  std::unique_ptr<SessionWorker> worker;

  void Log(const std::string& line) const {
    if (setup.log) setup.log(line);
  }

  void Heard(const show::FrameRecord& record) {
    FrameEvent frame{record.first, record.second, SystemTime(record.moment), record.ok,
                     Joined(record.messages)};
    bool recovered = false;
    {
      std::lock_guard lock(mutex);
      ++sends;
      if (!frame.ok) ++failedSends;
      if (frame.ok) now = frame.first;
      recovered = frame.ok && lastSend && !lastSend->ok;
      lastSend = LastSend{frame.ok, frame.at, frame.message};
    }
    if (recovered) Log("Tablica znów odbiera ramki.");
    std::lock_guard lock(observing);
    for (const auto& [id, observer] : observers) observer(frame);
  }

  // `onePage`: the content came as one page, not as a show, so a refusal
  // does not name a page the sender never wrote.
  ContentResult Made(const show::ShowModel& model, show::Showing showing,
                     std::optional<milliseconds> seconds, bool onePage, std::uint64_t arrival) {
    const QDateTime now = QDateTime::currentDateTime();
    show::TimelineResult made = show::MakeTimeline(model, now);
    if (!made.timeline) {
      return {std::nullopt, show::Sentence(made.error, !onePage)};
    }
    auto parts = std::make_unique<Content::Parts>();
    parts->first = made.timeline->At(milliseconds(0), now).first;
    parts->timeline = std::move(made.timeline);
    parts->showing = showing;
    parts->seconds = seconds;
    parts->arrival = arrival;
    return {Content(std::move(parts)), {}};
  }
};

BoardService::BoardService(std::unique_ptr<BoardSession> session, ServiceSetup setup,
                           show::ShowClock* clock)
    : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.setup = std::move(setup);
  // The port named, whether or not it is there yet: the player's watch
  // opens it when it comes.
  if (session->NamedPort() != kNoPort) state.port = session->NamedPort();
  state.openAtStart = session->PortNumber() != kNoPort;
  if (!clock) {
    state.ownClock = std::make_unique<show::SystemClock>();
    clock = state.ownClock.get();
  }
  state.clock = clock;
  show::PlayerOptions options;
  options.showMessage = [&state](const std::string& message) { state.Log(message); };
  state.player = std::make_unique<show::ShowPlayer>(*clock, options);
  state.player->SetReachObserver([&state] {
    std::lock_guard lock(state.observing);
    for (const auto& [id, observer] : state.reachObservers) observer();
  });
  state.player->SetFrameObserver(
      [&state](const show::FrameRecord& record) { state.Heard(record); });
  state.worker = std::make_unique<SessionWorker>(
      std::move(session), [&state](const std::string& message) { state.Log(message); });
  show::ShowPlayer* player = state.player.get();
  state.worker->Post([player](BoardSession& board, std::stop_token stop) {
    show::SessionOutput output(board);
    player->Run(output, stop);
  });
}

BoardService::~BoardService() {
  // The worker asks the player to stop and waits for the frame in flight.
  state_->worker.reset();
}

ContentResult BoardService::PictureContent(std::span<const std::uint8_t> bytes,
                                           const picture::ConvertOptions& options) {
  if (bytes.empty()) return {std::nullopt, "Nie przysłano obrazu (puste ciało zapytania)."};
  show::ContentModel content;
  content.kind = show::ContentKind::Picture;
  content.options = options;
  content.options.text.clear();
  content.picture.data.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::uint64_t arrival = ++state_->arrivals;
  const show::ShowModel model = show::OnePageShow(content);
  const PixelBudget::Share share = state_->preparingPictures.Take(CostOf(model).largestFrame);
  return state_->Made(model, show::Showing::Picture, std::nullopt, true, arrival);
}

ContentResult BoardService::JsonContent(std::string_view json) {
  const std::uint64_t arrival = ++state_->arrivals;
  const QByteArray bytes(json.data(), static_cast<qsizetype>(json.size()));
  QJsonParseError parsed{};
  const QJsonDocument document = QJsonDocument::fromJson(bytes, &parsed);
  if (parsed.error != QJsonParseError::NoError) {
    return {std::nullopt, "Treść nie jest poprawnym JSON-em (błąd przy znaku " +
                              std::to_string(parsed.offset + 1) + ")."};
  }
  if (!document.isObject()) {
    return {std::nullopt,
            "Treść musi być obiektem JSON: pokazem (z polem „pages”) albo jedną stroną "
            "(z polem „text”, „picture”, „scroll” albo „animation”)."};
  }
  const QJsonObject object = document.object();
  const bool isShow = object.contains("pages");
  show::ShowModelResult model;
  if (isShow) {
    model = show::ParseShow(bytes, {}, show::ShowOrigin::Network, "treści");
  } else {
    // One page, read as it came: a refusal names no page the sender never wrote.
    show::PageModelResult page = show::ParsePage(object, {}, show::ShowOrigin::Network);
    if (page.page) {
      model.show.emplace();
      model.show->pages.push_back(std::move(*page.page));
    }
    model.error = std::move(page.error);
  }
  if (!model.show) return {std::nullopt, show::Sentence(model.error, isShow)};
  show::Showing showing = show::Showing::Show;
  std::optional<milliseconds> seconds;
  std::vector<std::string> text;
  if (!isShow) {
    const show::PageModel& page = model.show->pages.front();
    seconds = page.seconds;
    if (!page.second && page.first.kind == show::ContentKind::Text) showing = show::Showing::Text;
    if (showing == show::Showing::Text) text = page.first.options.text;
    // No letter at all is no text (as over MQTT), not a blank board called one.
    if (showing == show::Showing::Text &&
        std::all_of(text.begin(), text.end(),
                    [](const std::string& line) { return line.empty(); })) {
      return {std::nullopt, "Tekst jest pusty: wpisz co najmniej jeden znak."};
    }
    if (!page.second && page.first.kind == show::ContentKind::Picture) {
      showing = show::Showing::Picture;
    }
  }
  const DecodeCost cost = CostOf(*model.show);
  if (cost.pixels > kMaxRequestPixels) return {std::nullopt, TooMuchToDecode(cost.pixels), true};
  std::optional<PixelBudget::Share> share;
  std::unique_lock<std::mutex> textTurn;
  if (cost.largestFrame > 0) {
    share.emplace(state_->preparingPictures.Take(cost.largestFrame));
  } else {
    textTurn = std::unique_lock(state_->preparingText);
  }
  ContentResult made = state_->Made(*model.show, showing, seconds, !isShow, arrival);
  if (made.content) made.content->parts_->text = std::move(text);
  return made;
}

ContentResult BoardService::TextContent(const std::vector<std::string>& lines) {
  if (lines.empty() || lines.size() > static_cast<std::size_t>(picture::kMaxTextLines)) {
    return {std::nullopt, "Tekst dla tablicy to jedna albo dwie linie."};
  }
  show::ContentModel content;
  content.kind = show::ContentKind::Text;
  content.options.text = lines;
  const std::uint64_t arrival = ++state_->arrivals;
  std::lock_guard lock(state_->preparingText);
  ContentResult made =
      state_->Made(show::OnePageShow(content), show::Showing::Text, std::nullopt, true, arrival);
  if (made.content) made.content->parts_->text = lines;
  return made;
}

bool BoardService::Play(Content content) {
  const show::Showing showing = content.parts_->showing;
  {
    std::lock_guard lock(state_->mutex);
    if (content.parts_->arrival < state_->shown) {
      state_->Log("Pominięto " + Described(showing) + ": zanim był gotowy, przyszła nowsza treść.");
      return false;
    }
    state_->shown = content.parts_->arrival;
    state_->text = std::move(content.parts_->text);
    state_->refused.reset();
    state_->watches = content.parts_->timeline->Watches();
  }
  state_->player->Play(std::move(content.parts_->timeline), showing);
  state_->Log("Pokazuję " + Described(showing) + ".");
  return true;
}

NotifyResult BoardService::Notify(Content content, const NoticeOptions& options) {
  const show::Showing showing = content.parts_->showing;
  {
    std::lock_guard lock(state_->mutex);
    state_->refused.reset();
  }
  const std::optional<std::string> id = state_->player->Notify(
      {options.id, options.priority, options.length, std::move(content.parts_->timeline)});
  if (!id) {
    return {{},
            "Kolejka powiadomień jest pełna (najwyżej " + std::to_string(show::kMostNotices) +
                "); odwołaj któreś: DELETE /api/notify/ID."};
  }
  const std::string length =
      options.length ? "na " + std::to_string((options.length->count() + 999) / 1000) + " s"
                     : "do odwołania";
  state_->Log("Powiadomienie „" + *id + "” (" + Described(showing) + ", priorytet " +
              std::to_string(options.priority) + ") " + length + ".");
  return {*id, {}};
}

bool BoardService::CancelNotice(std::string_view id) {
  const bool found = state_->player->CancelNotice(id);
  if (found) state_->Log("Powiadomienie „" + std::string(id) + "” odwołane.");
  return found;
}

std::size_t BoardService::CancelNotices() {
  const std::size_t count = state_->player->CancelNotices();
  if (count > 0) state_->Log("Odwołano powiadomienia: " + std::to_string(count) + ".");
  return count;
}

std::vector<show::NoticeState> BoardService::Notices() const {
  return state_->player->Notices();
}

void BoardService::Blank() {
  {
    std::lock_guard lock(state_->mutex);
    state_->shown = ++state_->arrivals;
    state_->text.clear();
    state_->refused.reset();
    state_->watches.clear();
  }
  state_->player->Blank();
  state_->Log("Tablica wygaszona.");
}

void BoardService::Refused(const std::string& message) {
  std::lock_guard lock(state_->mutex);
  state_->refused = Refusal{std::chrono::system_clock::now(), message};
}

void BoardService::SetNotice(std::string notice) {
  std::lock_guard lock(state_->mutex);
  state_->notice = std::move(notice);
}

ServiceStatus BoardService::Status() const {
  const show::PlayerStatus player = state_->player->Status();
  ServiceStatus status;
  status.port = state_->port;
  status.name = state_->setup.name;
  status.version = state_->setup.version;
  status.showing = player.showing == show::Showing::Nothing
                       ? std::string("blank")
                       : std::string(show::NameOf(player.showing));
  std::unique_lock lock(state_->mutex);
  status.text = state_->text;
  status.refused = state_->refused;
  status.notice = state_->notice;
  status.connected =
      status.port.has_value() && (player.reachedSince ? player.reached : state_->openAtStart);
  status.connectedSince = player.reachedSince.value_or(state_->started);
  status.lastSend = state_->lastSend;
  status.sends = state_->sends;
  status.failedSends = state_->failedSends;
  const auto watches = state_->watches;
  lock.unlock();
  for (const auto& watch : watches) {
    for (const show::SourceReport& report : watch->Report()) {
      status.sources.push_back({report.name, report.age, report.fault});
    }
  }
  return status;
}

BoardDots BoardService::BoardNow() const {
  std::lock_guard lock(state_->mutex);
  return state_->now;
}

int BoardService::AddReachObserver(std::function<void()> observer) {
  std::lock_guard lock(state_->observing);
  const int id = state_->nextObserver++;
  state_->reachObservers.emplace(id, std::move(observer));
  return id;
}

void BoardService::RemoveReachObserver(int id) {
  std::lock_guard lock(state_->observing);
  state_->reachObservers.erase(id);
}

int BoardService::AddFrameObserver(std::function<void(const FrameEvent&)> observer) {
  std::lock_guard lock(state_->observing);
  const int id = state_->nextObserver++;
  state_->observers.emplace(id, std::move(observer));
  return id;
}

void BoardService::RemoveFrameObserver(int id) {
  std::lock_guard lock(state_->observing);
  state_->observers.erase(id);
}

}  // namespace tablica::service
