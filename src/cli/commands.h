// The subcommands of `transclepsa`: a conversion without windows, the listing of a document's
// time templates, and the export. Options arrive as UTF-8 text, as typed; they are converted to
// the core's Windows-1252 here. Output is UTF-8.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "exit_status.h"

namespace tc::cli {

// What every run command may be asked besides its own options.
struct OutputOptions {
  std::optional<std::string> report_file;  // --report: where to keep the run's report
  bool quiet = false;                      // -q: nothing on standard output
  bool force = false;                      // --force: go on despite every guard
};

struct ConvertOptions : OutputOptions {
  std::string file;                          // the ITACA document
  std::optional<std::string> data_dir;       // the working folder
  std::optional<std::string> template_code;  // typed into the template combo box
  std::optional<std::string> language;       // the text of the language combo box
  bool all_templates = false;                // Yes to the multi-template question
  bool keep_idle = false;                    // No to the prune question
};

struct TemplatesOptions {
  std::string file;
  std::optional<std::string> language;
};

struct ExportOptions : OutputOptions {
  std::string file;
  std::optional<std::string> data_dir;
  std::optional<std::string> template_code;  // "" chooses none
  std::optional<std::string> school_year;    // typed into the school-year combo box
};

struct RestoreOptions {
  std::optional<std::string> data_dir;
  bool list = false;          // --list: only show the backups
  std::optional<int> number;  // which backup to put back; the latest when none
};

ExitStatus Convert(const ConvertOptions& options, std::ostream& out, std::ostream& err);
ExitStatus ListTemplates(const TemplatesOptions& options, std::ostream& out, std::ostream& err);
ExitStatus Export(const ExportOptions& options, std::ostream& out, std::ostream& err);

// `check`: the conversion (or, with `--export`, the export) run without changing anything in the
// working folder; prints the report and the preview of the changes. Exits as the run would.
ExitStatus CheckConversion(const ConvertOptions& options, std::ostream& out, std::ostream& err);
ExitStatus CheckExport(const ExportOptions& options, std::ostream& out, std::ostream& err);

// `restore`: lists the backups of the working folder's tables, or puts one back.
ExitStatus Restore(const RestoreOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tc::cli
