// AULAT: one row per ITACA room, with a short code of at most 10 characters derived from the
// ITACA code and unique within the table.
#include <string>

#include "base/text.h"
#include "conversion/short_codes.h"
#include "conversion/stages.h"
#include "store/schemas.h"

namespace tc {

namespace {

constexpr std::size_t kCodeWidth = 10;  // AULAT.ABREV
constexpr int kShortenedBase = 8;       // a long code keeps this much before its number
constexpr int kCodeFromNameLength = 4;  // a room without code is named by its name's start

}  // namespace

void ImportRooms(ConversionContext& ctx) {
  store::Table aulat = ctx.tables.Create(store::AulatTable());
  CodesSeen codes_seen;  // every ABREV given in this run

  const itaca::ElementList rooms = ctx.document.Select(itaca::kRooms);
  for (const itaca::Element& room : TakeList(ctx, rooms)) {
      const std::string name = room.Attr("nombre");
      const std::string itaca_code = room.Attr("codigo");
      ctx.report.Name(report::NameKind::Room, itaca_code, name);

      std::string code = itaca_code;
      if (code.empty()) code = Left(name, kCodeFromNameLength);
      const std::string wanted = code;

      // A repeat gets the first free number: A1, A11, a12 (letter case is not significant).
      code = UniqueNumbered(code, codes_seen);
      // A code too long for the field, repeat or not, is cut and numbered again: the list holds
      // only codes that fit, so this can collide only with codes of 10 characters or less.
      if (code.size() > kCodeWidth) {
        code = FirstFreeNumbered(Left(code, kShortenedBase), codes_seen, kCodeWidth);
      }
      codes_seen.Add(code);

      // One entry per room: named by its name's start, else cut for being too long, else
      // numbered for being a repeat.
      if (itaca_code.empty()) {
        ctx.report.Renamed(report::Reason::RoomWithoutCode, Where(room), itaca_code, code)
            .Code("nombre", name);
      } else if (code != wanted) {
        ctx.report
            .Renamed(wanted.size() > kCodeWidth ? report::Reason::CodeShortened
                                                : report::Reason::CodeNumbered,
                     Where(room), wanted, code)
            .Code("nombre", name);
      }

      aulat.Append();
      aulat.SetText("ABREV", code);
      aulat.SetText("NOMBRE", name);
      aulat.SetText("ABREV_ITACA", itaca_code);  // the ITACA code, not the name's start
      aulat.Post();
    }
  aulat.Close();
}

}  // namespace tc
