// How the report's first lines and its HTML page say hours, codes and days, in one place.
#pragma once

#include <cmath>
#include <string>
#include <string_view>

#include "report/report.h"

namespace tc::report {

// "4 h", "2.5 h".
inline std::string HoursText(double hours) {
  const double whole = std::round(hours);
  const std::string text = whole == hours ? std::to_string(static_cast<long long>(whole))
                                          : std::to_string(hours).substr(0, 4);
  return text + " h";
}

// "Valencià: Llengua i Literatura (30120102)"; the bare code when no name is known.
inline std::string Named(const Report& report, NameKind kind, std::string_view code) {
  if (code.empty())
    return "(sin c\xF3"
           "digo)";
  const std::string_view name = report.NameOf(kind, code);
  if (name.empty() || name == code) return std::string(code);
  return std::string(name) + " (" + std::string(code) + ")";
}

// "lunes" for 1 to "domingo" for 7; "d\xEDa ?" for any other number.
inline std::string_view DayName(int day) {
  constexpr std::string_view kDays[] = {"lunes",
                                        "martes",
                                        "mi\xE9rcoles",
                                        "jueves",
                                        "viernes",
                                        "s\xE1"
                                        "bado",
                                        "domingo"};
  return day >= 1 && day <= 7 ? kDays[day - 1]
                              : std::string_view("d\xED"
                                                 "a ?");
}

}  // namespace tc::report
