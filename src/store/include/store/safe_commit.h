// Replacing a set of files in the working folder so that, whatever happens, the folder holds
// either every old file or every new one: the old files are kept first as a backup generation,
// then a journal naming every move is written (the commit point), then the moves are made and
// the journal removed. A process that dies half-way leaves the journal; the next run finishes
// the moves it names (Recover). A move that fails while the process lives puts the old files
// back from the generation. Our own files live in the folder "TransClepsaItaca" inside the
// working folder: the journal, the run lock, the backup generations.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace tc::store {

// Our folder inside the working folder, and what it holds.
std::filesystem::path OwnFolder(const std::filesystem::path& working_dir);
std::filesystem::path JournalFile(const std::filesystem::path& working_dir);
std::filesystem::path RunLockFile(const std::filesystem::path& working_dir);
std::filesystem::path BackupsFolder(const std::filesystem::path& working_dir);
std::filesystem::path SettingsFile(const std::filesystem::path& working_dir);

// One file to replace: `staged`, complete on the disk, takes the place of `target` (which may
// not exist). `keep_old` says whether the old target is kept in the backup generation (the
// tables of the working folder are, and the export's document it overwrites beside the ITACA
// file; a target outside the working folder is kept by its full path, so that a restore puts it
// back there).
struct Replacement {
  std::filesystem::path staged;
  std::filesystem::path target;
  bool keep_old = true;
  bool outside = false;  // the target is not in the working folder
};

// What a generation says about itself; its files are the old versions of the tables replaced.
struct GenerationInfo {
  int number = 0;         // 1, 2, 3... in the order they were made
  std::string date;       // "2026-12-09 10:31:02", local time
  std::string run;        // "conversion", "exportacion", "restauracion"
  std::string document;   // the ITACA file of the run (UTF-8), or what was restored
  std::vector<std::string> files;   // the files kept (file names, as they were in the folder)
  std::vector<std::string> absent;  // files the run created: there was no old one to keep
  // Files outside the working folder the run overwrote (the export's document), kept by their
  // file name in the generation; their full paths (UTF-8).
  std::vector<std::string> outside;
  std::string template_code;  // the run's time template (Windows-1252), "" when none
  std::string school;         // the run's school: its code and name (Windows-1252)
  std::filesystem::path folder;     // where its files are
};

// Extra files written into the generation beside the old tables (the run's report).
struct GenerationExtra {
  std::string file_name;  // "informe.txt"
  std::string contents;
  // When set, renders the contents instead, handing them on piece by piece: called only when a
  // generation is made (a plan with extras always makes one), on one of two threads that take
  // the extras in turn as they are free, so it must be safe to call beside the others. Each
  // piece is written as soon as the file's turn has come, rather than the whole file held.
  std::function<void(const PieceSink&)> render = {};
  // Rendered before the others, though written in its place: the longest rendering, listed
  // last, so that the others are written while it is still being rendered.
  bool render_first = false;
};

struct CommitPlan {
  std::vector<Replacement> replacements;
  std::vector<std::filesystem::path> removals;  // files of the working folder to remove (kept
                                                 // in the generation first)
  std::string run;       // for the generation: "conversion", "exportacion", "restauracion"
  std::string document;  // UTF-8
  std::string template_code;  // for the generation (Windows-1252)
  std::string school;
  // Written into the generation (the run's report). A plan with extras always makes a
  // generation, also when nothing old was there (the first run into a folder): the report is
  // kept, and a restore of it removes what the run created.
  std::vector<GenerationExtra> extras;
  int generations_to_keep = 10;
};

// Carries the plan out as described above. Throws the error of the step that failed; the working
// folder is then as it was and no file of the plan's staged ones remains. Returns the generation
// made (none when nothing old was there to keep, nothing was removed and there are no extras).
std::optional<GenerationInfo> CommitFiles(platform::FileSystem& files,
                                          const std::filesystem::path& working_dir,
                                          const CommitPlan& plan);

// What Recover did.
struct Recovery {
  bool finished_commit = false;  // an interrupted commit was carried to its end
  int temporary_files_removed = 0;
};

// Run at the start of every run, holding the run lock: finishes a commit whose journal is there,
// and removes every temporary file of ours (in the working folder, in our folder, half-made
// generations, and the external files a journal or an intent names).
Recovery Recover(platform::FileSystem& files, const std::filesystem::path& working_dir);

// Records, before it is created, a temporary file of ours outside the working folder (the
// export's document staged beside the ITACA file), so that Recover can remove it if the process
// dies before its commit. Forget removes the record once the file is committed or removed.
void RecordExternalTemporary(platform::FileSystem& files, const std::filesystem::path& working_dir,
                             const std::filesystem::path& temporary);
void ForgetExternalTemporaries(platform::FileSystem& files,
                               const std::filesystem::path& working_dir);

// How a generation's run is said: "conversión", "exportación", "restauración" (Windows-1252).
std::string RunNameOf(std::string_view run);

// The backup generations, oldest first.
std::vector<GenerationInfo> ListGenerations(platform::FileSystem& files,
                                            const std::filesystem::path& working_dir);

// How many generations to keep: "Conservar" in section "Copias" of our settings file, 10 when it
// is missing or not a number of at least 1.
int GenerationsToKeep(platform::FileSystem& files, const std::filesystem::path& working_dir);

}  // namespace tc::store
