// The parts of the platform layer that are the same everywhere: UTF-8 paths, file errors, the
// working folder and INI editing. The system calls live in platform_posix.cpp and
// platform_windows.cpp.
#include "platform/platform.h"

#include <vector>

#include "base/codepage.h"
#include "base/error.h"
#include "platform/file_system.h"

namespace tc::platform {

namespace fs = std::filesystem;

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  std::u8string text(utf8.begin(), utf8.end());
  return fs::path(text);
}

std::string PathToUtf8(const std::filesystem::path& path) {
  std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::string PathText(const std::filesystem::path& path) { return Utf8ToCp1252(PathToUtf8(path)); }

void ThrowFileError(std::string_view what, const std::filesystem::path& file, unsigned long code) {
  const SystemFailure failure = DescribeSystemError(code);
  throw FileError(std::string(what) + " " + PathText(file) + ": " + failure.reason + ".",
                  failure.kind, PathText(file), failure.reason);
}

// ---------------------------------------------------------------------------------------------
// Working folder

std::filesystem::path WorkingDir(const std::optional<std::filesystem::path>& override) {
  if (override && !override->empty()) return *override;
  if (auto dir = EnvironmentVariable("TRANSCLEPSA_ZTEMP")) return PathFromUtf8(*dir);
#ifdef _WIN32
  return fs::path(L"C:\\ZTEMP");
#else
  fs::path prefix;
  if (auto wine = EnvironmentVariable("WINEPREFIX")) {
    prefix = PathFromUtf8(*wine);
  } else if (auto home = EnvironmentVariable("HOME")) {
    prefix = PathFromUtf8(*home) / ".wine";
  } else {
    prefix = fs::path(".wine");
  }
  return prefix / "drive_c" / "ZTEMP";
#endif
}

// ---------------------------------------------------------------------------------------------
// INI files

namespace {

// One line of the file with its own line ending ("", "\n" or "\r\n"), kept byte for byte.
struct IniLine {
  std::string text;
  std::string ending;
};

std::vector<IniLine> SplitLines(const std::string& bytes) {
  std::vector<IniLine> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t newline = bytes.find('\n', start);
    if (newline == std::string::npos) {
      lines.push_back({bytes.substr(start), ""});
      break;
    }
    std::size_t end = newline;
    std::string ending = "\n";
    if (end > start && bytes[end - 1] == '\r') {
      --end;
      ending = "\r\n";
    }
    lines.push_back({bytes.substr(start, end - start), ending});
    start = newline + 1;
  }
  return lines;
}

std::string_view TrimSpaces(std::string_view text) {
  const char* blanks = " \t";
  std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string_view::npos) return {};
  std::size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

// Windows compares section and key names without regard to letter case.
bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AsciiUpperCase(a) == AsciiUpperCase(b);
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view trimmed = TrimSpaces(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  std::size_t close = trimmed.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return TrimSpaces(trimmed.substr(1, close - 1));
}

bool IsComment(std::string_view line) {
  std::string_view trimmed = TrimSpaces(line);
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// The key of a "key=value" line, or nullopt for any other line.
std::optional<std::string_view> KeyName(std::string_view line) {
  if (IsComment(line)) return std::nullopt;
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  return TrimSpaces(line.substr(0, equals));
}

}  // namespace

std::optional<std::string> ReadIniValue(FileSystem& files, const std::filesystem::path& file,
                                        std::string_view section, std::string_view key) {
  if (!files.IsFile(file)) return std::nullopt;
  bool in_section = false;
  for (const IniLine& line : SplitLines(files.ReadFile(file))) {
    if (auto name = SectionName(line.text)) {
      in_section = SameName(*name, section);
      continue;
    }
    if (!in_section) continue;
    if (auto name = KeyName(line.text); name && SameName(*name, key)) {
      return std::string(TrimSpaces(std::string_view(line.text).substr(line.text.find('=') + 1)));
    }
  }
  return std::nullopt;
}

void WriteIniValue(FileSystem& files, const std::filesystem::path& file, std::string_view section,
                   std::string_view key, std::string_view value) {
  std::string bytes;
  if (files.IsFile(file)) bytes = files.ReadFile(file);
  std::vector<IniLine> lines = SplitLines(bytes);

  // New lines take the file's own line ending; a new file gets the Windows one.
  std::string eol = "\r\n";
  for (const IniLine& line : lines) {
    if (!line.ending.empty()) {
      eol = line.ending;
      break;
    }
  }
  const std::string entry = std::string(key) + "=" + std::string(value);

  // Find the section and, inside it, the key or the last line that holds something.
  std::optional<std::size_t> section_line;
  std::optional<std::size_t> key_line;
  std::size_t last_filled = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (auto name = SectionName(lines[i].text)) {
      if (section_line) break;  // the next section ends ours
      if (SameName(*name, section)) {
        section_line = i;
        last_filled = i;
      }
      continue;
    }
    if (!section_line) continue;
    if (!TrimSpaces(lines[i].text).empty()) last_filled = i;
    auto name = KeyName(lines[i].text);
    if (name && SameName(*name, key)) {
      key_line = i;
      break;
    }
  }

  if (key_line) {
    std::string_view line = lines[*key_line].text;
    lines[*key_line].text =
        std::string(TrimSpaces(line.substr(0, line.find('=')))) + "=" + std::string(value);
  } else if (section_line) {
    IniLine& after = lines[last_filled];
    if (after.ending.empty()) after.ending = eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last_filled) + 1, {entry, eol});
  } else {
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = eol;
    lines.push_back({"[" + std::string(section) + "]", eol});
    lines.push_back({entry, eol});
  }

  std::string out;
  out.reserve(bytes.size() + entry.size() + section.size() + 8);
  for (const IniLine& line : lines) out += line.text + line.ending;
  WriteFileAtomically(files, file, out);
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return local;
}

}  // namespace tc::platform
