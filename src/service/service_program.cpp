#include "service/service_program.h"

#include <QGuiApplication>
#include <QSysInfo>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "common/console_output.h"
#include "common/stop_signals.h"
#include "picture/convert.h"
#include "service/access_token.h"
#include "service/board_service.h"
#include "service/http_api.h"
#include "service/mqtt_bridge.h"
#include "service/service_log.h"
#include "service/service_options.h"

#ifndef TABLICA_VERSION
#define TABLICA_VERSION "0"
#endif

namespace tablica::service {

namespace {

// The board's name: --name, or the host name up to its first dot.
std::string BoardName(const ServiceOptions& options, std::string& error) {
  if (options.name) return *options.name;
  std::string host = QSysInfo::machineHostName().toStdString();
  host = host.substr(0, host.find('.'));
  // Only MQTT topics need a topic-safe name.
  if (options.mqtt && !CheckBoardName(host).empty()) {
    error = "Nazwa komputera „" + host +
            "” nie nadaje się na nazwę tablicy w tematach MQTT (tylko litery łacińskie, cyfry, "
            "„-” i „_”); podaj nazwę opcją --name.";
  }
  return host;
}

// The page's address; `anywhere` names the host when the service listens
// on every interface.
std::string PageAddress(const HostPort& listen, int port, const std::string& anywhere) {
  const bool ipv6 = listen.host.find(':') != std::string::npos;
  std::string host = listen.host == "0.0.0.0" || listen.host == "::" ? anywhere
                     : ipv6                                          ? "[" + listen.host + "]"
                                                                     : listen.host;
  return "http://" + host + ":" + std::to_string(port) + "/";
}

struct Prepared {
  ServiceOptions options;
  std::string name;
  std::optional<std::string> token;
};

// The command line and what it names, checked before anything starts.
std::optional<Prepared> Prepare(const std::vector<std::string>& args, int& exitCode) {
  exitCode = kExitUsage;
  // The service's unit passes the port setting as it is: an empty one (the
  // settings not filled in yet) is said in one line, not with the usage.
  for (std::size_t i = 0; i + 1 < args.size(); ++i) {
    if (args[i] == "--port" && args[i + 1].empty()) {
      std::fputs(
          "Nie podano portu tablicy: wpisz numer portu COM w TABLICA_PORT "
          "(/etc/default/tablica-serwer) albo podaj --port N.\n",
          stderr);
      return std::nullopt;
    }
  }
  const ParsedServiceOptions parsed = ParseServiceOptions(args);
  if (parsed.help) {
    std::fputs(ServiceUsage().c_str(), stdout);
    exitCode = kExitDone;
    return std::nullopt;
  }
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), ServiceUsage().c_str());
    return std::nullopt;
  }
  Prepared prepared{*parsed.options, {}, std::nullopt};
  std::string error;
  prepared.name = BoardName(prepared.options, error);
  if (prepared.options.tokenFile && error.empty()) {
    TokenResult token = ReadTokenFile(*prepared.options.tokenFile);
    prepared.token = token.token;
    error = token.error;
  }
  if (error.empty()) {
    error = CheckListenNeedsToken(prepared.options.listen.host, prepared.token.has_value());
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return std::nullopt;
  }
  return prepared;
}

}  // namespace

int RunServiceProgram(int argc, char** argv) {
  PrepareConsoleOutput();
  StopSignals stop;  // before any thread starts
  picture::PrepareHeadlessGui();
  QGuiApplication app(argc, argv);
  std::vector<std::string> args;
  const QStringList words = QCoreApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) args.push_back(words[i].toStdString());
  int exitCode = kExitUsage;
  const std::optional<Prepared> prepared = Prepare(args, exitCode);
  if (!prepared) return exitCode;
  const ServiceOptions& options = prepared->options;

  ServiceLog log;
  log.Line("tablica-serwer " TABLICA_VERSION ", tablica „" + prepared->name + "”.");
  auto session = BoardSession::Native(log.Fn());
  session->OpenFromSettings(kSettingsFileName, options.port);
  // A port that is not there yet (an adapter still out) is waited for: the
  // service takes content meanwhile and writes it when the port comes.
  const std::uint8_t port = session->NamedPort();
  log.Line(port == kNoPort
               ? std::string("Nie wybrano portu tablicy: ramki nie dotrą do tablicy.")
               : "Tablica na porcie COM" +
                     std::to_string(ShownPortNumber(port, session->Settings().wholePortNumber)) +
                     (session->PortNumber() == kNoPort ? " (jeszcze go nie ma)." : "."));
  BoardService service(std::move(session), {prepared->name, TABLICA_VERSION, log.Fn()});
  // Qt reads its fonts when the first text is drawn, once for each size
  // and each script (letters apart from digits): done now for one line and
  // two, so that the first text a fleet's boards get at once does not wait
  // for it (a second on a busy machine).
  service.TextContent({"Aą 0"});
  service.TextContent({"Aą 0", "Aą 0"});

  HttpSetup http;
  http.token = prepared->token;
  http.site = MakeSiteRules(options.listen.host, QSysInfo::machineHostName().toStdString(),
                            options.hostNames, options.allowOrigin);
  http.maxUpload = options.maxUpload;
  http.log = log.Fn();
  HttpApi api(service, http);
  if (std::string error = api.Bind(options.listen.host, options.listen.port); !error.empty()) {
    log.Line(error);
    return kExitFailed;
  }
  std::unique_ptr<MqttBridge> mqtt;
  if (options.mqtt) {
    MqttOptions mqttOptions = *options.mqtt;
    mqttOptions.pageUrl = options.url.value_or(
        PageAddress(options.listen, api.BoundPort(), QSysInfo::machineHostName().toStdString()));
    MqttStart started = StartMqtt(service, mqttOptions, prepared->name, log.Fn());
    if (!started.bridge) {
      log.Line(started.error);
      return kExitFailed;
    }
    mqtt = std::move(started.bridge);
  }
  log.Line("Strona tablicy: " + PageAddress(options.listen, api.BoundPort(), "ADRES-KOMPUTERA") +
           (prepared->token ? " (API wymaga żetonu)." : ""));
  std::atomic<bool> ending = false;
  std::atomic<bool> serverFailed = false;
  std::thread serving([&api, &stop, &ending, &serverFailed] {
    api.Serve();
    if (ending) return;
    // The server ended on its own: the service stops, and says it failed,
    // so that whatever runs it (systemd) may start it again.
    serverFailed = true;
    stop.Request();
  });
  stop.Wait();
  ending = true;
  log.Line("Kończę pracę po ramce, która jest w drodze.");
  mqtt.reset();
  api.Stop();
  serving.join();
  return serverFailed ? kExitFailed : kExitDone;
}

}  // namespace tablica::service
