#include "service/service_json.h"

#include <QBuffer>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "picture/convert.h"

namespace tablica::service {

namespace {

QJsonArray Rows(const BoardDots& dots) {
  QJsonArray rows;
  for (int y = 0; y < kBoardHeight; ++y) {
    QByteArray row(kBoardWidth, '0');
    for (int x = 0; x < kBoardWidth; ++x) {
      if (dots.IsLit(x, y)) row[x] = '1';
    }
    rows.append(QString::fromLatin1(row));
  }
  return rows;
}

QJsonValue TextOrNull(const std::string& text) {
  return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

std::string Compact(const QJsonObject& object) {
  return QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
}

}  // namespace

std::string IsoLocalTime(std::chrono::system_clock::time_point moment) {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()).count();
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
  return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

std::string StatusJson(const ServiceStatus& status) {
  QJsonObject object;
  object["port"] = status.port ? QJsonValue(*status.port) : QJsonValue(QJsonValue::Null);
  object["name"] = QString::fromStdString(status.name);
  object["connected"] = status.connected;
  object["connected_since"] = QString::fromStdString(IsoLocalTime(status.connectedSince));
  object["showing"] = QString::fromStdString(status.showing);
  QJsonArray text;
  for (const std::string& line : status.text) text.append(QString::fromStdString(line));
  object["text"] = text;
  if (status.lastSend) {
    object["last_send"] = QJsonObject{
        {"ok", status.lastSend->ok},
        {"at", QString::fromStdString(IsoLocalTime(status.lastSend->at))},
        {"message", TextOrNull(status.lastSend->message)},
    };
  } else {
    object["last_send"] = QJsonValue(QJsonValue::Null);
  }
  object["refused"] = status.refused
                          ? QJsonValue(QJsonObject{
                                {"at", QString::fromStdString(IsoLocalTime(status.refused->at))},
                                {"message", QString::fromStdString(status.refused->message)},
                            })
                          : QJsonValue(QJsonValue::Null);
  object["notice"] = TextOrNull(status.notice);
  object["sends"] = static_cast<qint64>(status.sends);
  object["failed_sends"] = static_cast<qint64>(status.failedSends);
  object["version"] = QString::fromStdString(status.version);
  QJsonArray sources;
  for (const LiveSourceStatus& source : status.sources) {
    sources.append(QJsonObject{
        {"name", QString::fromStdString(source.name)},
        {"age",
         source.age ? QJsonValue(static_cast<qint64>(*source.age)) : QJsonValue(QJsonValue::Null)},
        {"fault", TextOrNull(source.fault)},
    });
  }
  object["sources"] = sources;
  return Compact(object);
}

std::string BoardJson(const BoardDots& dots) {
  return Compact(
      QJsonObject{{"width", kBoardWidth}, {"height", kBoardHeight}, {"rows", Rows(dots)}});
}

std::string FrameJson(const FrameEvent& frame) {
  QJsonObject object{
      {"rows", Rows(frame.first)},
      {"at", QString::fromStdString(IsoLocalTime(frame.at))},
      {"ok", frame.ok},
      {"message", TextOrNull(frame.message)},
  };
  if (frame.second) object["second"] = Rows(*frame.second);
  return Compact(object);
}

std::string BoardPng(const BoardDots& dots) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture::DrawPreview(dots).save(&buffer, "PNG");
  return png.toStdString();
}

std::string ErrorJson(const std::string& message) {
  return Compact(QJsonObject{{"error", QString::fromStdString(message)}});
}

std::string NoticesJson(const std::vector<show::NoticeState>& notices) {
  QJsonArray queue;
  for (const show::NoticeState& notice : notices) {
    QJsonValue left(QJsonValue::Null);
    if (notice.left) left = static_cast<double>((notice.left->count() + 999) / 1000);
    queue.append(QJsonObject{{"id", QString::fromStdString(notice.id)},
                             {"priority", notice.priority},
                             {"seconds_left", left},
                             {"showing", notice.showing}});
  }
  return Compact(QJsonObject{{"queue", queue}});
}

std::string NotifiedJson(const std::string& id) {
  return Compact(QJsonObject{{"ok", true}, {"id", QString::fromStdString(id)}});
}

std::string OkJson() {
  return R"({"ok":true})";
}

}  // namespace tablica::service
