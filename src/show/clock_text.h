#pragma once

// Text that tells the time: "{time:HH:mm}" and "{date:d MMMM}" are filled
// with the local time in Qt's date and time formats, in Polish ("1 maja").

#include <QDateTime>
#include <string>
#include <vector>

namespace tablica::show {

// Whether `text` holds a {time:…} or {date:…} to fill.
bool HasClock(const std::string& text);
bool HasClock(const std::vector<std::string>& lines);

// `text` with every {time:FORMAT} and {date:FORMAT} filled from `local`;
// an empty format gives "HH:mm" and "d.MM.yyyy". A brace that opens no
// such field stays as it is.
std::string FillClock(const std::string& text, const QDateTime& local);
std::vector<std::string> FillClock(const std::vector<std::string>& lines, const QDateTime& local);

}  // namespace tablica::show
