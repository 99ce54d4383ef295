#pragma once
// Helpers shared by the test executables.
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace corvel::test {

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR at folders under one
// fresh temporary folder (kept for the whole test process). Called once by main.
void IsolateUserFolders();

// A fresh empty folder for one test, removed when the test process ends.
QString MakeTempFolder();

// Path of a program built by this project ("tarewise", "sheetwise", "corvel").
QString BuiltProgram(const QString& name);

// Environment entries ("LOCPATH=...", "LANG=...", "LC_ALL=...") that select a decimal-comma
// locale, de_DE.UTF-8: the one the environment already offers, or one generated once per
// process with localedef into a temporary folder. Empty when neither works.
QStringList DecimalCommaLocale();

// Runs the event loop until `done` holds or `limitMs` pass; returns `done()`. Tests wait
// so for the event they check: the limit is one that only a fault reaches.
bool WaitUntil(const std::function<bool()>& done, int limitMs = 60000);

struct RunResult {
  int exitCode = -1;
  bool finished = false;  // false: it did not end within the time limit (and was killed)
  QByteArray out;
  QByteArray err;
};

// Runs a program to its end with `input` on standard input; `env` entries "NAME=value"
// are added to the test process's environment. With `untilErr`, only until its standard
// error holds that text (`finished` then says whether it had ended; it is killed).
RunResult RunProgram(const QString& program, const QStringList& args, const QByteArray& input = {},
                     const QStringList& env = {}, int timeoutMs = 60000,
                     const QByteArray& untilErr = {});

}  // namespace corvel::test
