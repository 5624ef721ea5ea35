// The guards: a run about to do something that is most probably a mistake (a conversion that
// would leave Clepsa without lessons, an export of another template, of another school or of a
// timetable computed before the last conversion) asks first, and goes on only when the user says
// so. Each guard has its identity; the desktop programs ask it with "No" as the default answer,
// the command line refuses it unless --force is given, the tests answer it from a script.
#pragma once

#include <string>
#include <string_view>

namespace tc {

enum class GuardKind {
  EmptyResult,            // the conversion would leave no lesson in ASIGT or no slot in DIASHORAST
  ExportWithoutTemplate,  // an export with no template chosen
  ExportOtherTemplate,    // an export with another template than the conversion's
  ExportOtherSchool,      // the document is of another school or school year than the tables
  SolutionOutdated,       // SOLUC was written before the last conversion
};

struct Guard {
  GuardKind kind;
  std::string what;  // what is wrong and why, Windows-1252, lines joined by CR LF
};

// The guard as the desktop's question shows it: what is wrong, then the question.
std::string GuardQuestion(const Guard& guard);

// Its stable name, for the command line ("plantilla_distinta").
std::string_view GuardName(GuardKind kind);

}  // namespace tc
