#pragma once

// The fake serial platform behind a gate: every write notes the thread it
// came from, and a test can hold a write of its choice at the gate (the
// frame in flight on a stuck line) while it looks at the window, then let
// it through. With no write held it only passes everything on.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_serial_platform.h"

namespace tablica::obraz_testing {

class GatedPlatform final : public SerialPlatform {
 public:
  explicit GatedPlatform(testing::FakeSerialPlatform& fake) : fake_(fake) {}

  // Holds the `n`-th write from now on (1: the next one) until Release.
  void HoldWrite(int n) {
    const std::lock_guard lock(mutex_);
    writesBeforeHold_ = n - 1;
    holding_ = true;
  }
  void Release() {
    {
      const std::lock_guard lock(mutex_);
      holding_ = false;
    }
    changed_.notify_all();
  }
  // Whether a write waits at the gate now.
  bool Held() const {
    const std::lock_guard lock(mutex_);
    return waiting_;
  }
  // The thread of every write so far, in order.
  std::vector<std::thread::id> Writers() const {
    const std::lock_guard lock(mutex_);
    return writers_;
  }

  std::unique_ptr<PortDevice> Open(const std::string& deviceName) override {
    std::unique_ptr<PortDevice> device = fake_.Open(deviceName);
    if (!device) return nullptr;
    return std::make_unique<Port>(*this, std::move(device));
  }
  void Sleep(std::uint32_t milliseconds) override { fake_.Sleep(milliseconds); }
  std::chrono::steady_clock::time_point Now() override { return fake_.Now(); }

 private:
  class Port final : public PortDevice {
   public:
    Port(GatedPlatform& gate, std::unique_ptr<PortDevice> device)
        : gate_(gate), device_(std::move(device)) {}
    void SetTimeouts(const CommTimeouts& timeouts) override { device_->SetTimeouts(timeouts); }
    bool Configure(const CommSettings& settings) override { return device_->Configure(settings); }
    WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) override {
      gate_.Pass();
      return device_->Write(data, count);
    }
    LineState ClearErrors() override { return device_->ClearErrors(); }
    bool Drain(std::chrono::milliseconds limit) override { return device_->Drain(limit); }

   private:
    GatedPlatform& gate_;
    std::unique_ptr<PortDevice> device_;
  };

  void Pass() {
    std::unique_lock lock(mutex_);
    writers_.push_back(std::this_thread::get_id());
    if (!holding_) return;
    if (writesBeforeHold_-- > 0) return;
    waiting_ = true;
    changed_.wait(lock, [this] { return !holding_; });
    waiting_ = false;
  }

  testing::FakeSerialPlatform& fake_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool holding_ = false;
  int writesBeforeHold_ = 0;
  bool waiting_ = false;
  std::vector<std::thread::id> writers_;
};

}  // namespace tablica::obraz_testing
