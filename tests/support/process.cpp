#include "support/process.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "platform/platform.h"
#include "support/test_support.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>
#include <cwctype>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#endif

namespace tc::test {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                         nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

// One argument as the C runtime reads it back: quoted when it holds a blank or a quote or is
// empty; backslashes are literal except before a quote, where they are doubled.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(backslashes * 2, L'\\');  // before the closing quote
  out.push_back(L'"');
  return out;
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The environment block for CreateProcessW: this process's variables with the changes applied,
// sorted by name without regard to case as Windows wants it.
std::wstring EnvironmentBlock(const EnvironmentChanges& changes) {
  std::vector<std::wstring> entries;
  wchar_t* inherited = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = inherited; entry && *entry; entry += wcslen(entry) + 1) {
    entries.emplace_back(entry);
  }
  if (inherited) ::FreeEnvironmentStringsW(inherited);
  auto name_of = [](const std::wstring& entry) {
    // "=C:=C:\dir" entries start with '=': their name runs to the second one.
    return Upper(entry.substr(0, entry.find(L'=', 1)));
  };
  for (const auto& [name, value] : changes) {
    const std::wstring wide_name = Wide(name);
    std::erase_if(entries, [&](const std::wstring& entry) {
      return name_of(entry) == Upper(wide_name);
    });
    if (value) entries.push_back(wide_name + L"=" + Wide(*value));
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [&](const std::wstring& a, const std::wstring& b) {
                     return name_of(a) < name_of(b);
                   });
  std::wstring block;
  for (const std::wstring& entry : entries) block += entry + L'\0';
  block += L'\0';
  return block;
}

// A file handle the child inherits as one of its standard handles.
HANDLE InheritedFile(const fs::path& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE handle = ::CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot open " + path.string() + " for a child process");
  }
  return handle;
}

// Wine's own functions between Windows and Unix file names (not in Windows itself).
template <typename Function>
Function WineFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

std::optional<std::string> UnixPath(const fs::path& path) {
  using UnixName = char*(__cdecl*)(const wchar_t*);
  static const auto unix_name = WineFunction<UnixName>("wine_get_unix_file_name");
  if (unix_name == nullptr) return std::nullopt;
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  char* name = unix_name((error ? path : absolute).c_str());
  if (name == nullptr) return std::nullopt;
  std::string text(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return text;
}

fs::path WindowsPath(const std::string& unix_path) {
  using DosName = wchar_t*(__cdecl*)(const char*);
  static const auto dos_name = WineFunction<DosName>("wine_get_dos_file_name");
  wchar_t* name = dos_name != nullptr ? dos_name(unix_path.c_str()) : nullptr;
  if (name == nullptr) throw std::runtime_error("no Windows name for " + unix_path);
  fs::path path(name);
  ::HeapFree(::GetProcessHeap(), 0, name);
  return path;
}

// A Linux program, which only Wine can start from here.
bool IsLinuxProgram(const fs::path& program) {
  char head[4] = {};
  std::ifstream(program, std::ios::binary).read(head, sizeof head);
  return std::string_view(head, sizeof head) == "\x7F" "ELF" && UnixPath(program).has_value();
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Wine starts a Linux program as it starts a Windows one, but gives no handle to wait on or to
// read the exit status from. The program runs under /bin/sh instead, which writes the status
// into a file when the program has ended; the test waits for that file.
ProgramOutcome RunLinuxProgram(const fs::path& program, const ProgramRun& run) {
  TempDir capture;
  auto unix_path = [](const fs::path& path) { return ShellQuote(*UnixPath(path)); };
  std::string script;
  for (const auto& [name, value] : run.environment) {
    script += value ? "export " + name + "=" + ShellQuote(*value) + "\n" : "unset " + name + "\n";
  }
  script += "(";
  if (!run.working_dir.empty()) script += "cd " + unix_path(run.working_dir) + " && ";
  script += "exec " + unix_path(program);
  for (const std::string& arg : run.args) script += " " + ShellQuote(arg);
  script += ") </dev/null >" + unix_path(capture / "stdout") + " 2>" +
            unix_path(capture / "stderr") + "\n";
  script += "echo $? >" + unix_path(capture / "status.tmp") + "\n";
  script += "mv " + unix_path(capture / "status.tmp") + " " + unix_path(capture / "status") + "\n";
  WriteFile(capture / "run.sh", script);

  const fs::path shell = WindowsPath("/bin/sh");
  std::wstring command_line = WindowsCommandLine(shell.wstring(), {Wide(*UnixPath(capture / "run.sh"))});
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(shell.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + program.string() + " under /bin/sh");
  }
  if (process.hThread) ::CloseHandle(process.hThread);
  if (process.hProcess) ::CloseHandle(process.hProcess);
  std::error_code error;
  while (!fs::exists(capture / "status", error)) ::Sleep(10);
  ProgramOutcome outcome;
  outcome.status = std::stoi(ReadFile(capture / "status"));
  outcome.out = ReadFile(capture / "stdout");
  outcome.err = ReadFile(capture / "stderr");
  return outcome;
}

}  // namespace

std::wstring WindowsCommandLine(const std::wstring& program,
                                const std::vector<std::wstring>& args) {
  // The program name is read up to the next quote, without escapes: quoting it is enough.
  std::wstring line = L"\"" + program + L"\"";
  for (const std::wstring& arg : args) line += L" " + QuoteArgument(arg);
  return line;
}

ProgramOutcome RunProgram(const fs::path& program, const ProgramRun& run) {
  if (IsLinuxProgram(program)) return RunLinuxProgram(program, run);
  TempDir capture;
  const fs::path out_file = capture / "stdout";
  const fs::path err_file = capture / "stderr";
  const fs::path in_file = capture / "stdin";
  WriteFile(in_file, "");

  std::vector<std::wstring> args;
  for (const std::string& arg : run.args) args.push_back(Wide(arg));
  std::wstring command_line = WindowsCommandLine(program.wstring(), args);
  std::wstring environment = EnvironmentBlock(run.environment);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = InheritedFile(in_file, false);
  startup.hStdOutput = InheritedFile(out_file, true);
  startup.hStdError = InheritedFile(err_file, true);
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessW(
      program.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
      environment.data(), run.working_dir.empty() ? nullptr : run.working_dir.c_str(), &startup,
      &process);
  const DWORD start_error = ::GetLastError();
  ::CloseHandle(startup.hStdInput);
  ::CloseHandle(startup.hStdOutput);
  ::CloseHandle(startup.hStdError);
  if (!started) {
    throw std::runtime_error("cannot start " + program.string() + " (error " +
                             std::to_string(start_error) + ")");
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ProgramOutcome outcome;
  if (::GetExitCodeProcess(process.hProcess, &code)) outcome.status = static_cast<int>(code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  outcome.out = ReadFile(out_file);
  outcome.err = ReadFile(err_file);
  return outcome;
}

#else

ProgramOutcome RunProgram(const fs::path& program, const ProgramRun& run) {
  TempDir capture;
  const fs::path out_file = capture / "stdout";
  const fs::path err_file = capture / "stderr";

  std::vector<std::string> argv_text{program.string()};
  argv_text.insert(argv_text.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv;
  for (std::string& arg : argv_text) argv.push_back(arg.data());
  argv.push_back(nullptr);

  std::vector<std::string> env_text;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (run.environment.count(text.substr(0, text.find('='))) == 0) env_text.push_back(text);
  }
  for (const auto& [name, value] : run.environment) {
    if (value) env_text.push_back(name + "=" + *value);
  }
  std::vector<char*> envp;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);

  // The child reports a failed start through a pipe that a successful exec closes.
  int report[2];
  if (::pipe(report) != 0 || ::fcntl(report[1], F_SETFD, FD_CLOEXEC) != 0) {
    throw std::runtime_error("cannot start " + program.string());
  }
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("cannot start " + program.string());
  if (child == 0) {
    // Only async-signal-safe calls from here on.
    ::close(report[0]);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in >= 0 && out >= 0 && err >= 0 && ::dup2(in, 0) >= 0 && ::dup2(out, 1) >= 0 &&
        ::dup2(err, 2) >= 0 && (run.working_dir.empty() || ::chdir(run.working_dir.c_str()) == 0)) {
      ::execve(program.c_str(), argv.data(), envp.data());
    }
    const int failure = errno;
    [[maybe_unused]] ssize_t ignored = ::write(report[1], &failure, sizeof failure);
    ::_exit(127);
  }
  ::close(report[1]);
  int failure = 0;
  ssize_t got;
  while ((got = ::read(report[0], &failure, sizeof failure)) < 0 && errno == EINTR) {
  }
  ::close(report[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("cannot wait for " + program.string());
  }
  if (got > 0) {
    throw std::runtime_error("cannot start " + program.string() + ": " + std::strerror(failure));
  }
  ProgramOutcome outcome;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = ReadFile(out_file);
  outcome.err = ReadFile(err_file);
  return outcome;
}

#endif

namespace {

bool IsFile(const fs::path& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

}  // namespace

std::optional<fs::path> FindProgram(const std::string& name) {
  const std::optional<std::string> path = platform::EnvironmentVariable("PATH");
  if (!path) return std::nullopt;
#ifdef _WIN32
  constexpr char kListSeparator = ';';
  std::vector<std::string> extensions{""};
  const std::string path_extensions =
      platform::EnvironmentVariable("PATHEXT").value_or(".COM;.EXE;.BAT;.CMD");
  for (std::string_view rest = path_extensions; !rest.empty();) {
    const std::size_t end = std::min(rest.find(';'), rest.size());
    if (end > 0) extensions.emplace_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
#else
  constexpr char kListSeparator = ':';
  const std::vector<std::string> extensions{""};
#endif
  std::string_view rest = *path;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find(kListSeparator), rest.size());
    const std::string dir(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (dir.empty()) continue;
    for (const std::string& extension : extensions) {
      const fs::path candidate = fs::path(platform::PathFromUtf8(dir)) /
                                 platform::PathFromUtf8(name + extension);
#ifdef _WIN32
      if (IsFile(candidate)) return candidate;
#else
      if (IsFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
    }
  }
  return std::nullopt;
}

std::string PathArgument(const fs::path& program, const fs::path& file) {
#ifdef _WIN32
  if (IsLinuxProgram(program)) return *UnixPath(file);
#else
  (void)program;
#endif
  return platform::PathToUtf8(file);
}

}  // namespace tc::test
