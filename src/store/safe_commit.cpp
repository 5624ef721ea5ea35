#include "store/safe_commit.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <span>

#include "base/codepage.h"
#include "base/error.h"
#include "base/text.h"
#include "platform/platform.h"

namespace tc::store {

namespace fs = std::filesystem;
using platform::FileSystem;

namespace {

constexpr std::string_view kOwnFolder = "TransClepsaItaca";
constexpr std::string_view kJournal = "diario.txt";
constexpr std::string_view kIntents = "pendientes.txt";
constexpr std::string_view kRunLock = "ejecucion.lock";
constexpr std::string_view kBackups = "copias";
constexpr std::string_view kSettings = "TransClepsaItaca.ini";
constexpr std::string_view kManifest = "generacion.txt";
constexpr std::string_view kPartial = "~parcial";  // a generation still being made
constexpr std::string_view kPruned = "~quitada";   // a generation being removed
constexpr std::string_view kStagedPrefix = "~TC_";  // tables staged by a run
constexpr int kDefaultGenerations = 10;

// The journal's first line: what the file is and the version of its form.
constexpr std::string_view kJournalHeading = "TransClepsaItaca diario 1";

fs::path Child(const fs::path& folder, std::string_view name) {
  return folder / platform::PathFromUtf8(name);
}

std::string Utf8(const fs::path& path) { return platform::PathToUtf8(path); }


std::vector<std::string> Split(std::string_view line, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    fields.emplace_back(line.substr(start, end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

void WriteText(FileSystem& files, const fs::path& file, const std::string& text) {
  const std::string_view piece(text);
  files.WriteNewFile(file, std::span<const std::string_view>(&piece, 1));
}

// The extras' renderings, on two threads of their own (in turn when no thread can be had): each
// takes the next extra as soon as it is free, those to render first first, then in the plan's
// order, so that a long one (the report page) does not hold back the shorter ones. They are
// written in the plan's order by the thread that commits, each piece as it comes. Ended,
// whichever way, before the plan they render goes.
class Renderings {
 public:
  Renderings() = default;
  Renderings(const Renderings&) = delete;
  Renderings& operator=(const Renderings&) = delete;
  ~Renderings() {
    for (std::future<void>& worker : workers_) {
      if (worker.valid()) worker.wait();
    }
  }

  void Start(const std::vector<GenerationExtra>& extras) {
    if (std::none_of(extras.begin(), extras.end(),
                     [](const GenerationExtra& extra) { return bool(extra.render); })) {
      return;
    }
    extras_ = &extras;
    for (const bool first : {true, false}) {
      for (std::size_t index = 0; index < extras.size(); ++index) {
        if (extras[index].render && extras[index].render_first == first) order_.push_back(index);
      }
    }
    queues_ = std::vector<Queue>(extras.size());
    for (std::future<void>& worker : workers_) worker = std::async([this] { Work(); });
  }

  // Writes extra `index` as `file`: its rendering's failure, rethrown, leaves no file.
  void Write(platform::FileSystem& files, const std::filesystem::path& file, std::size_t index) {
    for (std::future<void>& worker : workers_) {
      // A worker that had no thread renders now, in turn.
      if (worker.valid() &&
          worker.wait_for(std::chrono::seconds(0)) == std::future_status::deferred) {
        worker.wait();
      }
    }
    Queue& queue = queues_[index];
    files.WriteNewFileFrom(file, [&queue] { return queue.Next(); });
  }

 private:
  // The pieces of one extra, from the worker rendering it to the thread writing it.
  class Queue {
   public:
    void Put(std::string piece) {
      const std::lock_guard<std::mutex> lock(mutex_);
      pieces_.push_back(std::move(piece));
      changed_.notify_one();
    }
    void End(std::exception_ptr failure = nullptr) {
      const std::lock_guard<std::mutex> lock(mutex_);
      ended_ = true;
      failure_ = failure;
      changed_.notify_one();
    }
    // The next piece, valid until the following call; none once all have been taken.
    std::optional<std::string_view> Next() {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return !pieces_.empty() || ended_; });
      if (!pieces_.empty()) {
        given_ = std::move(pieces_.front());
        pieces_.pop_front();
        return std::string_view(given_);
      }
      given_ = std::string();
      if (failure_) std::rethrow_exception(failure_);
      return std::nullopt;
    }

   private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::string> pieces_;
    std::string given_;
    bool ended_ = false;
    std::exception_ptr failure_;
  };

  void Work() {
    for (std::size_t next = next_++; next < order_.size(); next = next_++) {
      const std::size_t index = order_[next];
      Queue& queue = queues_[index];
      try {
        (*extras_)[index].render([&queue](std::string piece) { queue.Put(std::move(piece)); });
        queue.End();
      } catch (...) {
        queue.End(std::current_exception());
      }
    }
  }

  const std::vector<GenerationExtra>* extras_ = nullptr;
  std::vector<std::size_t> order_;  // in which they are rendered
  std::vector<Queue> queues_;
  std::atomic<std::size_t> next_{0};
  std::array<std::future<void>, 2> workers_;
};

std::string Now() {
  const std::tm local = platform::LocalNow();
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string GenerationName(int number) {
  char name[16];
  std::snprintf(name, sizeof name, "%04d", number);
  return name;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// ---- Journal --------------------------------------------------------------------------------

struct JournalMove {
  fs::path from, to;
};

struct Journal {
  std::vector<JournalMove> moves;   // staged files into place, then the generation published
  std::vector<fs::path> removals;
};

std::string JournalText(const Journal& journal) {
  std::string text = std::string(kJournalHeading) + "\n";
  for (const JournalMove& move : journal.moves) {
    text += "mover\t" + EscapeField(Utf8(move.from)) + "\t" + EscapeField(Utf8(move.to)) + "\n";
  }
  for (const fs::path& path : journal.removals) text += "quitar\t" + EscapeField(Utf8(path)) + "\n";
  return text + "fin\n";
}

// The journal read back; nullopt for one that is not whole (it is written atomically, so that
// means it was never ours to finish).
std::optional<Journal> ParseJournal(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  if (lines.size() < 2 || lines.front() != kJournalHeading || lines.back() != "fin") {
    return std::nullopt;
  }
  Journal journal;
  for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
    const std::vector<std::string> fields = Split(lines[i], '\t');
    if (fields[0] == "mover" && fields.size() == 3) {
      journal.moves.push_back({platform::PathFromUtf8(UnescapeField(fields[1])),
                               platform::PathFromUtf8(UnescapeField(fields[2]))});
    } else if (fields[0] == "quitar" && fields.size() == 2) {
      journal.removals.push_back(platform::PathFromUtf8(UnescapeField(fields[1])));
    } else {
      return std::nullopt;
    }
  }
  return journal;
}

// ---- Generations ----------------------------------------------------------------------------

std::string ManifestText(const GenerationInfo& info) {
  std::string text = "fecha\t" + EscapeField(info.date) + "\n";
  text += "ejecucion\t" + EscapeField(info.run) + "\n";
  text += "documento\t" + EscapeField(info.document) + "\n";
  if (!info.template_code.empty()) text += "plantilla\t" + EscapeField(info.template_code) + "\n";
  if (!info.school.empty()) text += "centro\t" + EscapeField(info.school) + "\n";
  for (const std::string& file : info.files) text += "archivo\t" + EscapeField(file) + "\n";
  for (const std::string& file : info.absent) text += "ausente\t" + EscapeField(file) + "\n";
  for (const std::string& file : info.outside) text += "externo\t" + EscapeField(file) + "\n";
  return text;
}

std::optional<GenerationInfo> ReadGeneration(FileSystem& files, const fs::path& folder) {
  const fs::path manifest = Child(folder, kManifest);
  if (!files.IsFile(manifest)) return std::nullopt;
  GenerationInfo info;
  info.number = std::atoi(Utf8(folder.filename()).c_str());
  info.folder = folder;
  for (const std::string& line : Lines(files.ReadFile(manifest))) {
    const std::vector<std::string> fields = Split(line, '\t');
    if (fields.size() != 2) continue;
    const std::string value = UnescapeField(fields[1]);
    if (fields[0] == "fecha") info.date = value;
    if (fields[0] == "ejecucion") info.run = value;
    if (fields[0] == "documento") info.document = value;
    if (fields[0] == "archivo") info.files.push_back(value);
    if (fields[0] == "ausente") info.absent.push_back(value);
    if (fields[0] == "externo") info.outside.push_back(value);
    if (fields[0] == "plantilla") info.template_code = value;
    if (fields[0] == "centro") info.school = value;
  }
  return info;
}

// Keeps `file` in the generation being made: a second name for it where the file system allows
// one (no copy, and the old content stays when the file is replaced), else a copy.
void Keep(FileSystem& files, const fs::path& file, const fs::path& generation) {
  const fs::path kept = generation / file.filename();
  if (!files.Link(file, kept)) platform::CopyFile(files, file, kept);
}

// A file the user made read-only is not replaced: the run stops before anything moves.
void RefuseReadOnly(FileSystem& files, const fs::path& file) {
  if (!files.IsReadOnly(file)) return;
  throw Error("El archivo " + platform::PathText(file) +
                  " es de solo lectura: no se sustituye ni se borra, y no se ha cambiado nada.",
              ErrorKind::DiskOrPermission, platform::PathText(file));
}

// Puts the old files back after a move or a removal failed: each moved target from its kept copy,
// or removed when there was none; each removed file from its kept copy. False when that too
// failed (the journal then stays for the next run).
bool PutBack(FileSystem& files, const std::vector<const Replacement*>& moved,
             const std::vector<fs::path>& removed, const fs::path& generation) {
  bool whole = true;
  for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
    const Replacement& replacement = **it;
    const fs::path kept = generation / replacement.target.filename();
    try {
      if (files.IsFile(kept)) {
        platform::WriteFileAtomically(files, replacement.target, files.ReadFile(kept));
      } else {
        files.Remove(replacement.target);
      }
    } catch (...) {
      // Whatever stopped this file: the others are still put back, and the caller told.
      whole = false;
    }
  }
  for (const fs::path& file : removed) {
    try {
      platform::WriteFileAtomically(files, file, files.ReadFile(generation / file.filename()));
    } catch (...) {
      // Whatever stopped this file: the others are still put back, and the caller told.
      whole = false;
    }
  }
  return whole;
}

// The generations beyond the number to keep go, oldest first. One that cannot go now goes with a
// later run: the commit is whole already.
void Prune(FileSystem& files, const fs::path& working_dir, int keep) {
  try {
    std::vector<GenerationInfo> generations = ListGenerations(files, working_dir);
    const std::size_t kept = static_cast<std::size_t>(std::max(keep, 1));
    for (std::size_t i = 0; i + kept < generations.size(); ++i) {
      // Out of the list first, in one step, then removed without putting each removal on the
      // disk: what a crash leaves of it is a folder that is no generation, which the next run
      // removes (Recover), never half of one.
      const fs::path& folder = generations[i].folder;
      try {
        const fs::path doomed =
            Child(folder.parent_path(), Utf8(folder.filename()) + std::string(kPruned));
        files.Rename(folder, doomed);
        platform::RemoveTreeUnsynced(files, doomed);
      } catch (...) {
        // A generation that cannot go now goes with a later run.
      }
    }
  } catch (...) {
    // Generations that cannot even be listed: pruning waits for a later run.
  }
}

}  // namespace

fs::path OwnFolder(const fs::path& working_dir) { return Child(working_dir, kOwnFolder); }
fs::path JournalFile(const fs::path& working_dir) {
  return Child(OwnFolder(working_dir), kJournal);
}
fs::path RunLockFile(const fs::path& working_dir) { return Child(OwnFolder(working_dir), kRunLock); }
fs::path BackupsFolder(const fs::path& working_dir) {
  return Child(OwnFolder(working_dir), kBackups);
}
fs::path SettingsFile(const fs::path& working_dir) {
  return Child(OwnFolder(working_dir), kSettings);
}

std::string RunNameOf(std::string_view run) {
  if (run == "conversion") return "conversi\xF3n";
  if (run == "exportacion") return "exportaci\xF3n";
  if (run == "restauracion") return "restauraci\xF3n";
  return std::string(run);
}

std::vector<GenerationInfo> ListGenerations(FileSystem& files, const fs::path& working_dir) {
  std::vector<GenerationInfo> generations;
  for (const fs::path& entry : files.List(BackupsFolder(working_dir))) {
    if (!AllDigits(Utf8(entry.filename())) || !files.IsFolder(entry)) continue;
    if (auto info = ReadGeneration(files, entry)) generations.push_back(std::move(*info));
  }
  std::sort(generations.begin(), generations.end(),
            [](const GenerationInfo& a, const GenerationInfo& b) { return a.number < b.number; });
  return generations;
}

int GenerationsToKeep(FileSystem& files, const fs::path& working_dir) {
  try {
    const std::optional<std::string> value =
        platform::ReadIniValue(files, SettingsFile(working_dir), "Copias", "Conservar");
    if (value && AllDigits(*value) && value->size() <= 6) {
      const int number = std::atoi(value->c_str());
      if (number >= 1) return number;
    }
  } catch (const Error&) {
    // An unreadable settings file: the default.
  }
  return kDefaultGenerations;
}

std::optional<GenerationInfo> CommitFiles(FileSystem& files, const fs::path& working_dir,
                                          const CommitPlan& plan) {
  // 1. Nothing the user made read-only is replaced or removed.
  for (const Replacement& replacement : plan.replacements) {
    if (files.IsFile(replacement.target)) RefuseReadOnly(files, replacement.target);
  }
  for (const fs::path& removal : plan.removals) {
    if (files.IsFile(removal)) RefuseReadOnly(files, removal);
  }

  // 2. The old files are kept as a generation, made aside and published by the journal.
  const fs::path own = OwnFolder(working_dir);
  const fs::path backups = BackupsFolder(working_dir);
  files.CreateFolder(own);
  int number = 1;
  for (const GenerationInfo& info : ListGenerations(files, working_dir)) {
    number = std::max(number, info.number + 1);
  }
  GenerationInfo info;
  info.number = number;
  info.date = Now();
  info.run = plan.run;
  info.document = plan.document;
  info.template_code = plan.template_code;
  info.school = plan.school;
  const fs::path final_folder = Child(backups, GenerationName(number));
  const fs::path partial = Child(backups, GenerationName(number) + std::string(kPartial));
  info.folder = final_folder;

  // Replacements of the working folder first, those outside it (the export's document) last:
  // once the first outside one has moved, nothing is left that can fail.
  const auto outside = [](const Replacement& r) { return r.outside; };
  // Inside the folder, those kept before those that are not (our own records).
  std::vector<const Replacement*> ordered;
  for (const Replacement& r : plan.replacements) {
    if (!outside(r) && r.keep_old) ordered.push_back(&r);
  }
  for (const Replacement& r : plan.replacements) {
    if (!outside(r) && !r.keep_old) ordered.push_back(&r);
  }
  for (const Replacement& r : plan.replacements) {
    if (outside(r)) ordered.push_back(&r);
  }

  // A run that replaces nothing that was there (the first conversion into a folder) keeps only
  // its report, and makes no generation without one.
  bool keeping = !plan.extras.empty();
  for (const Replacement* replacement : ordered) {
    keeping = keeping || (replacement->keep_old && files.IsFile(replacement->target));
  }
  for (const fs::path& removal : plan.removals) keeping = keeping || files.IsFile(removal);

  // The renderings under way (they touch no file): a failure goes on once they have ended.
  Renderings rendered;
  try {
    platform::RemoveTree(files, partial);
    if (keeping) {
      // The extras to render (the report's files, tens of megabytes for a large school) are made
      // beside the copies of the old files and the writing of one another, in the memory the run
      // has freed: every thread takes its blocks from the one heap (UseHugeMemoryPages).
      rendered.Start(plan.extras);
      files.CreateFolder(backups);
      files.CreateFolder(partial);
      for (const Replacement* replacement : ordered) {
        if (!replacement->keep_old) continue;
        const std::string name = Utf8(replacement->target.filename());
        if (outside(*replacement)) {
          // Outside the folder only what was there is kept; a new document is the user's.
          if (files.IsFile(replacement->target)) {
            Keep(files, replacement->target, partial);
            info.outside.push_back(Utf8(replacement->target));
          }
        } else if (files.IsFile(replacement->target)) {
          Keep(files, replacement->target, partial);
          info.files.push_back(name);
        } else {
          info.absent.push_back(name);
        }
      }
      for (const fs::path& removal : plan.removals) {
        if (!files.IsFile(removal)) continue;
        Keep(files, removal, partial);
        info.files.push_back(Utf8(removal.filename()));
      }
      for (std::size_t i = 0; i < plan.extras.size(); ++i) {
        const GenerationExtra& extra = plan.extras[i];
        if (!extra.render) {
          WriteText(files, Child(partial, extra.file_name), extra.contents);
          continue;
        }
        rendered.Write(files, Child(partial, extra.file_name), i);
      }
      WriteText(files, Child(partial, kManifest), ManifestText(info));
    }

    // A replacing file keeps the permissions of the one it replaces.
    for (const Replacement* replacement : ordered) {
      if (const auto mode = files.Mode(replacement->target)) {
        files.SetMode(replacement->staged, *mode);
      }
    }
  } catch (...) {
    // Nothing has moved yet: the generation being made goes, the error goes on.
    try {
      platform::RemoveTree(files, partial);
    } catch (...) {
      // A partial generation left is removed by the next run (Recover).
    }
    throw;
  }

  // 3. The commit point: the journal names every move still to make.
  Journal journal;
  for (const Replacement* replacement : ordered) {
    journal.moves.push_back({replacement->staged, replacement->target});
  }
  if (keeping) journal.moves.push_back({partial, final_folder});
  journal.removals = plan.removals;
  const fs::path journal_file = JournalFile(working_dir);
  try {
    platform::WriteFileAtomically(files, journal_file, JournalText(journal));
  } catch (...) {
    // Nothing has moved yet: the generation being made goes, the error goes on.
    try {
      platform::RemoveTree(files, partial);
    } catch (...) {
      // A partial generation left is removed by the next run (Recover).
    }
    throw;
  }

  // 4. The removals, then the moves (those outside the folder last). One that fails puts the old
  // files back and removes the journal, so that the folder is as it was.
  std::vector<const Replacement*> moved;
  std::vector<fs::path> removed;
  try {
    for (const fs::path& removal : plan.removals) {
      if (files.Remove(removal)) removed.push_back(removal);
    }
    for (const Replacement* replacement : ordered) {
      files.Rename(replacement->staged, replacement->target);
      moved.push_back(replacement);
    }
  } catch (...) {
    // A move that failed, whatever the cause: the old files go back, the error goes on.
    if (PutBack(files, moved, removed, partial)) {
      RemoveQuietly(files, journal_file);
      try {
        platform::RemoveTree(files, partial);
      } catch (...) {
        // A partial generation left is removed by the next run (Recover).
      }
    }
    throw;
  }
  std::optional<GenerationInfo> made;
  if (keeping) {
    try {
      files.Rename(partial, final_folder);
      made = info;
    } catch (...) {
      // The tables are in place; only the generation is lost.
      try {
        platform::RemoveTree(files, partial);
      } catch (...) {
        // A partial generation left is removed by the next run (Recover).
      }
    }
  }
  // The commit is whole: a journal left behind names moves already made, which the next run
  // passes over.
  RemoveQuietly(files, journal_file);

  // 5. The generations beyond the number to keep go, oldest first.
  Prune(files, working_dir, plan.generations_to_keep);
  return made;
}

void RecordExternalTemporary(FileSystem& files, const fs::path& working_dir,
                             const fs::path& temporary) {
  const fs::path own = OwnFolder(working_dir);
  files.CreateFolder(own);
  const fs::path intents = Child(own, kIntents);
  std::string text = files.IsFile(intents) ? files.ReadFile(intents) : std::string();
  text += EscapeField(Utf8(temporary)) + "\n";
  platform::WriteFileAtomically(files, intents, text);
}

void ForgetExternalTemporaries(FileSystem& files, const fs::path& working_dir) {
  RemoveQuietly(files, Child(OwnFolder(working_dir), kIntents));
}

Recovery Recover(FileSystem& files, const fs::path& working_dir) {
  Recovery recovery;
  if (!files.IsFolder(working_dir)) return recovery;
  const fs::path own = OwnFolder(working_dir);

  // A commit that got past its commit point is carried to its end.
  const fs::path journal_file = JournalFile(working_dir);
  if (files.IsFile(journal_file)) {
    if (const std::optional<Journal> journal = ParseJournal(files.ReadFile(journal_file))) {
      for (const JournalMove& move : journal->moves) {
        if (files.IsFile(move.from) || files.IsFolder(move.from)) files.Rename(move.from, move.to);
      }
      for (const fs::path& removal : journal->removals) files.Remove(removal);
      recovery.finished_commit = true;
    }
    files.Remove(journal_file);
  }

  // Temporary files of ours: staged tables and half-written files in the working folder, in our
  // folder, and outside (the intents); generations never published.
  auto remove = [&](const fs::path& file) {
    if (files.Remove(file)) ++recovery.temporary_files_removed;
  };
  for (const fs::path& entry : files.List(working_dir)) {
    const std::string name = Utf8(entry.filename());
    const bool ours = name.starts_with(kStagedPrefix) || name.find(".~") != std::string::npos;
    if (ours && platform::IsTemporaryName(name) && files.IsFile(entry)) remove(entry);
  }
  for (const fs::path& entry : files.List(own)) {
    if (platform::IsTemporaryName(Utf8(entry.filename())) && files.IsFile(entry)) remove(entry);
  }
  const fs::path intents = Child(own, kIntents);
  if (files.IsFile(intents)) {
    for (const std::string& line : Lines(files.ReadFile(intents))) {
      const fs::path temporary = platform::PathFromUtf8(UnescapeField(line));
      if (files.IsFile(temporary)) remove(temporary);
    }
    files.Remove(intents);
  }
  for (const fs::path& entry : files.List(BackupsFolder(working_dir))) {
    if (!AllDigits(Utf8(entry.filename())) && files.IsFolder(entry)) {
      platform::RemoveTree(files, entry);
      ++recovery.temporary_files_removed;
    }
  }
  return recovery;
}

}  // namespace tc::store
