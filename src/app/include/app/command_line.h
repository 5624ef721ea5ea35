// The program's command line. Clepsa starts it with exactly two arguments: the direction word
// ("importar" or "exportar", any letter case) and its own window handle in hexadecimal digits.
// Any other number of arguments means a standalone start.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>
#include <QStringList>

namespace tc::app {

// Which direction panels the main window keeps.
enum class Panels { Both, ItacaToClepsa, ClepsaToItaca };

struct StartOptions {
  bool embedded = false;           // EmbeddedRun: started by the host with two arguments
  std::uintptr_t host_window = 0;  // native handle of the host window (0: none)
  Panels panels = Panels::Both;
  // The conversion error of a handle that is not hexadecimal, for the standard error box; the
  // window then starts as an ordinary standalone window.
  std::optional<QString> error;
};

// The host handle: hexadecimal digits only (no prefix, no sign, no blanks), at most as many as a
// native handle holds. nullopt for anything else.
std::optional<std::uintptr_t> ParseWindowHandle(const QString& text);

// `arguments` without the program name.
StartOptions ReadCommandLine(const QStringList& arguments);

}  // namespace tc::app
