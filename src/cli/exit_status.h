// The exit statuses of the `transclepsa` command, shared by every subcommand: one per kind of
// outcome, so that a calling script can tell "try again later" from "fix the input". 0, 1, 2 and
// 64 keep the meaning they have always had; a failure that used to end with 1 and now has a more
// precise status still ends with a status other than 0.
#pragma once

#include "base/error.h"

namespace tc::cli {

enum class ExitStatus : int {
  Completed = 0,      // the run completed ("Proceso finalizado"), or a listing was printed
  Failed = 1,         // a table missing or damaged, data the run cannot use, a fault of ours
  MissingInput = 2,   // the input does not exist ("No existe archivo", "No existe archivo XML o
                      // Solución.")
  BadDocument = 3,    // the document cannot be read, is not well-formed, or lacks an attribute
  InUse = 4,          // a table is held by another program, or another run works on the folder:
                      // try again later
  CannotWrite = 5,    // a file cannot be written: disk full, read-only, no permission
  Usage = 64,         // wrong usage of the command line (as sysexits' EX_USAGE)
};

inline int ToInt(ExitStatus status) { return static_cast<int>(status); }

// The status a run that ended with `error` exits with.
inline ExitStatus StatusOf(const Error& error) {
  switch (error.kind()) {
    case ErrorKind::InputMissing:
      return ExitStatus::MissingInput;
    case ErrorKind::DocumentUnreadable:
    case ErrorKind::DocumentMalformed:
    case ErrorKind::AttributeMissing:
      return ExitStatus::BadDocument;
    case ErrorKind::InUse:
    case ErrorKind::RunInProgress:
      return ExitStatus::InUse;
    case ErrorKind::DiskOrPermission:
      return ExitStatus::CannotWrite;
    case ErrorKind::Usage:
      return ExitStatus::Usage;
    case ErrorKind::TableMissing:
    case ErrorKind::TableDamaged:
    case ErrorKind::InvalidData:
    case ErrorKind::Internal:
      break;
  }
  return ExitStatus::Failed;
}

}  // namespace tc::cli
