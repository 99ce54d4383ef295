#include "tests/support/test_env.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <clocale>
#include <cstdlib>

namespace corvel::test {
namespace {
QTemporaryDir& Root() {
  static QTemporaryDir root(QDir::tempPath() + "/corvel-test-XXXXXX");
  return root;
}
}  // namespace

void IsolateUserFolders() {
  const QString base = Root().path();
  for (const char* name : {"home", "config", "data", "runtime"})
    QDir(base).mkpath(name);
  QFile::setPermissions(base + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  qputenv("HOME", (base + "/home").toUtf8());
  qputenv("XDG_CONFIG_HOME", (base + "/config").toUtf8());
  qputenv("XDG_DATA_HOME", (base + "/data").toUtf8());
  qputenv("XDG_RUNTIME_DIR", (base + "/runtime").toUtf8());
}

QString MakeTempFolder() {
  static int counter = 0;
  const QString path = Root().path() + QString("/t%1").arg(++counter);
  QDir().mkpath(path);
  return path;
}

QString BuiltProgram(const QString& name) {
  const QString build = QStringLiteral(CORVEL_BUILD_DIR);
  for (const QString& sub : {QString("/station/"), QString("/runner/"), QString("/tools/")})
    if (QFile::exists(build + sub + name)) return build + sub + name;
  return build + "/" + name;
}

QStringList DecimalCommaLocale() {
  static const QStringList env = [] {
    const QStringList names = {"LANG=de_DE.UTF-8", "LC_ALL=de_DE.UTF-8"};
    if (locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr)) {
      freelocale(german);
      const QString path = qEnvironmentVariable("LOCPATH");
      return path.isEmpty() ? names : QStringList{"LOCPATH=" + path} + names;
    }
    const QString folder = MakeTempFolder();
    QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", folder + "/de_DE.UTF-8"});
    if (!QFile::exists(folder + "/de_DE.UTF-8/LC_NUMERIC")) return QStringList();
    return QStringList{"LOCPATH=" + folder} + names;
  }();
  return env;
}

bool WaitUntil(const std::function<bool()>& done, int limitMs) {
  const QDeadlineTimer deadline(limitMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QTest::qWait(2);
  }
  return true;
}

RunResult RunProgram(const QString& program, const QStringList& args, const QByteArray& input,
                     const QStringList& env, int timeoutMs, const QByteArray& untilErr) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString& entry : env)  // NAME=value; the value may hold "=" too
    environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
  process.setProcessEnvironment(environment);
  process.start(program, args);
  RunResult result;
  if (!process.waitForStarted(10000)) return result;
  if (!input.isEmpty()) process.write(input);
  process.closeWriteChannel();
  process.setReadChannel(QProcess::StandardError);
  while (!untilErr.isEmpty() && !result.err.contains(untilErr) &&
         process.waitForReadyRead(timeoutMs))
    result.err += process.readAllStandardError();
  result.finished = untilErr.isEmpty() ? process.waitForFinished(timeoutMs)
                                       : process.state() == QProcess::NotRunning;
  if (!result.finished) {
    process.kill();
    process.waitForFinished(5000);
  }
  result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = process.readAllStandardOutput();
  result.err += process.readAllStandardError();
  return result;
}

}  // namespace corvel::test
