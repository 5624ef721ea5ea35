#include "desktop/help.h"

#include "base/codepage.h"
#include "platform/platform.h"

namespace tc::desktop {

std::filesystem::path ResolveHelpFile(std::string_view name,
                                      const std::filesystem::path& executable_dir) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return {};
  if (AsciiLowerCase(name.substr(dot + 1)) != "chm") return {};
  const std::filesystem::path file = platform::PathFromUtf8(name);
  if (file.has_parent_path()) return std::filesystem::absolute(file);
  return executable_dir / file;
}

std::string HelpUnavailableText(const std::filesystem::path& file, bool file_found,
                                bool viewer_found) {
  const std::string path = platform::PathText(file);
  if (!file_found) {
    return "No se encuentra el archivo de ayuda " + path +
           ".\n\nSe instala junto al programa: vuelva a instalarlo, o copie ITACA.chm en la "
           "carpeta del programa.";
  }
  if (!viewer_found) {
#ifdef _WIN32
    return "No est\xE1 en este sistema la Ayuda HTML de Windows (hhctrl.ocx), que muestra la "
           "ayuda " + path + ".\n\nEn Wine se instala con: winetricks hhw. Tambi\xE9n puede "
           "abrir ese archivo con cualquier visor de archivos CHM.";
#else
    return "No hay en este sistema ning\xFAn programa que muestre la ayuda (" + path +
           ").\n\nInstale el visor de archivos CHM xchm (en Debian o Ubuntu: sudo apt install "
           "xchm) o kchmviewer, y pulse otra vez \"F1 Ayuda\"; o abra ese archivo con el visor "
           "de archivos CHM que tenga.";
#endif
  }
  return "No se ha podido abrir la ayuda " + path + " con el visor de archivos CHM.";
}

}  // namespace tc::desktop
