// The edge between the core's Windows-1252 text and Qt's Unicode strings, and the fonts every
// window uses.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <QFont>
#include <QString>

namespace tc::app {

// Windows-1252 bytes of the core to a Qt string, and back.
QString FromCore(std::string_view cp1252);
std::string ToCore(const QString& text);

// A path as the user should read it (native separators), and a path from a dialog's text.
QString NativePath(const std::filesystem::path& path);
std::filesystem::path PathFromQt(const QString& text);

// Arial, or a font with the same metrics where Arial is missing (Liberation Sans), in pixels.
QFont ArialFont(int pixel_size, bool bold = false);

// The help context of a control (1 or 3), kept as a property so that F1 can find it; 0 when
// none was given.
void SetHelpContext(QObject* object, int context);
int HelpContextOf(const QObject* object);

}  // namespace tc::app
