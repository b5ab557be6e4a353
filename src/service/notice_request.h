#pragma once

// What a notification asks of the queue besides its content: its id,
// priority and length (or that it is held until cancelled), from the
// address (?seconds=&priority=&id=&hold=), from the JSON body's own fields,
// or from an MQTT payload. Checked here, before the content is drawn.

#include <chrono>
#include <optional>
#include <string>

#include "service/board_service.h"
#include "service/request_content.h"

namespace tablica::service {

struct NoticeFields {
  std::optional<std::string> id;
  std::optional<int> priority;
  std::optional<bool> hold;
  std::optional<std::chrono::milliseconds> seconds;  // from the address only
};

struct NoticeFieldsResult {
  NoticeFields fields;
  std::string error;  // Polish
};

// id, priority, hold and seconds of the address.
NoticeFieldsResult NoticeFieldsOfQuery(const QueryParams& params);

// Takes "id", "priority" and "hold" out of a JSON object (a page or a
// show), so that what is left is the content alone ("seconds" of a page
// stays in it). Anything that is not a JSON object is left as it is, for
// the content's reader to refuse.
NoticeFieldsResult TakeNoticeFields(std::string& json);

struct NoticeOptionsResult {
  std::optional<NoticeOptions> options;
  std::string error;  // Polish
};

// The address wins over the body; the content's own "seconds" comes last.
// Exactly one of a length and hold must be there.
NoticeOptionsResult NoticeOptionsOf(const NoticeFields& query, const NoticeFields& body,
                                    std::optional<std::chrono::milliseconds> contentSeconds);

// An id a caller may give: 1 to 64 letters, digits, '-', '_' or '.'
// (it travels in addresses and topics).
bool IsNoticeId(std::string_view id);

}  // namespace tablica::service
