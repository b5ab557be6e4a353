#include "show/show_player.h"

#include <algorithm>
#include <utility>

namespace tablica::show {

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;

// A frame whose making took longer than this share of its wire time would
// reach the board too late for its moment: it is made again.
constexpr int kLatenessShare = 4;
// At most this many frames in a row are made again; then one is written
// whatever its moment, so a slow machine still shows the show.
constexpr int kMostSkipsInARow = 3;

using Frame = std::pair<BoardDots, std::optional<BoardDots>>;

}  // namespace

std::string_view NameOf(Showing showing) {
  switch (showing) {
    case Showing::Nothing:
      return "nothing";
    case Showing::Picture:
      return "picture";
    case Showing::Text:
      return "text";
    case Showing::Show:
      return "show";
    case Showing::Notification:
      return "notification";
    case Showing::Blank:
      return "blank";
  }
  return "nothing";
}

struct ShowPlayer::Shared {
  mutable std::mutex mutex;
  // Handed over by other threads, taken at the player's next look.
  std::unique_ptr<ShowTimeline> nextContent;
  Showing nextShowing = Showing::Nothing;
  bool blankNext = false;
  NoticeQueue notices;
  std::function<void(const FrameRecord&)> observer;
  std::function<void()> reachObserver;
  PlayerStatus status;
};

// What the playing thread alone keeps.
struct ShowPlayer::Playing {
  std::unique_ptr<ShowTimeline> content;
  Showing showing = Showing::Nothing;
  SteadyTime contentStart{};
  bool finished = false;
  bool usesSecond = false;  // the content played last used the second board

  std::shared_ptr<ShowTimeline> notice;
  SteadyTime noticeStart{};
  SteadyTime noticeEnd{};
  std::uint64_t noticeSerial = 0;

  std::optional<Frame> lastSent;  // unset: the next still moment is written
  SteadyTime lastSentAt{};
  bool lastFailed = false;
  int failuresInARow = 0;
  SteadyTime pauseUntil{};  // after a failed frame: nothing written before
  bool away = false;        // the port is away: nothing is written
  SteadyTime lineFreeAt{};  // when the line has sent what was written
  int skippedInARow = 0;
  std::vector<std::string> lastProblems;
};

ShowPlayer::ShowPlayer(ShowClock& clock, PlayerOptions options)
    : clock_(clock), options_(std::move(options)), shared_(std::make_unique<Shared>()) {}

ShowPlayer::~ShowPlayer() = default;

void ShowPlayer::Play(std::unique_ptr<ShowTimeline> content, Showing showing) {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->nextContent = std::move(content);
    shared_->nextShowing = showing;
    shared_->blankNext = false;
    shared_->notices.Resume(clock_.Now());
  }
  wake_.Signal();
}

void ShowPlayer::Blank() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->nextContent.reset();
    shared_->blankNext = true;
    shared_->notices.Pause(clock_.Now());
    // Said at once: a status asked right after must not name what went.
    shared_->status.showing = Showing::Blank;
  }
  wake_.Signal();
}

std::optional<std::string> ShowPlayer::Notify(NoticeRequest request) {
  std::optional<std::string> id;
  {
    const std::lock_guard lock(shared_->mutex);
    const SteadyTime now = clock_.Now();
    id = shared_->notices.Add(std::move(request), now);
    if (id) shared_->notices.Resume(now);
  }
  wake_.Signal();
  return id;
}

void ShowPlayer::Notify(std::unique_ptr<ShowTimeline> content, milliseconds length) {
  Notify(NoticeRequest{{}, kDefaultPriority, length, std::move(content)});
}

bool ShowPlayer::CancelNotice(std::string_view id) {
  bool found = false;
  {
    const std::lock_guard lock(shared_->mutex);
    found = shared_->notices.Cancel(id, clock_.Now());
  }
  wake_.Signal();
  return found;
}

std::size_t ShowPlayer::CancelNotices() {
  std::size_t count = 0;
  {
    const std::lock_guard lock(shared_->mutex);
    count = shared_->notices.CancelAll(clock_.Now());
  }
  wake_.Signal();
  return count;
}

std::vector<NoticeState> ShowPlayer::Notices() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->notices.List(clock_.Now());
}

void ShowPlayer::SetFrameObserver(std::function<void(const FrameRecord&)> observer) {
  const std::lock_guard lock(shared_->mutex);
  shared_->observer = std::move(observer);
}

void ShowPlayer::SetReachObserver(std::function<void()> observer) {
  const std::lock_guard lock(shared_->mutex);
  shared_->reachObserver = std::move(observer);
}

PlayerStatus ShowPlayer::Status() const {
  const std::lock_guard lock(shared_->mutex);
  return shared_->status;
}

void ShowPlayer::TakeCommands(Playing& playing) {
  const std::lock_guard lock(shared_->mutex);
  const SteadyTime now = clock_.Now();
  if (shared_->nextContent || shared_->blankNext) {
    if (shared_->blankNext) {
      playing.content = MakeBlankTimeline(playing.usesSecond);
      playing.showing = Showing::Blank;
    } else {
      playing.content = std::move(shared_->nextContent);
      playing.content->Start();
      playing.showing = shared_->nextShowing;
      playing.usesSecond = playing.content->UsesSecondBoard();
    }
    shared_->blankNext = false;
    playing.contentStart = now;
    playing.finished = false;
    playing.lastSent.reset();
  }
  const std::optional<CurrentNotice> notice = shared_->notices.Current(now);
  const std::uint64_t serial = notice ? notice->serial : 0;
  const std::uint64_t previousSerial = playing.noticeSerial;
  if (serial != playing.noticeSerial) {
    // Another message, or back to the content: it comes whole.
    playing.noticeSerial = serial;
    playing.lastSent.reset();
  }
  playing.notice = notice ? notice->content : nullptr;
  if (notice && serial != previousSerial) playing.notice->Start();
  if (notice) {
    playing.noticeStart = notice->start;
    playing.noticeEnd = notice->end;
  }
  shared_->status.showing = playing.notice ? Showing::Notification : playing.showing;
  shared_->status.finished = playing.finished;
}

void ShowPlayer::Report(const std::vector<std::string>& problems, Playing& playing) {
  if (problems == playing.lastProblems) return;
  // Each problem is said when it comes, not again while it lasts (a source
  // failing in one zone while another's problem comes and goes).
  const std::vector<std::string> said = std::exchange(playing.lastProblems, problems);
  if (!options_.showMessage) return;
  for (const std::string& problem : problems) {
    if (std::find(said.begin(), said.end(), problem) == said.end()) options_.showMessage(problem);
  }
}

BoardReach ShowPlayer::Look(BoardOutput& output, Playing& playing) {
  if (!output.Watched()) return BoardReach::Reached;
  const BoardReach reach = output.Look();
  const bool away = reach == BoardReach::Away;
  if (reach == BoardReach::Back) {
    // Back: what the board should show is written at once, whole.
    playing.lastSent.reset();
    playing.lastFailed = false;
    playing.pauseUntil = {};
  }
  if (away != playing.away) {
    playing.away = away;
    std::function<void()> observer;
    {
      const std::lock_guard lock(shared_->mutex);
      shared_->status.reached = !away;
      shared_->status.reachedSince = std::chrono::system_clock::now();
      observer = shared_->reachObserver;
    }
    if (observer) observer();
  }
  return reach;
}

void ShowPlayer::Wait(BoardOutput& output, SteadyTime deadline, std::stop_token stop) {
  if (output.Watched()) deadline = std::min(deadline, clock_.Now() + kLookEvery);
  clock_.WaitUntil(deadline, std::move(stop), wake_);
}

void ShowPlayer::Write(BoardOutput& output, Playing& playing, const Moment& moment,
                       SteadyTime target, std::stop_token stop) {
  const BoardDots* second = moment.second ? &*moment.second : nullptr;
  const microseconds wire = output.WireTime(WriteSize(second != nullptr));
  const SteadyTime began = clock_.Now();
  const QDateTime arrives = clock_.LocalAt(target);
  const SendReport report = output.Write(moment.first, second);
  // Nothing may wait in the system's buffers: the next frame is made for
  // the moment this one has left.
  output.Drain(duration_cast<milliseconds>(wire) * 2 + milliseconds(200));
  playing.lineFreeAt = began + wire;
  playing.lastSent = Frame{moment.first, moment.second};
  playing.lastSentAt = began;
  playing.lastFailed = !report.Ok();

  const FrameRecord record{moment.first, moment.second, arrives, report.Ok(), report.messages};
  std::function<void(const FrameRecord&)> observer;
  {
    const std::lock_guard lock(shared_->mutex);
    PlayerStatus& status = shared_->status;
    ++status.frames;
    if (!report.Ok()) ++status.failedFrames;
    if (moment.page >= 0) status.page = moment.page;
    status.last = record;
    observer = shared_->observer;
  }
  if (observer) observer(record);

  if (report.Ok()) {
    playing.failuresInARow = 0;
    return;
  }
  // The port may have gone with the failure (an adapter pulled out): the
  // watch then waits for its return, and the show goes on where it would
  // be by then. A port still there (a line held, a device that refuses)
  // is written to again after a pause that grows while frames keep failing.
  if (Look(output, playing) == BoardReach::Away) return;
  const int doublings = std::min(playing.failuresInARow, 16);
  const milliseconds pause = std::min<milliseconds>(options_.failurePause * (1LL << doublings),
                                                    options_.longestFailurePause);
  ++playing.failuresInARow;
  playing.pauseUntil = clock_.Now() + pause;
  Wait(output, playing.pauseUntil, stop);
}

ShowPlayer::Ended ShowPlayer::Run(BoardOutput& output, std::stop_token stop) {
  Playing playing;
  playing.lineFreeAt = clock_.Now();
  while (!stop.stop_requested()) {
    wake_.Take();
    TakeCommands(playing);
    const SteadyTime now = clock_.Now();
    Look(output, playing);
    ShowTimeline* timeline = playing.notice ? playing.notice.get() : playing.content.get();
    if (timeline == nullptr || (!playing.notice && playing.finished)) {
      if (timeline != nullptr && options_.endWhenDone) return Ended::Done;
      Wait(output, SteadyTime::max(), stop);
      continue;
    }
    // A frame starts only when the one before has had its time on the line,
    // and the pause after a failed frame is over.
    const SteadyTime startAt = std::max(playing.lineFreeAt, playing.pauseUntil);
    if (startAt > now) {
      Wait(output, startAt, stop);
      continue;
    }

    const SteadyTime start = playing.notice ? playing.noticeStart : playing.contentStart;
    const auto momentAt = [&](microseconds wire) {
      const SteadyTime target = now + wire;
      return timeline->At(std::chrono::round<milliseconds>(target - start), clock_.LocalAt(target));
    };
    microseconds wire = output.WireTime(WriteSize(false));
    Moment moment = momentAt(wire);
    if (moment.second) {
      wire = output.WireTime(WriteSize(true));
      moment = momentAt(wire);
    }
    Report(moment.problems, playing);
    if (moment.ended) {
      if (playing.notice) {
        const std::lock_guard lock(shared_->mutex);
        shared_->notices.Finish(playing.noticeSerial, now);
      } else {
        playing.finished = true;
        const std::lock_guard lock(shared_->mutex);
        shared_->status.finished = true;
      }
      continue;
    }

    // Nothing is written while the port is away; the show's time goes on.
    if (playing.away) {
      Wait(output, now + kLookEvery, stop);
      continue;
    }

    const std::optional<milliseconds> refresh = timeline->Refresh();
    const bool refreshDue = refresh && playing.lastSent && now >= playing.lastSentAt + *refresh;
    const bool changed = !playing.lastSent || playing.lastSent->first != moment.first ||
                         playing.lastSent->second != moment.second;
    if (!moment.moving && !changed && !refreshDue && !playing.lastFailed) {
      // Wake in time for the next change to reach the board at its moment.
      SteadyTime wakeAt = SteadyTime::max();
      if (moment.nextChange != milliseconds::max()) wakeAt = start + moment.nextChange - wire;
      if (refresh) wakeAt = std::min(wakeAt, playing.lastSentAt + *refresh);
      if (playing.notice) wakeAt = std::min(wakeAt, playing.noticeEnd);
      Wait(output, wakeAt, stop);
      continue;
    }
    if (moment.moving && !changed && !refreshDue && !playing.lastFailed) {
      // Moving content that stands still for this frame (an animation's
      // long frame, a slow line, zones whose moving part has not moved):
      // nothing is written, and the next frame is looked at a frame later.
      SteadyTime wakeAt = now + wire;
      if (playing.notice) wakeAt = std::min(wakeAt, playing.noticeEnd);
      clock_.WaitUntil(wakeAt, stop, wake_);
      continue;
    }
    // Made too slowly to reach the board at its moment: made again for a
    // later one rather than shown late.
    if (moment.moving && clock_.Now() - now > wire / kLatenessShare &&
        playing.skippedInARow < kMostSkipsInARow) {
      ++playing.skippedInARow;
      continue;
    }
    playing.skippedInARow = 0;
    Write(output, playing, moment, now + wire, stop);
  }
  return Ended::Stopped;
}

}  // namespace tablica::show
