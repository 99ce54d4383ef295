// Font set-up: Debian's fonts-wine keeps Tahoma outside fontconfig's folders, so the
// files are loaded into the application's font database by path.
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>

#include "platform/printing.h"

namespace corvel {

bool SetUpFonts() {
  // The font database needs the application object; without it try again later.
  if (!QGuiApplication::instance()) return false;
  static const bool loaded = [] {
    bool all = true;
    for (const char* path :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
      all = QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0 && all;
    }
    return all;
  }();
  return loaded;
}

std::string ResolvedFontFamily(std::string_view requested) {
  const QFont font(QString::fromUtf8(requested.data(), static_cast<qsizetype>(requested.size())));
  return QFontInfo(font).family().toStdString();
}

}  // namespace corvel
