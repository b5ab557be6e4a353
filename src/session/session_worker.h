#pragma once

// A board session on a thread of its own, for front ends that must go on
// answering while a Send waits on a slow or stuck line (up to 30 s): a
// window playing a show, the network service. The worker owns the session;
// jobs run on its thread one after another, in the order they were posted,
// and report back through the callbacks they carry, on the worker's thread.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "session/board_session.h"

namespace tablica {

class SessionWorker {
 public:
  // A job gets the session and a token that says when it should end early
  // (a long job, such as a show, looks at it between frames).
  using Job = std::function<void(BoardSession& session, std::stop_token stop)>;

  // `onError` hears what an exception escaping a job said (the worker goes
  // on with the next job).
  explicit SessionWorker(std::unique_ptr<BoardSession> session, ShowMessageFn onError = {});
  // Stops the jobs (the one in flight ends at its next look at its token)
  // and waits for the thread.
  ~SessionWorker();
  SessionWorker(const SessionWorker&) = delete;
  SessionWorker& operator=(const SessionWorker&) = delete;

  void Post(Job job);
  // A Send of the board's dots (and the second board's, when given);
  // `done` hears how it went.
  void PostSend(const BoardDots& first, std::optional<BoardDots> second,
                std::function<void(const SendReport&)> done);
  // Asks the job in flight to end early and drops the jobs still waiting;
  // jobs posted afterwards run as usual.
  void CancelJobs();
  // Jobs posted and not yet finished, the one in flight included.
  std::size_t Pending() const;

 private:
  void Run(std::stop_token workerStop);

  std::unique_ptr<BoardSession> session_;
  ShowMessageFn onError_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::deque<Job> jobs_;
  bool busy_ = false;
  std::stop_source jobStop_;  // replaced after each CancelJobs
  std::jthread thread_;       // last: started once everything above exists
};

}  // namespace tablica
