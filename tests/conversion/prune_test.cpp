// Groups and teachers without any ASIGT row, removed on request after a one-template import.
#include <gtest/gtest.h>

#include "conversion/stage_rows.h"
#include "conversion/stages.h"
#include "support/conversion_run.h"
#include "support/test_support.h"

namespace tc {
namespace {

using test::Dump;
using test::FillTable;
using test::Lines;

// Teachers PA, PB, PC; lessons of 1A with PA and of "2a" with PB, a duty of PB. Idle: PC and
// every group but 1A (letter case counts).
struct PruneRun : test::ConversionRun {
  explicit PruneRun(const Lines& groups) : ConversionRun("<centro/>") {
    std::vector<Lines> rows = {{"ABREV"}};
    for (const auto& group : groups) rows.push_back({group});
    FillTable(tables, store::GrupostTable(), rows);
    FillTable(tables, store::ProftTable(), {{"ABREV"}, {"PA"}, {"PB"}, {"PC"}});
    FillTable(tables, store::AsigtTable(),
              {{"CGRUP", "CPROF"}, {"1A", "PA"}, {"2a", "PB"}, {"", "PB"}});
  }
  Lines Groups() { return Dump(tables, "GRUPOST", {"ABREV"}); }
  Lines Teachers() { return Dump(tables, "PROFT", {"ABREV"}); }
};

TEST(Prune, EveryTemplateTakenOrNoKeepEverything) {
  PruneRun all({"1A", "1B", "2A"});
  all.ui.answers[Question::RemoveIdleGroupsAndTeachers] = true;
  PruneIdleGroupsAndTeachers(all.ctx, TemplatesTaken::All);
  EXPECT_TRUE(all.ui.questions.empty());
  EXPECT_EQ(all.Groups(), (Lines{"1A", "1B", "2A"}));
  EXPECT_EQ(all.Teachers(), (Lines{"PA", "PB", "PC"}));

  PruneRun no({"1A", "1B", "2A"});
  no.ui.answers[Question::RemoveIdleGroupsAndTeachers] = false;
  PruneIdleGroupsAndTeachers(no.ctx, TemplatesTaken::OnlySelected);
  EXPECT_EQ(no.ui.questions, std::vector<Question>{Question::RemoveIdleGroupsAndTeachers});
  EXPECT_EQ(QuestionText(Question::RemoveIdleGroupsAndTeachers),
            test::W(
                "                       !!! I M P O R T A N T E !!!                         \r\n"
                "Existen Grupos de Clase y Profesores que NO tienen Clases en esta Plantilla.\r\n"
                "Tanto, QUITAR como DEJAR estos Grupos y Profesores, No afectará al Horario.\r\n"
                "¿Quieren quitar dichos Grupos y Profesores, del Horario que se va a Importar?."));
  EXPECT_EQ(no.Groups(), (Lines{"1A", "1B", "2A"}));
  EXPECT_EQ(no.Teachers(), (Lines{"PA", "PB", "PC"}));
}

TEST(Prune, YesRemovesEveryIdleGroupAndTeacher) {
  PruneRun yes({"1B", "1A", "2A"});
  yes.ui.answers[Question::RemoveIdleGroupsAndTeachers] = true;
  PruneIdleGroupsAndTeachers(yes.ctx, TemplatesTaken::OnlySelected);
  EXPECT_EQ(yes.ui.questions.size(), 1u);
  EXPECT_EQ(yes.Groups(), Lines{"1A"});
  EXPECT_EQ(yes.Teachers(), (Lines{"PA", "PB"}));
}

TEST(Prune, IdleTeachersGoWithoutAQuestionWhenNoGroupIsIdle) {
  PruneRun run({"1A"});
  PruneIdleGroupsAndTeachers(run.ctx, TemplatesTaken::OnlySelected);
  EXPECT_TRUE(run.ui.questions.empty());
  EXPECT_EQ(run.Groups(), Lines{"1A"});
  EXPECT_EQ(run.Teachers(), (Lines{"PA", "PB"}));
}

}  // namespace
}  // namespace tc
