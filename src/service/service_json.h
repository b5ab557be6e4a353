#pragma once

// What the service answers with: its status, the board's dots, one frame
// of the live board, a refusal (JSON, made with Qt's JSON classes), and
// the board drawn as a PNG picture.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "board/board_dots.h"
#include "service/board_service.h"

namespace tablica::service {

// A moment as ISO 8601 local time with its offset and milliseconds
// ("2026-12-08T23:40:01.123+01:00").
std::string IsoLocalTime(std::chrono::system_clock::time_point moment);

// {"port": 7, "name": ..., "showing": ..., "last_send": {"ok", "at",
// "message"} or null, "sends": N, "failed_sends": N, "version": ...}
std::string StatusJson(const ServiceStatus& status);

// {"width": 128, "height": 32, "rows": [32 strings of 128 '0'/'1']}
std::string BoardJson(const BoardDots& dots);

// One frame of the live board: {"rows": [...], "second": [...] (only with
// the board behind CAN), "at": ISO 8601, "ok": bool, "message": text or
// null}.
std::string FrameJson(const FrameEvent& frame);

// The board as the virtual board draws it, as PNG bytes (board.png, and
// the image MQTT publishes).
std::string BoardPng(const BoardDots& dots);

// {"queue": [{"id", "priority", "seconds_left" (whole seconds, rounded up;
// null when held), "showing"}]} in the order the messages will show.
std::string NoticesJson(const std::vector<show::NoticeState>& notices);

// {"ok": true, "id": "<id>"}
std::string NotifiedJson(const std::string& id);

// {"error": "<message>"}
std::string ErrorJson(const std::string& message);

// {"ok": true}
std::string OkJson();

}  // namespace tablica::service
