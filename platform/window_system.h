#pragma once
// Starting Qt where there may be no usable display. Without one, Qt ends the program with
// a core dump (status 134) after a list of its platform plugins and "Reinstalling the
// application may fix this problem", which sends the reader the wrong way. While a
// WindowSystemGuard lives, that failure instead ends the program with one line on
// standard error, "PROGRAM: cannot open a window: CAUSE", and exit status 1.
#include <string>

namespace corvel {

class WindowSystemGuard {
 public:
  // Create it just before the QApplication (or QGuiApplication).
  explicit WindowSystemGuard(std::string program);
  // Call once the application exists: Qt's messages about its platform that were held
  // back go out as Qt would have written them, and Qt's own handling is back.
  void Started();
  ~WindowSystemGuard();
  WindowSystemGuard(const WindowSystemGuard&) = delete;
  WindowSystemGuard& operator=(const WindowSystemGuard&) = delete;

 private:
  bool active_ = true;
};

}  // namespace corvel
