#pragma once

// A scripted stand-in for the serial platform: records every call the link
// makes and plays back the results a test queued, so every road through the
// link runs without hardware and without waiting.

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "serial/serial_platform.h"

namespace tablica::testing {

class FakeSerialPlatform : public SerialPlatform {
 public:
  // --- scripting ---
  // Device names that fail to open (missing or held by someone else).
  std::set<std::string> failingOpens;
  // Device names whose device is not there (an adapter pulled out): they
  // fail to open and are not present.
  std::set<std::string> absentDevices;
  // Device names whose open ports are hung up (their device went away).
  std::set<std::string> hungUpDevices;
  // Device names whose driver refuses the line parameters.
  std::set<std::string> refusedConfigurations;
  // Outcomes of the next Write calls, in order. With the queue empty a write
  // completes in full.
  std::deque<WriteOutcome> writeScript;
  // Results of the next ClearErrors calls; with none queued, the line is clear.
  std::deque<LineState> lineScript;
  // How long each Write call takes on the fake clock.
  std::chrono::milliseconds writeDuration{0};
  // Results of the next Drain calls, in order; with none queued the line
  // has drained by the time it is asked.
  std::deque<bool> drainScript;
  // How long each Drain call takes on the fake clock (never past its limit).
  std::chrono::milliseconds drainDuration{0};

  // Queues a write that sends `written` bytes and returns success (a
  // time-out ending the attempt early).
  void QueuePartialWrite(std::uint32_t written);
  // Queues a failed write with the given kind.
  void QueueFailedWrite(WriteFailure failure, std::uint32_t written = 0);

  // --- records ---
  // One line per platform call, e.g. "open COM7", "timeouts 20/20",
  // "configure 38400", "write 517", "clear", "drain 300", "sleep 1",
  // "close COM7".
  std::vector<std::string> calls;
  // Every write call: the bytes it was asked to send.
  std::vector<std::vector<std::uint8_t>> writeRequests;
  // The bytes that actually went out, in order (what a peer would receive).
  std::vector<std::uint8_t> wire;
  // Time-outs set before each write (and at open).
  std::vector<CommTimeouts> timeouts;
  // Settings each successful configure received.
  std::vector<CommSettings> configurations;
  // The limit of every Drain call, in order (also in `calls` as "drain 300").
  std::vector<std::chrono::milliseconds> drains;
  int openPorts = 0;  // ports open right now
  int sleeps = 0;
  int clears = 0;

  std::chrono::steady_clock::time_point clock{};

  // Lines of `calls` that begin with `prefix`.
  int CountCalls(const std::string& prefix) const;

  // --- SerialPlatform ---
  std::unique_ptr<PortDevice> Open(const std::string& deviceName) override;
  bool DevicePresent(const std::string& deviceName) override {
    return absentDevices.count(deviceName) == 0;
  }
  void Sleep(std::uint32_t milliseconds) override;
  std::chrono::steady_clock::time_point Now() override { return clock; }
};

}  // namespace tablica::testing
