#include "app/command_line.h"

namespace tc::app {

std::optional<std::uintptr_t> ParseWindowHandle(const QString& text) {
  constexpr int kMaxDigits = static_cast<int>(sizeof(std::uintptr_t) * 2);
  if (text.isEmpty() || text.size() > kMaxDigits) return std::nullopt;
  std::uintptr_t value = 0;
  for (const QChar c : text) {
    int digit;
    if (c >= u'0' && c <= u'9') {
      digit = c.unicode() - u'0';
    } else if (c >= u'a' && c <= u'f') {
      digit = c.unicode() - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
      digit = c.unicode() - u'A' + 10;
    } else {
      return std::nullopt;
    }
    value = (value << 4) | static_cast<std::uintptr_t>(digit);
  }
  return value;
}

StartOptions ReadCommandLine(const QStringList& arguments) {
  StartOptions options;
  if (arguments.size() != 2) return options;

  // The handle is converted first: when it is not a number nothing else of the hosted start
  // happens and the window stays standalone.
  const std::optional<std::uintptr_t> handle = ParseWindowHandle(arguments[1]);
  if (!handle) {
    options.error = QStringLiteral("'$%1' no es un valor entero v\u00E1lido").arg(arguments[1]);
    return options;
  }
  options.embedded = true;
  options.host_window = *handle;

  const QString word = arguments[0].toLower();
  if (word == QLatin1String("importar")) {
    options.panels = Panels::ClepsaToItaca;
  } else if (word == QLatin1String("exportar")) {
    options.panels = Panels::ItacaToClepsa;
  }
  return options;
}

}  // namespace tc::app
