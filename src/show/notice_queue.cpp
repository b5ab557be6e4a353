#include "show/notice_queue.h"

#include <algorithm>

namespace tablica::show {

using std::chrono::milliseconds;

std::optional<std::string> NoticeQueue::Add(NoticeRequest request, SteadyTime now) {
  Settle(now);
  auto entry = request.id.empty() ? entries_.end() : Named(request.id);
  if (entry == entries_.end()) {
    if (entries_.size() >= kMostNotices) return std::nullopt;
    while (request.id.empty() || Named(request.id) != entries_.end()) {
      request.id = "n-" + std::to_string(nextMade_++);
    }
    entry = entries_.insert(entries_.end(), Entry{});
    entry->turn = nextTurn_++;
  }
  entry->id = std::move(request.id);
  entry->priority = std::clamp(request.priority, kLowestPriority, kHighestPriority);
  entry->length.reset();
  if (request.length) entry->length = *request.length;
  entry->content = std::move(request.content);
  entry->shown = Span::zero();
  entry->serial = nextSerial_++;
  return entry->id;
}

bool NoticeQueue::Cancel(std::string_view id, SteadyTime now) {
  Settle(now);
  const auto entry = Named(id);
  if (entry == entries_.end()) return false;
  entries_.erase(entry);
  return true;
}

std::size_t NoticeQueue::CancelAll(SteadyTime now) {
  Settle(now);
  const std::size_t count = entries_.size();
  // Swapped out, so the memory of a long queue goes with it.
  std::vector<Entry>().swap(entries_);
  return count;
}

void NoticeQueue::Finish(std::uint64_t serial, SteadyTime now) {
  Settle(now);
  std::erase_if(entries_, [serial](const Entry& entry) { return entry.serial == serial; });
}

void NoticeQueue::Pause(SteadyTime now) {
  Settle(now);
  paused_ = true;
}

void NoticeQueue::Resume(SteadyTime now) {
  Settle(now);
  paused_ = false;
}

std::optional<CurrentNotice> NoticeQueue::Current(SteadyTime now) {
  Settle(now);
  if (paused_) return std::nullopt;
  const auto entry = Chosen();
  if (entry == entries_.end()) return std::nullopt;
  const SteadyTime end = entry->length ? now + (*entry->length - entry->shown) : SteadyTime::max();
  return CurrentNotice{entry->content, now - entry->shown, end, entry->serial};
}

std::vector<NoticeState> NoticeQueue::List(SteadyTime now) {
  Settle(now);
  const auto chosen = paused_ ? entries_.end() : Chosen();
  std::vector<const Entry*> order;
  order.reserve(entries_.size());
  for (const Entry& entry : entries_) order.push_back(&entry);
  std::ranges::sort(order, [](const Entry* a, const Entry* b) {
    return a->priority != b->priority ? a->priority > b->priority : a->turn < b->turn;
  });
  std::vector<NoticeState> states;
  states.reserve(order.size());
  for (const Entry* entry : order) {
    NoticeState state{entry->id, entry->priority, std::nullopt,
                      chosen != entries_.end() && &*chosen == entry};
    if (entry->length) {
      state.left = std::chrono::ceil<milliseconds>(*entry->length - entry->shown);
    }
    states.push_back(std::move(state));
  }
  return states;
}

void NoticeQueue::Settle(SteadyTime now) {
  if (now < since_) now = since_;
  while (!paused_) {
    const auto entry = Chosen();
    if (entry == entries_.end()) break;
    const Span passed = now - since_;
    if (!entry->length || entry->shown + passed < *entry->length) {
      entry->shown += passed;
      break;
    }
    since_ += *entry->length - entry->shown;
    entries_.erase(entry);
  }
  since_ = now;
  if (entries_.empty() && entries_.capacity() > 64) std::vector<Entry>().swap(entries_);
}

std::vector<NoticeQueue::Entry>::iterator NoticeQueue::Chosen() {
  return std::ranges::min_element(entries_, [](const Entry& a, const Entry& b) {
    return a.priority != b.priority ? a.priority > b.priority : a.turn < b.turn;
  });
}

std::vector<NoticeQueue::Entry>::iterator NoticeQueue::Named(std::string_view id) {
  return std::ranges::find(entries_, id, &Entry::id);
}

}  // namespace tablica::show
