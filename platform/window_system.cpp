#include "platform/window_system.h"

#include <unistd.h>

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace corvel {
namespace {

struct Held {
  QtMsgType type;
  std::string category;
  QString message;
};

struct GuardState {
  std::mutex mutex;
  std::string program;
  QtMessageHandler previous = nullptr;
  std::vector<Held> held;  // Qt's platform messages, until it is known whether it starts
};

GuardState& State() {
  static GuardState state;
  return state;
}

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Why no platform plugin started: Qt's first word on it is the cause ("could not connect
// to display :1"), the later ones its consequences.
std::string Cause(const std::vector<Held>& held) {
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM"))
    return "no display (DISPLAY is not set); start it in a desktop session";
  for (const Held& message : held) {
    const QString text = message.message.trimmed();
    if (!text.isEmpty() && !text.contains("Reinstalling")) return text.toStdString();
  }
  return "no display could be used";
}

void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  GuardState& state = State();
  const std::string category = context.category ? context.category : "";
  if (type == QtFatalMsg && message.contains("no Qt platform plugin could be initialized")) {
    std::string cause;
    {
      std::lock_guard lock(state.mutex);
      cause = Cause(state.held);
    }
    std::fprintf(stderr, "%s: cannot open a window: %s\n", state.program.c_str(), cause.c_str());
    std::fflush(stderr);
    ::_exit(1);
  }
  if (category.rfind("qt.qpa", 0) == 0) {
    std::lock_guard lock(state.mutex);
    state.held.push_back({type, category, message});
    return;
  }
  if (state.previous) state.previous(type, context, message);
}

}  // namespace

WindowSystemGuard::WindowSystemGuard(std::string program) {
  GuardState& state = State();
  std::lock_guard lock(state.mutex);
  state.program = std::move(program);
  state.held.clear();
  state.previous = qInstallMessageHandler(Handle);
}

void WindowSystemGuard::Started() {
  if (!active_) return;
  active_ = false;
  GuardState& state = State();
  std::vector<Held> held;
  {
    std::lock_guard lock(state.mutex);
    qInstallMessageHandler(state.previous);
    held.swap(state.held);
  }
  for (const Held& message : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, message.category.c_str());
    qt_message_output(message.type, context, message.message);
  }
}

WindowSystemGuard::~WindowSystemGuard() {
  Started();
}

}  // namespace corvel
