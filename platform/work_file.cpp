#include "platform/work_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

#include "common/errors.h"

namespace corvel {
namespace {

constexpr const char* kPrefix = ".document-";
constexpr const char* kSuffix = ".partial";

// The permissions of a new file as the user's umask allows them.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

std::unique_ptr<QFile> CreateWorkFile(const QString& folder, QString& path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const quint64 random = QRandomGenerator::system()->generate64();
    path = QDir(folder).filePath(kPrefix + QString::number(random, 36) + kSuffix);
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, NewFileMode());
    if (fd < 0) {
      if (errno == EEXIST) continue;  // a name taken, or something planted: another name
      const std::string why = std::strerror(errno);
      throw PrintError("Cannot write in the folder \"" + folder.toStdString() + "\": " + why);
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
      ::close(fd);
      QFile::remove(path);
      throw PrintError("Cannot write in the folder \"" + folder.toStdString() + "\"");
    }
    return file;
  }
  throw PrintError("Cannot find a free file name in the folder \"" + folder.toStdString() + "\"");
}

void RemoveStaleWorkFiles(const QString& folder) {
  const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
  const QFileInfoList found =
      QDir(folder).entryInfoList({QString(kPrefix) + "*" + kSuffix}, QDir::Files | QDir::Hidden);
  for (const QFileInfo& file : found) {
    if (file.lastModified() < hourAgo && !file.isSymLink()) QFile::remove(file.filePath());
  }
}

}  // namespace corvel
