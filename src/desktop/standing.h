// Where the user stands in a working folder, as the main window shows it.
#pragma once

#include <filesystem>
#include <string>

namespace tc::desktop {

// Four lines (Windows-1252, LF): the working folder; the last conversion there (school,
// document, template, date); whether Clepsa's timetable SOLUC is there and whether Clepsa wrote
// it after that conversion; the last export (document, date).
std::string StandingText(const std::filesystem::path& folder);

}  // namespace tc::desktop
