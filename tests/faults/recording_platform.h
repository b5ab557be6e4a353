#pragma once

// The native serial platform with a record of every write attempt the link
// makes through it, so a test against a real pseudo-terminal can tell a
// write that stalled part-way from one that went out at once.

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace tablica::faults {

struct AttemptRecord {
  std::uint32_t requested = 0;
  WriteOutcome outcome;
};

class RecordingPlatform : public SerialPlatform {
 public:
  RecordingPlatform() : native_(MakeNativeSerialPlatform()) {}

  std::unique_ptr<PortDevice> Open(const std::string& deviceName) override {
    auto device = native_->Open(deviceName);
    std::lock_guard lock(mutex_);
    opens_.push_back(deviceName + (device ? "" : " failed"));
    if (!device) return nullptr;
    return std::make_unique<RecordingPort>(std::move(device), *this);
  }
  void Sleep(std::uint32_t milliseconds) override { native_->Sleep(milliseconds); }
  std::chrono::steady_clock::time_point Now() override { return native_->Now(); }

  std::vector<AttemptRecord> Attempts() const {
    std::lock_guard lock(mutex_);
    return attempts_;
  }
  std::vector<std::string> Opens() const {
    std::lock_guard lock(mutex_);
    return opens_;
  }
  // Waits until `count` write attempts have begun, or have ended; false when
  // `timeout` passes first.
  bool WaitForStartedAttempts(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return started_ >= count; });
  }
  bool WaitForEndedAttempts(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return attempts_.size() >= count; });
  }
  void Forget() {
    std::lock_guard lock(mutex_);
    attempts_.clear();
    opens_.clear();
    started_ = 0;
  }

 private:
  class RecordingPort : public PortDevice {
   public:
    RecordingPort(std::unique_ptr<PortDevice> inner, RecordingPlatform& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    void SetTimeouts(const CommTimeouts& timeouts) override { inner_->SetTimeouts(timeouts); }
    bool Configure(const CommSettings& settings) override { return inner_->Configure(settings); }
    WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) override {
      {
        std::lock_guard lock(owner_.mutex_);
        ++owner_.started_;
      }
      owner_.changed_.notify_all();
      const WriteOutcome outcome = inner_->Write(data, count);
      {
        std::lock_guard lock(owner_.mutex_);
        owner_.attempts_.push_back({count, outcome});
      }
      owner_.changed_.notify_all();
      return outcome;
    }
    LineState ClearErrors() override { return inner_->ClearErrors(); }

   private:
    std::unique_ptr<PortDevice> inner_;
    RecordingPlatform& owner_;
  };

  std::unique_ptr<SerialPlatform> native_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t started_ = 0;
  std::vector<AttemptRecord> attempts_;
  std::vector<std::string> opens_;
};

}  // namespace tablica::faults
