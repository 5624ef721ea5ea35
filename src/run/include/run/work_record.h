// What the last conversion and the last export in a working folder were made from, kept in our
// folder inside the working folder and written as part of each run's crash-safe commit, so that
// an export can tell whether it belongs to the conversion that built the tables.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "run/workplace.h"
#include "store/safe_commit.h"

namespace tc {

namespace itaca {
class Document;
}

// What the last conversion in a working folder was made from (kept in our folder inside the
// working folder, written as part of the conversion's commit).
struct ConversionRecord {
  std::string school_code;        // centro/@codigo, Windows-1252
  std::string school_name;        // centro/@denominacion
  std::string school_year;        // centro/@curso
  std::filesystem::path document; // the ITACA file converted
  std::string digest;             // hex digest of that file's bytes
  std::string template_code;
  bool all_templates = false;     // the lessons of every template were taken, not only its
  std::string language;
  std::string time;               // local time of the conversion, "AAAA-MM-DD HH:MM:SS"
  std::int64_t time_seconds = 0;  // the same, seconds since the epoch (file times compare to it)
};
struct ExportRecord {
  std::filesystem::path document;  // the ResultadoClepsa….xml written
  std::string template_code;
  std::string time;
  std::int64_t time_seconds = 0;
};

// Nullopt when the folder holds no record (tables of an older version of the program) or one
// that cannot be read.
std::optional<ConversionRecord> ReadConversionRecord(const Workplace& workplace);
std::optional<ExportRecord> ReadExportRecord(const Workplace& workplace);

// The record files in our folder.
std::filesystem::path ConversionRecordFile(const std::filesystem::path& working_dir);
std::filesystem::path ExportRecordFile(const std::filesystem::path& working_dir);

// The record of a conversion of `document` (loaded from `file`) made now: the school's identity
// as the root holds it (absent attributes read as empty), the digest of the bytes it was read
// from and the time.
ConversionRecord RecordOfConversion(const itaca::Document& document,
                                    const std::filesystem::path& file, std::string template_code,
                                    bool all_templates, std::string language);
ExportRecord RecordOfExport(const std::filesystem::path& output, std::string template_code);

// A record written to a temporary file in our folder, as the replacement of its record file that
// the run's commit carries out with the tables (a killed run's next start finishes or removes it).
store::Replacement StageRecord(const Workplace& workplace, const ConversionRecord& record);
store::Replacement StageRecord(const Workplace& workplace, const ExportRecord& record);

// The records as they are before a run, kept in the run's backup generation (an empty file for
// one that is not there), so that putting the generation back puts them back too: what the
// folder says of itself is then what it said before that run.
std::vector<store::GenerationExtra> KeptRecords(const Workplace& workplace);
// The replacements, committed with a restore of `generation`, that put back the records it kept.
// A generation that kept none (made before the folder had records) leaves them empty, which
// reads as no record.
std::vector<store::Replacement> RestoredRecords(const Workplace& workplace,
                                                const store::GenerationInfo& generation);

}  // namespace tc
