#include "show/show_timeline.h"

#include <algorithm>

namespace tablica::show {

namespace {

constexpr milliseconds kSecond{1000};
constexpr milliseconds kMinute{60'000};

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
    if (content == nullptr || !content->Moving()) continue;
    const milliseconds length = content->PassLength() * content->Times();
    longest = std::max(longest.value_or(length), length);
  }
  return longest;
}

}  // namespace

ShowTimeline::ShowTimeline(std::vector<Page> pages, const ShowModel& model)
    : pages_(std::move(pages)),
      refresh_(model.refresh),
      blank_(model.blank),
      repeat_(model.repeat) {
  milliseconds start{0};
  bool endless = false;
  for (const Page& page : pages_) {
    starts_.push_back(start);
    usesSecond_ = usesSecond_ || page.second != nullptr;
    if (page.length) {
      start += *page.length;
    } else {
      endless = true;
    }
  }
  if (!endless) pass_ = start;
}

Moment ShowTimeline::At(milliseconds elapsed, const QDateTime& local) {
  Moment moment;
  if (pass_ && repeat_ > 0 && elapsed >= *pass_ * repeat_) {
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

  // Where in the pass, and on which page.
  const milliseconds inPass = pass_ && pass_->count() > 0 ? elapsed % *pass_ : elapsed;
  std::size_t index = 0;
  while (index + 1 < pages_.size() && starts_[index + 1] <= inPass) ++index;
  Page& page = pages_[index];
  const milliseconds into = inPass - starts_[index];

  moment.page = static_cast<int>(index);
  Drawn first = page.first->DotsAt(into, local);
  moment.first = first.dots;
  if (!first.problem.empty()) moment.problems.push_back(first.problem);
  bool clock = page.first->FollowsClock();
  moment.moving = page.first->Moving();
  if (page.second) {
    Drawn second = page.second->DotsAt(into, local);
    moment.second = second.dots;
    if (!second.problem.empty()) moment.problems.push_back(second.problem);
    clock = clock || page.second->FollowsClock();
    moment.moving = moment.moving || page.second->Moving();
  }
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
    pages.push_back(std::move(page));
  }
  return {std::make_unique<ShowTimeline>(std::move(pages), model), {}};
}

std::unique_ptr<ShowTimeline> MakeBlankTimeline(bool secondBoard) {
  std::vector<ShowTimeline::Page> pages(1);
  pages[0].first = MakeStill(BoardDots());
  if (secondBoard) pages[0].second = MakeStill(BoardDots());
  return std::make_unique<ShowTimeline>(std::move(pages), ShowModel());
}

ShowModel OnePageShow(const ContentModel& content) {
  ShowModel show;
  show.pages.push_back(PageModel{content, std::nullopt, std::nullopt});
  return show;
}

}  // namespace tablica::show
