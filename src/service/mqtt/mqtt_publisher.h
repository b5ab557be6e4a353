#pragma once

// What the board tells the broker, at a pace the broker and Home Assistant
// can take, on a thread of its own: the status after the frames written
// (at most once a second), and the board's picture when its dots changed
// (at most once every five seconds: a scrolling show changes them seven
// times a second). The newest of both always goes out in the end. Both are
// retained, so whoever subscribes later learns them at once. The picture
// goes out a second after its news at the earliest: drawing and encoding
// it must not take the processor from the frames that a fleet of boards
// on one machine writes at the same moment.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "board/board_dots.h"
#include "service/mqtt/mqtt_client.h"
#include "service/mqtt/mqtt_pacer.h"
#include "service/mqtt/mqtt_topics.h"

namespace tablica::service::mqtt {

inline constexpr std::chrono::seconds kStatusInterval{1};
inline constexpr std::chrono::seconds kImageInterval{5};
inline constexpr std::chrono::seconds kImageSettle{1};

struct PublisherSetup {
  BoardTopics topics;
  std::function<std::string()> status;               // the status JSON now
  std::function<BoardDots()> board;                  // the dots the board shows now
  std::function<std::string(const BoardDots&)> png;  // the dots drawn as a PNG picture
  std::function<bool(const MqttMessage&)> publish;
  Pacer::Clock::duration statusInterval = kStatusInterval;
  Pacer::Clock::duration imageInterval = kImageInterval;
  Pacer::Clock::duration imageSettle = kImageSettle;
};

class BoardPublisher {
 public:
  explicit BoardPublisher(PublisherSetup setup);
  ~BoardPublisher();
  BoardPublisher(const BoardPublisher&) = delete;
  BoardPublisher& operator=(const BoardPublisher&) = delete;

  // A frame was written (from the writing thread; returns at once).
  void FrameWritten();
  // The status changed without a frame (a refusal): paced as a frame.
  void StatusChanged() { FrameWritten(); }
  // The status and the picture now, whatever the pace (after a connect:
  // the broker may have lost what it held).
  void PublishNow();

 private:
  void Run(std::stop_token stop);
  void SendStatus();
  void SendImage(const BoardDots& dots);

  PublisherSetup setup_;
  std::mutex mutex_;
  std::condition_variable_any wake_;
  bool news_ = false;
  Pacer statusPacer_;
  Pacer imagePacer_;
  std::optional<BoardDots> lastImage_;
  std::jthread thread_;
};

}  // namespace tablica::service::mqtt
