// Starting a program from a test and collecting what it did, the same way on every system: the
// arguments reach it exactly as given (no shell between, so no quoting to get right), with
// CreateProcessW on Windows and fork/exec elsewhere.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tc::test {

// Environment changes, UTF-8: a value sets the variable (an empty one included), nullopt removes
// it. Every other variable is inherited.
using EnvironmentChanges = std::map<std::string, std::optional<std::string>>;

struct ProgramRun {
  // Arguments after the program name, UTF-8.
  std::vector<std::string> args;
  EnvironmentChanges environment;
  // The program's working folder; empty: the test's own.
  std::filesystem::path working_dir;
};

struct ProgramOutcome {
  int status = -1;  // the exit status; -1 when the program did not end normally
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
};

// Runs `program` to its end. Standard input is empty. Throws std::runtime_error when the program
// cannot be started.
ProgramOutcome RunProgram(const std::filesystem::path& program, const ProgramRun& run);

// A program of the system the tests run on, found on PATH (on Windows also with the extensions
// of PATHEXT); nullopt when there is none. Under Wine the Windows PATH also holds the Debian
// system's folders (tc-wine sets WINEPATH), and Wine starts a Linux program as any other, so the
// tests use the same tools (xmllint, python3, fpc) on both targets.
std::optional<std::filesystem::path> FindProgram(const std::string& name);

// `file` as an argument for `program`: its path, or under Wine, for a Linux program, the Unix
// path of the file.
std::string PathArgument(const std::filesystem::path& program, const std::filesystem::path& file);

#ifdef _WIN32
// The command line that makes a Windows program's CommandLineToArgvW (and the C runtime) see
// exactly `args` (UTF-16) after the program name.
std::wstring WindowsCommandLine(const std::wstring& program, const std::vector<std::wstring>& args);
#endif

}  // namespace tc::test
