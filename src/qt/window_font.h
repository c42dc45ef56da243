#pragma once

#include <QFont>
#include <QString>

namespace netupdate::qt {

// Wine ships a free Tahoma with the same metrics; Debian installs it outside
// fontconfig's search path.
inline constexpr const char* kWineFontDirectory = "/usr/share/wine/fonts";

// The window's font: Tahoma at a 12-pixel character height. The layout's
// pixel positions were made for Tahoma's widths; a wider stand-in runs the
// headings into the buttons. When no Tahoma is installed, the metric-compatible
// one from fontDirectory is loaded for this process.
QFont windowFont(const QString& fontDirectory = QString::fromUtf8(kWineFontDirectory));

}  // namespace netupdate::qt
