// The exit statuses of the `transclepsa` command, shared by every subcommand.
#pragma once

namespace tc::cli {

enum class ExitStatus : int {
  Completed = 0,     // the run completed ("Proceso finalizado"), or a listing was printed
  Failed = 1,        // the run ended with an error; the message is on standard error
  MissingInput = 2,  // the input does not exist ("No existe archivo", "No existe archivo XML o Solución.")
  Usage = 64,        // wrong usage of the command line (as sysexits' EX_USAGE)
};

inline int ToInt(ExitStatus status) { return static_cast<int>(status); }

}  // namespace tc::cli
