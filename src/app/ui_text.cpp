#include "app/ui_text.h"

#include <QDir>
#include <QVariant>

#include "base/codepage.h"
#include "platform/platform.h"

namespace tc::app {

namespace {
constexpr char kHelpContextProperty[] = "helpContext";
}

QString FromCore(std::string_view cp1252) {
  const std::string utf8 = Cp1252ToUtf8(cp1252);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToCore(const QString& text) { return Utf8ToCp1252(text.toStdString()); }

QString NativePath(const std::filesystem::path& path) {
  return QDir::toNativeSeparators(QString::fromStdString(platform::PathToUtf8(path)));
}

std::filesystem::path PathFromQt(const QString& text) {
  return platform::PathFromUtf8(text.toStdString());
}

QFont ArialFont(int pixel_size, bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
  font.setPixelSize(pixel_size);
  font.setBold(bold);
  return font;
}

void SetHelpContext(QObject* object, int context) {
  object->setProperty(kHelpContextProperty, context);
}

int HelpContextOf(const QObject* object) {
  const QVariant value = object->property(kHelpContextProperty);
  return value.isValid() ? value.toInt() : 0;
}

}  // namespace tc::app
