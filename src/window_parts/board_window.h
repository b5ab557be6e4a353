#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include <QWidget>

#include "common/show_message.h"
#include "serial/comm_settings.h"
#include "window_parts/guarded_call.h"

namespace tablica {

class BoardSession;

// What a window that sends to the board works with but does not own. All
// of it outlives the window; tests hand in fakes.
struct BoardWindowServices {
  BoardSession& session;      // the settings, the one port, the Send
  ShowMessageFn showMessage;  // the program's own messages
  ShowMessageFn showError;    // an exception that escaped a command
  std::filesystem::path settingsFile = kSettingsFileName;
};

// What every window that sends to the board shares. Its commands run
// guarded: an exception that escapes one is shown and the window goes on.
// Its first showing runs the window's own first step (opening the port
// named in the settings file) before the window appears, so a message
// about the port comes before the window does.
class BoardWindow : public QWidget {
  Q_OBJECT

 public:
  void setVisible(bool visible) override;

 protected:
  explicit BoardWindow(BoardWindowServices services, QWidget* parent = nullptr);

  // Runs once, unguarded, when the window is first about to appear.
  virtual void FirstShowing() = 0;
  // Whether the session is another thread's now (a show plays on it).
  virtual bool SessionBusy() const { return false; }

  const BoardWindowServices& Services() const { return services_; }
  BoardSession& Session() const { return services_.session; }
  void ShowMessage(const std::string& text) const { services_.showMessage(text); }

  template <class Command>
  void Guarded(Command&& command) const {
    GuardedCall(services_.showError, std::forward<Command>(command));
  }
  // A slot that runs `command`, a member of the window without arguments,
  // guarded.
  template <class Window>
  auto GuardedSlot(void (Window::*command)()) {
    return [this, command] { Guarded([&] { (static_cast<Window*>(this)->*command)(); }); };
  }

 private:
  BoardWindowServices services_;
  bool shown_ = false;
};

}  // namespace tablica
