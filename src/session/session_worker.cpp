#include "session/session_worker.h"

#include <exception>
#include <utility>

namespace tablica {

SessionWorker::SessionWorker(std::unique_ptr<BoardSession> session, ShowMessageFn onError)
    : session_(std::move(session)),
      onError_(std::move(onError)),
      thread_([this](std::stop_token workerStop) { Run(std::move(workerStop)); }) {}

SessionWorker::~SessionWorker() {
  CancelJobs();
  thread_.request_stop();
  thread_.join();
}

void SessionWorker::Post(Job job) {
  {
    const std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SessionWorker::PostSend(const BoardDots& first, std::optional<BoardDots> second,
                             std::function<void(const SendReport&)> done) {
  Post([first, second = std::move(second), done = std::move(done)](BoardSession& session,
                                                                   std::stop_token) {
    const SendReport report = session.Send(first, second ? &*second : nullptr);
    if (done) done(report);
  });
}

void SessionWorker::CancelJobs() {
  const std::lock_guard lock(mutex_);
  jobs_.clear();
  jobStop_.request_stop();
  jobStop_ = std::stop_source();
}

std::size_t SessionWorker::Pending() const {
  const std::lock_guard lock(mutex_);
  return jobs_.size() + (busy_ ? 1 : 0);
}

void SessionWorker::Run(std::stop_token workerStop) {
  for (;;) {
    Job job;
    std::stop_token jobStop;
    {
      std::unique_lock lock(mutex_);
      busy_ = false;
      if (!wake_.wait(lock, workerStop, [this] { return !jobs_.empty(); })) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
      jobStop = jobStop_.get_token();
      busy_ = true;
    }
    try {
      job(*session_, jobStop);
    } catch (const std::exception& error) {
      if (onError_) onError_(error.what());
    } catch (...) {
      if (onError_) onError_("?");
    }
  }
}

}  // namespace tablica
