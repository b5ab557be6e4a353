#include "show/show_timeline.h"

#include <algorithm>

#include "show/show_transition.h"
#include "show/show_when.h"

namespace tablica::show {

namespace {

constexpr milliseconds kSecond{1000};
constexpr milliseconds kMinute{60'000};
// A show with times that falls further behind than this many page changes
// (a long blank range over short pages) goes on from the page due now.
constexpr int kMostChangesAtOnce = 1000;

// How long until the local clock's next whole second or minute.
milliseconds ToNextSecond(const QDateTime& local) {
  return kSecond - milliseconds(local.time().msec());
}
milliseconds ToNextMinute(const QDateTime& local) {
  return kMinute - milliseconds(local.time().second() * 1000 + local.time().msec());
}

std::optional<milliseconds> PageLength(const ShowTimeline::Page& page,
                                       std::optional<milliseconds> seconds) {
  if (seconds) return seconds;
  std::optional<milliseconds> longest;
  for (const BoardContent* content : {page.first.get(), page.second.get()}) {
    // Live content may move without a length: its page lasts its seconds.
    if (content == nullptr || content->PassLength().count() == 0) continue;
    const milliseconds length = content->PassLength() * content->Times();
    longest = std::max(longest.value_or(length), length);
  }
  return longest;
}

// The sentences of a drawn content's problem (one a line) added to `problems`.
void AddProblems(const std::string& problem, std::vector<std::string>& problems) {
  std::size_t start = 0;
  while (start < problem.size()) {
    const std::size_t end = std::min(problem.find('\n', start), problem.size());
    problems.push_back(problem.substr(start, end - start));
    start = end + 1;
  }
}

// The dots of `page` `into` it on both boards; a transition from `before`
// (what the boards showed as the page came) mixes in. Returns whether the
// page follows the clock.
bool Draw(ShowTimeline::Page& page, milliseconds into, const QDateTime& local, Moment& moment,
          const std::optional<Moment>& before) {
  Drawn first = page.first->DotsAt(into, local);
  moment.first = first.dots;
  AddProblems(first.problem, moment.problems);
  bool clock = page.first->FollowsClock();
  moment.moving = page.first->Moving();
  if (page.second) {
    Drawn second = page.second->DotsAt(into, local);
    moment.second = second.dots;
    AddProblems(second.problem, moment.problems);
    clock = clock || page.second->FollowsClock();
    moment.moving = moment.moving || page.second->Moving();
  }
  if (before && page.transition != Transition::None && into < kTransitionLength) {
    moment.first = TransitionFrame(before->first, moment.first, page.transition, into);
    // The second board changes with the first when both pages give it content.
    if (moment.second && before->second) {
      moment.second = TransitionFrame(*before->second, *moment.second, page.transition, into);
    }
    moment.moving = true;
  }
  return clock;
}

// What `page` showed at its moment `into` (the last before a change).
Moment LastOf(ShowTimeline::Page* page, milliseconds into, const QDateTime& local,
              bool secondBoard) {
  Moment moment;
  if (page == nullptr) {
    if (secondBoard) moment.second = BoardDots();
    return moment;
  }
  moment.first = page->first->DotsAt(into, local).dots;
  if (page->second) moment.second = page->second->DotsAt(into, local).dots;
  return moment;
}

}  // namespace

ShowTimeline::ShowTimeline(std::vector<Page> pages, const ShowModel& model,
                           std::optional<Page> otherwise)
    : pages_(std::move(pages)),
      otherwise_(std::move(otherwise)),
      refresh_(model.refresh),
      blank_(model.blank),
      repeat_(model.repeat) {
  milliseconds start{0};
  bool endless = false;
  for (const Page& page : pages_) {
    scheduled_ = scheduled_ || page.when;
    starts_.push_back(start);
    usesSecond_ = usesSecond_ || page.second != nullptr;
    if (page.length) {
      start += *page.length;
    } else {
      endless = true;
    }
  }
  if (!endless) pass_ = start;
  if (scheduled_ && otherwise_) usesSecond_ = usesSecond_ || otherwise_->second != nullptr;
}

Moment ShowTimeline::At(milliseconds elapsed, const QDateTime& local) {
  Moment moment;
  if (scheduled_) CatchUp(elapsed, local);
  if (scheduled_ ? ended_ : pass_ && repeat_ > 0 && elapsed >= *pass_ * repeat_) {
    moment.ended = true;
    return moment;
  }
  if (useBlank_ && !blank_.empty()) {
    const int minute = local.time().hour() * 60 + local.time().minute();
    const bool blank = std::any_of(blank_.begin(), blank_.end(), [minute](const BlankRange& range) {
      return range.Contains(minute);
    });
    if (blank) {
      moment.blank = true;
      if (usesSecond_) moment.second = BoardDots();
      moment.nextChange = elapsed + ToNextMinute(local);
      return moment;
    }
  }

  if (scheduled_) return Follow(elapsed, local, std::move(moment));

  // Where in the pass, and on which page.
  const milliseconds inPass = pass_ && pass_->count() > 0 ? elapsed % *pass_ : elapsed;
  std::size_t index = 0;
  while (index + 1 < pages_.size() && starts_[index + 1] <= inPass) ++index;
  Page& page = pages_[index];
  const milliseconds into = inPass - starts_[index];

  moment.page = static_cast<int>(index);
  // The page before (the last of the pass before, for the first page) as it
  // stood at its end, for a transition.
  std::optional<Moment> before;
  const bool hasBefore = index > 0 || (pass_ && elapsed >= *pass_);
  Page& last = pages_[index == 0 ? pages_.size() - 1 : index - 1];
  if (page.transition != Transition::None && into < kTransitionLength && pages_.size() > 1 &&
      hasBefore && last.length) {
    before = LastOf(&last, *last.length - milliseconds(1),
                    local.addMSecs(-(into + milliseconds(1)).count()), false);
  }
  const bool clock = Draw(page, into, local, moment, before);
  if (moment.moving) {
    moment.nextChange = elapsed;
    return moment;
  }
  milliseconds next = milliseconds::max();
  if (page.length) next = elapsed + (*page.length - into);
  if (clock) next = std::min(next, elapsed + ToNextSecond(local));
  if (useBlank_ && !blank_.empty()) next = std::min(next, elapsed + ToNextMinute(local));
  moment.nextChange = next;
  return moment;
}

void ShowTimeline::CatchUp(milliseconds elapsed, const QDateTime& local) {
  const auto localAt = [&](milliseconds at) { return local.addMSecs((at - elapsed).count()); };
  if (!begun_ || elapsed < asked_) {
    // From the start: the first page due comes without a transition.
    begun_ = true;
    ended_ = false;
    passes_ = 0;
    shownInPass_ = false;
    next_ = 0;
    place_ = Place{};
    Enter(NextDue(local), elapsed, local);
    left_.reset();
  }
  asked_ = elapsed;
  for (int change = 0; change < kMostChangesAtOnce; ++change) {
    if (ended_) return;
    if (place_.page < 0) {
      // Nothing was due: looked at again each minute, from the minute on.
      if (elapsed < recheck_) return;
      const milliseconds at = elapsed - recheck_ < kMinute ? recheck_ : elapsed;
      const int page = NextDue(localAt(at));
      if (page < 0) {
        recheck_ = elapsed + ToNextMinute(local);
        return;
      }
      Enter(page, at, localAt(at));
      continue;
    }
    const Page& page = pages_[static_cast<std::size_t>(place_.page)];
    milliseconds end = elapsed;
    if (page.length && place_.start + *page.length <= elapsed) {
      end = place_.start + *page.length;
    } else if (!page.when || WhenHolds(*page.when, local)) {
      return;  // the page goes on
    }
    // The page's length or its time is over: the next due then comes.
    Enter(NextDue(localAt(end)), end, localAt(end));
  }
  Enter(NextDue(local), elapsed, local);
}

void ShowTimeline::Enter(int page, milliseconds at, const QDateTime& localAt) {
  left_ = place_;
  place_ = Place{page, at};
  if (page >= 0) {
    next_ = page + 1;
    shownInPass_ = true;
  } else {
    recheck_ = at + ToNextMinute(localAt);
  }
}

int ShowTimeline::NextDue(const QDateTime& local) {
  const int count = static_cast<int>(pages_.size());
  int index = next_;
  for (int looked = 0; looked < count; ++looked, ++index) {
    if (index >= count) {
      index = 0;
      // Past the last page: a pass is over, if it showed anything.
      if (shownInPass_) {
        ++passes_;
        shownInPass_ = false;
        if (repeat_ > 0 && passes_ >= repeat_) {
          ended_ = true;
          return -1;
        }
      }
    }
    const Page& page = pages_[static_cast<std::size_t>(index)];
    if (!page.when || WhenHolds(*page.when, local)) return index;
  }
  return -1;
}

ShowTimeline::Page* ShowTimeline::PageAt(const Place& place) {
  if (place.page >= 0) return &pages_[static_cast<std::size_t>(place.page)];
  return otherwise_ ? &*otherwise_ : nullptr;
}

Moment ShowTimeline::Follow(milliseconds elapsed, const QDateTime& local, Moment moment) {
  Page* page = PageAt(place_);
  const milliseconds into = elapsed - place_.start;
  moment.page = place_.page;
  std::optional<Moment> before;
  if (page != nullptr && left_ && left_->page != place_.page &&
      page->transition != Transition::None && into < kTransitionLength) {
    // What showed as the change came: the place left, at its last moment.
    before = LastOf(PageAt(*left_), place_.start - left_->start - milliseconds(1),
                    local.addMSecs(-(into + milliseconds(1)).count()), usesSecond_);
  }
  bool clock = false;
  if (page != nullptr) {
    clock = Draw(*page, into, local, moment, before);
  } else if (usesSecond_) {
    moment.second = BoardDots();
  }
  if (moment.moving) {
    moment.nextChange = elapsed;
    return moment;
  }
  milliseconds next = milliseconds::max();
  if (place_.page < 0) {
    next = recheck_;
  } else {
    if (page->length) next = place_.start + *page->length;
    if (page->when) next = std::min(next, elapsed + ToNextMinute(local));
  }
  if (clock) next = std::min(next, elapsed + ToNextSecond(local));
  if (useBlank_ && !blank_.empty()) next = std::min(next, elapsed + ToNextMinute(local));
  moment.nextChange = next;
  return moment;
}

void ShowTimeline::Start() {
  const auto start = [](Page& page) {
    for (BoardContent* content : {page.first.get(), page.second.get()}) {
      if (content != nullptr) content->Start();
    }
  };
  for (Page& page : pages_) start(page);
  if (otherwise_) start(*otherwise_);
}

std::vector<std::shared_ptr<const SourceWatch>> ShowTimeline::Watches() const {
  std::vector<std::shared_ptr<const SourceWatch>> watches;
  const auto add = [&watches](const Page& page) {
    for (const BoardContent* content : {page.first.get(), page.second.get()}) {
      if (content != nullptr) content->Watches(watches);
    }
  };
  for (const Page& page : pages_) add(page);
  if (otherwise_) add(*otherwise_);
  return watches;
}

TimelineResult MakeTimeline(const ShowModel& model, const QDateTime& now) {
  std::vector<ShowTimeline::Page> pages;
  for (std::size_t i = 0; i < model.pages.size(); ++i) {
    const PageModel& pageModel = model.pages[i];
    const int number = static_cast<int>(i) + 1;
    ShowTimeline::Page page;
    ShowError error = PlaceOf(number);
    page.first = MakeContent(pageModel.first, now, error);
    if (!page.first) return {nullptr, error};
    if (pageModel.second) {
      error.second = true;
      page.second = MakeContent(*pageModel.second, now, error);
      if (!page.second) return {nullptr, error};
    }
    page.length = PageLength(page, pageModel.seconds);
    page.when = pageModel.when;
    page.transition = pageModel.transition.value_or(model.transition);
    pages.push_back(std::move(page));
  }
  std::optional<ShowTimeline::Page> otherwise;
  if (model.otherwise) {
    ShowError error;
    error.otherwise = true;
    otherwise.emplace();
    otherwise->first = MakeContent(model.otherwise->first, now, error);
    if (!otherwise->first) return {nullptr, error};
    if (model.otherwise->second) {
      error.second = true;
      otherwise->second = MakeContent(*model.otherwise->second, now, error);
      if (!otherwise->second) return {nullptr, error};
    }
    otherwise->transition = model.otherwise->transition.value_or(model.transition);
  }
  return {std::make_unique<ShowTimeline>(std::move(pages), model, std::move(otherwise)), {}};
}

std::unique_ptr<ShowTimeline> MakeBlankTimeline(bool secondBoard) {
  std::vector<ShowTimeline::Page> pages(1);
  pages[0].first = MakeStill(BoardDots());
  if (secondBoard) pages[0].second = MakeStill(BoardDots());
  return std::make_unique<ShowTimeline>(std::move(pages), ShowModel());
}

ShowModel OnePageShow(const ContentModel& content) {
  ShowModel show;
  PageModel page;
  page.first = content;
  show.pages.push_back(std::move(page));
  return show;
}

}  // namespace tablica::show
