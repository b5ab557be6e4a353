#include "tools/play_tool.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <cstdio>

#include "common/stop_signals.h"
#include "picture/convert.h"
#include "session/board_session.h"
#include "show/board_output.h"
#include "show/show_file.h"
#include "show/show_player.h"
#include "show/show_preview.h"

namespace tablica::tools {

namespace {

constexpr int kExitPlayed = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A message with the local time it was said at, for an unattended board's log.
void SayWithTime(const std::string& text) {
  const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
  std::fprintf(stderr, "%s %s\n", now.toUtf8().constData(), text.c_str());
}

void Say(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}

std::vector<std::string> QtArguments() {
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());
  return args;
}

// The show, checked whole: every field, every picture, every text.
std::unique_ptr<show::ShowTimeline> LoadShow(const std::filesystem::path& file,
                                             const ShowMessageFn& say) {
  const show::ShowModelResult model = show::ReadShowFile(file);
  if (!model.show) {
    say(show::Sentence(model.error));
    return nullptr;
  }
  show::TimelineResult made = show::MakeTimeline(*model.show, QDateTime::currentDateTime());
  if (!made.timeline) say(show::Sentence(made.error));
  return std::move(made.timeline);
}

// Parses Qt's copy of the command line (UTF-8 on every system); says what
// is wrong itself. Unset when the program should end with `exitCode`.
std::optional<PlayCommand> Command(bool forPreview, int& exitCode) {
  const ParsedPlayCommand parsed = ParsePlayCommand(QtArguments(), forPreview);
  exitCode = kExitPlayed;
  if (parsed.help) {
    std::fputs(PlayUsage(forPreview).c_str(), stdout);
    return std::nullopt;
  }
  if (!parsed.command) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), PlayUsage(forPreview).c_str());
    exitCode = kExitUsage;
  }
  return parsed.command;
}

}  // namespace

ParsedPlayCommand ParsePlayCommand(const std::vector<std::string>& args, bool forPreview) {
  PlayCommand command;
  bool haveShow = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") return {std::nullopt, true, {}};
    const bool takesValue = arg == "--play" || (forPreview ? arg == "--preview" : arg == "--port");
    if (!takesValue) {
      return {std::nullopt, false,
              "Z --play " +
                  std::string(arg.starts_with("-") ? "nie działa opcja " : "zbędne słowo ") + arg +
                  "."};
    }
    if (i + 1 >= args.size()) return {std::nullopt, false, "Brak wartości po " + arg + "."};
    const std::string& value = args[++i];
    if (arg == "--play") {
      command.show = picture::PathFromUtf8(value);
      haveShow = true;
    } else if (arg == "--preview") {
      command.preview = picture::PathFromUtf8(value);
    } else {
      const PortArgument port = ReadPortArgument(value);
      if (!port.port) return {std::nullopt, false, port.error};
      command.port = port.port;
    }
  }
  if (!haveShow) return {std::nullopt, false, "Nie podano pliku pokazu (--play POKAZ.json)."};
  if (forPreview && !command.preview) {
    return {std::nullopt, false, "Podaj katalog na klatki: --preview KATALOG."};
  }
  return {command, false, {}};
}

std::string PlayUsage(bool forPreview) {
  if (forPreview) {
    return "Użycie: tablica-convert --play POKAZ.json --preview KATALOG\n"
           "\n"
           "Zapisuje klatki pierwszego przebiegu pokazu tak, jak dostałaby je tablica\n"
           "(38400 bodów), jako ponumerowane pliki PNG narysowane jak wirtualna tablica,\n"
           "oraz timing.txt z chwilą każdej klatki (sekundy od początku pokazu).\n"
           "Kod wyjścia 0: zapisano; 1: pokaz odrzucony albo błąd zapisu; 2: błędne opcje.\n";
  }
  return "Użycie: tablica-send --play POKAZ.json [--port N]\n"
         "\n"
         "Odtwarza pokaz na tablicy (strony, przewijany tekst, animacje, zegar) w tempie\n"
         "łącza, aż się skończy albo do Ctrl+C; rozpoczęta klatka zawsze jest wysyłana do\n"
         "końca. Cały pokaz jest sprawdzany, zanim wyjdzie pierwszy bajt.\n"
         "  --port N         port COM N zamiast portu z pliku ustaw.txt\n"
         "Gdy portu nie ma (odłączony adapter), pokaz czeka na jego powrót.\n"
         "Komunikaty (z godziną) idą na standardowe wyjście błędów.\n"
         "Kod wyjścia 0: pokaz skończony albo zatrzymany; 1: pokaz odrzucony albo\n"
         "ostatnia klatka nie doszła; 2: błędne opcje.\n";
}

int PlayShowFile(const std::filesystem::path& show, std::optional<std::uint8_t> port,
                 BoardSession& session, show::ShowClock& clock, std::stop_token stop,
                 const ShowMessageFn& say, const std::filesystem::path& settingsFile) {
  std::unique_ptr<show::ShowTimeline> timeline = LoadShow(show, say);
  if (!timeline) return kExitFailed;
  session.OpenFromSettings(settingsFile, port);
  if (session.NamedPort() == kNoPort) {
    // With no port chosen at all, the Send says so (and writes nothing).
    session.Send(BoardDots());
    return kExitFailed;
  }
  // A port that is not there yet (an adapter still out) is waited for, as
  // when it goes away later: the player's watch says so and opens it when
  // it comes; the show's time goes on meanwhile.
  show::ShowPlayer player(clock, show::PlayerOptions{true, say, std::chrono::milliseconds(1000),
                                                     std::chrono::milliseconds(30000)});
  player.Play(std::move(timeline), show::Showing::Show);
  show::SessionOutput output(session);
  player.Run(output, std::move(stop));
  // Ended or stopped while the port was away, the board did not get the
  // show's last frame.
  const show::PlayerStatus status = player.Status();
  return status.reached && (!status.last || status.last->ok) ? kExitPlayed : kExitFailed;
}

int RunPlaySend(int argc, char** argv) {
  const StopSignals stop;  // before the toolkit starts any thread
  picture::PrepareHeadlessGui();
  picture::QuietDecodersOnStandardError();
  QGuiApplication app(argc, argv);
  int exitCode = kExitPlayed;
  const std::optional<PlayCommand> command = Command(false, exitCode);
  if (!command) return exitCode;
  const std::unique_ptr<BoardSession> session = BoardSession::Native(SayWithTime);
  show::SystemClock clock;
  return PlayShowFile(command->show, command->port, *session, clock, stop.Token(), SayWithTime);
}

int RunPlayPreview() {
  int exitCode = kExitPlayed;
  const std::optional<PlayCommand> command = Command(true, exitCode);
  if (!command) return exitCode;
  std::unique_ptr<show::ShowTimeline> timeline = LoadShow(command->show, Say);
  if (!timeline) return kExitFailed;
  const show::PreviewResult written =
      show::WriteShowPreview(std::move(timeline), *command->preview, QDateTime::currentDateTime());
  if (!written.error.empty()) {
    Say(written.error);
    return kExitFailed;
  }
  return kExitPlayed;
}

}  // namespace tablica::tools
