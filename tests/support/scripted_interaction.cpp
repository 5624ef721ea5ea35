#include "support/scripted_interaction.h"

namespace tc::test {

std::optional<TemplateChoice> ScriptedInteraction::ChooseTemplate(TemplateDialog& dialog) {
  ++template_dialogs;
  if (language) dialog.SetLanguage(*language);
  if (template_code) dialog.SetCodeText(*template_code);
  if (close_template_dialog) return std::nullopt;
  return dialog.Result();
}

bool ScriptedInteraction::GoOnDespite(const Guard& guard) {
  guards.push_back(guard);
  auto answer = go_on.find(guard.kind);
  return answer != go_on.end() && answer->second;
}

void ScriptedInteraction::ChooseSchoolYear(SchoolYearDialog& dialog) {
  ++school_year_dialogs;
  if (school_year) dialog.SetComboText(*school_year);
}

}  // namespace tc::test
