#include "qt/window_font.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>

#include "app/window_layout.h"

namespace netupdate::qt {

namespace {

const QString kFamily = QString::fromUtf8(app::kFontFamily);

void loadTahomaFrom(const QString& fontDirectory) {
  if (QFontDatabase::hasFamily(kFamily)) return;
  const QDir directory(fontDirectory);
  for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
    const QString path = directory.filePath(QString::fromUtf8(file));
    if (QFileInfo::exists(path)) QFontDatabase::addApplicationFont(path);
  }
}

}  // namespace

QFont windowFont(const QString& fontDirectory) {
  loadTahomaFrom(fontDirectory);
  QFont font(kFamily);
  // Without any Tahoma the toolkit's sans-serif stands in.
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(app::kFontPixelHeight);
  return font;
}

}  // namespace netupdate::qt
