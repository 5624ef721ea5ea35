#include "run/restore.h"

#include <algorithm>
#include <cstdio>

#include "base/error.h"
#include "platform/platform.h"
#include "store/database.h"

namespace tc {

namespace {

void RequireFolder(const Workplace& workplace) {
  if (!workplace.files->IsFolder(workplace.folder)) {
    throw Error("No existe la carpeta de trabajo " + platform::PathText(workplace.folder) + ".",
                ErrorKind::InputMissing, platform::PathText(workplace.folder));
  }
}

std::string Numbers(const std::vector<store::GenerationInfo>& generations) {
  std::string text;
  for (const store::GenerationInfo& generation : generations) {
    if (!text.empty()) text += ", ";
    text += std::to_string(generation.number);
  }
  return text;
}

}  // namespace

std::vector<store::GenerationInfo> ListBackups(const Workplace& workplace) {
  RequireFolder(workplace);
  // What an interrupted run left is finished or undone first, so that the list is what a
  // restore would find.
  std::optional<RunLock> turn;
  if (workplace.files->IsFolder(store::OwnFolder(workplace.folder))) turn.emplace(workplace);
  return store::ListGenerations(*workplace.files, workplace.folder);
}

RestoreResult RestoreBackup(const Workplace& workplace, std::optional<int> number) {
  RequireFolder(workplace);
  const RunLock turn(workplace);
  const std::vector<store::GenerationInfo> generations =
      store::ListGenerations(*workplace.files, workplace.folder);
  if (generations.empty()) {
    throw Error("No hay copias de seguridad en la carpeta " +
                    platform::PathText(workplace.folder) +
                    ": se guardan cada vez que una ejecuci\xF3n sustituye las tablas de Clepsa.",
                ErrorKind::InputMissing, platform::PathText(workplace.folder));
  }
  auto chosen = generations.end() - 1;
  if (number) {
    chosen = std::find_if(generations.begin(), generations.end(),
                          [&](const store::GenerationInfo& g) { return g.number == *number; });
    if (chosen == generations.end()) {
      throw Error("No existe la copia de seguridad " + std::to_string(*number) +
                      " en la carpeta " + platform::PathText(workplace.folder) +
                      ". Las copias que hay son: " + Numbers(generations) + ".",
                  ErrorKind::InputMissing, platform::PathText(workplace.folder));
    }
  }
  RestoreResult result;
  result.restored = *chosen;
  store::Database db(workplace.folder, *workplace.files);
  result.backup = db.Restore(*chosen);
  return result;
}

std::string RunName(const store::GenerationInfo& generation) {
  if (generation.run == "conversion") return "conversi\xF3n";
  if (generation.run == "exportacion") return "exportaci\xF3n";
  if (generation.run == "restauracion") return "restauraci\xF3n";
  return generation.run;
}

}  // namespace tc
