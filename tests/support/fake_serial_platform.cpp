#include "fake_serial_platform.h"

#include <algorithm>

namespace tablica::testing {

namespace {

class FakePort : public PortDevice {
 public:
  FakePort(FakeSerialPlatform& platform, std::string name)
      : platform_(platform), name_(std::move(name)) {
    ++platform_.openPorts;
  }
  ~FakePort() override {
    --platform_.openPorts;
    platform_.calls.push_back("close " + name_);
  }

  void SetTimeouts(const CommTimeouts& t) override {
    platform_.timeouts.push_back(t);
    platform_.calls.push_back("timeouts " + std::to_string(t.writeTotalTimeoutMultiplier) + "/" +
                              std::to_string(t.writeTotalTimeoutConstant));
  }

  bool Configure(const CommSettings& settings) override {
    platform_.calls.push_back("configure " + std::to_string(settings.baudRate));
    if (platform_.refusedConfigurations.count(name_)) return false;
    platform_.configurations.push_back(settings);
    return true;
  }

  WriteOutcome Write(const std::uint8_t* data, std::uint32_t count) override {
    platform_.calls.push_back("write " + std::to_string(count));
    platform_.writeRequests.emplace_back(data, data + count);
    platform_.clock += platform_.writeDuration;
    WriteOutcome outcome{true, count, WriteFailure::None, 0};
    if (!platform_.writeScript.empty()) {
      outcome = platform_.writeScript.front();
      platform_.writeScript.pop_front();
      outcome.written = std::min(outcome.written, count);
    }
    platform_.wire.insert(platform_.wire.end(), data, data + outcome.written);
    return outcome;
  }

  bool HungUp() override { return platform_.hungUpDevices.count(name_) != 0; }

  LineState ClearErrors() override {
    ++platform_.clears;
    platform_.calls.push_back("clear");
    if (platform_.lineScript.empty()) return {};
    LineState state = platform_.lineScript.front();
    platform_.lineScript.pop_front();
    return state;
  }

  bool Drain(std::chrono::milliseconds limit) override {
    platform_.calls.push_back("drain " + std::to_string(limit.count()));
    platform_.drains.push_back(limit);
    platform_.clock += std::min(platform_.drainDuration, limit);
    if (platform_.drainScript.empty()) return true;
    const bool drained = platform_.drainScript.front();
    platform_.drainScript.pop_front();
    return drained;
  }

 private:
  FakeSerialPlatform& platform_;
  std::string name_;
};

}  // namespace

void FakeSerialPlatform::QueuePartialWrite(std::uint32_t written) {
  writeScript.push_back({true, written, WriteFailure::None, 0});
}

void FakeSerialPlatform::QueueFailedWrite(WriteFailure failure, std::uint32_t written) {
  writeScript.push_back({false, written, failure, failure == WriteFailure::AccessDenied ? 5 : 31});
}

int FakeSerialPlatform::CountCalls(const std::string& prefix) const {
  return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
    return c.compare(0, prefix.size(), prefix) == 0;
  }));
}

std::unique_ptr<PortDevice> FakeSerialPlatform::Open(const std::string& deviceName) {
  calls.push_back("open " + deviceName);
  if (failingOpens.count(deviceName) || absentDevices.count(deviceName)) return nullptr;
  return std::make_unique<FakePort>(*this, deviceName);
}

void FakeSerialPlatform::Sleep(std::uint32_t milliseconds) {
  ++sleeps;
  calls.push_back("sleep " + std::to_string(milliseconds));
  clock += std::chrono::milliseconds(milliseconds);
}

}  // namespace tablica::testing
