#include "run/restore.h"

#include <algorithm>
#include <cstdio>

#include "base/codepage.h"
#include "base/error.h"
#include "platform/platform.h"
#include "run/work_record.h"
#include "store/database.h"
#include "store/table.h"

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
  result.backup = db.Restore(*chosen, KeptRecords(workplace), RestoredRecords(workplace, *chosen));
  return result;
}

std::string RunName(const store::GenerationInfo& generation) {
  return store::RunNameOf(generation.run);
}

namespace {

constexpr std::string_view kReportFile = "informe.txt";

std::string UpperStem(const std::string& file_name) {
  return AsciiUpperCase(file_name.substr(0, file_name.rfind('.')));
}

bool IsTableFile(const std::string& file_name) {
  const std::size_t dot = file_name.rfind('.');
  return dot != std::string::npos && LowerCase(file_name.substr(dot)) == ".dbf";
}

std::string FileNameOf(const std::string& utf8_path) {
  return Utf8ToCp1252(platform::PathToUtf8(platform::PathFromUtf8(utf8_path).filename()));
}

}  // namespace

std::vector<Backup> DescribeBackups(const Workplace& workplace) {
  std::vector<Backup> backups;
  for (store::GenerationInfo& generation : ListBackups(workplace)) {
    Backup backup;
    for (const std::string& file : generation.files) {
      if (!IsTableFile(file)) continue;
      BackupTable table{UpperStem(file), 0};
      try {
        store::Table kept = store::Table::Open(generation.folder / platform::PathFromUtf8(file),
                                               store::OpenMode::Shared, *workplace.files);
        table.rows = static_cast<std::size_t>(kept.RecordCount());
        kept.Close();
      } catch (const Error&) {
        // Shown with no rows; a restore of it says what is wrong.
      }
      backup.tables.push_back(std::move(table));
    }
    backup.has_report = workplace.files->IsFile(generation.folder /
                                                platform::PathFromUtf8(kReportFile));
    backup.generation = std::move(generation);
    backups.push_back(std::move(backup));
  }
  return backups;
}

std::string BackupLine(const Backup& backup) {
  const store::GenerationInfo& g = backup.generation;
  std::string line = std::to_string(g.number) + "  " + g.date + "  " + RunName(g) + "  " +
                     (g.document.empty() ? std::string("-") : FileNameOf(g.document));
  line += "  plantilla " + (g.template_code.empty() ? std::string("-") : g.template_code);
  if (!g.school.empty()) line += "  " + g.school;
  return line;
}

std::string BackupRows(const Backup& backup) {
  std::string text;
  for (const BackupTable& table : backup.tables) {
    if (!text.empty()) text += ", ";
    text += table.table + " " + std::to_string(table.rows);
  }
  if (text.empty()) text = "ninguna tabla (la carpeta no ten\xED" "a tablas de Clepsa)";
  return text;
}

std::string BackupReport(const Backup& backup, const Workplace& workplace) {
  if (!backup.has_report) return {};
  platform::FileSystem& files = *workplace.files;
  const std::filesystem::path file =
      backup.generation.folder / platform::PathFromUtf8(kReportFile);
  try {
    return Utf8ToCp1252(files.ReadFile(file));
  } catch (const Error&) {
    return {};
  }
}

std::string RestoreQuestion(const Backup& backup, const Workplace& workplace) {
  const store::GenerationInfo& g = backup.generation;
  std::string text = "\xBFReponer la copia de seguridad " + std::to_string(g.number) + "?\n\n" +
                     "Las tablas de Clepsa de la carpeta " + platform::PathText(workplace.folder) +
                     " volver\xE1n a estar como antes de la " + RunName(g) + " del " + g.date;
  if (!g.document.empty()) text += " (" + FileNameOf(g.document) + ")";
  text += ".\n";
  for (const BackupTable& table : backup.tables) {
    text += "  se sustituye " + table.table + " por la de la copia (" +
            std::to_string(table.rows) + (table.rows == 1 ? " fila" : " filas") + ")\n";
  }
  for (const std::string& file : g.files) {
    if (!IsTableFile(file)) text += "  se repone " + Utf8ToCp1252(file) + "\n";
  }
  for (const std::string& file : g.absent) {
    text += "  se quita " + Utf8ToCp1252(file) + " (no estaba antes)\n";
  }
  for (const std::string& file : g.outside) {
    text += "  se repone el documento " + Utf8ToCp1252(file) + "\n";
  }
  text += "\nLo que hay ahora se guarda antes en una copia de seguridad nueva, que deshace esta "
          "reposici\xF3n.";
  return text;
}

std::string RestoreDoneText(const RestoreResult& result, const Workplace& workplace) {
  std::string text = "Repuesta la copia " + std::to_string(result.restored.number) +
                     " (las tablas de antes de la " + RunName(result.restored) + " del " +
                     result.restored.date + ") en " + platform::PathText(workplace.folder) + ":\n";
  for (const std::string& file : result.restored.files) {
    text += "  repuesto " + Utf8ToCp1252(file) + "\n";
  }
  for (const std::string& file : result.restored.absent) {
    text += "  quitado  " + Utf8ToCp1252(file) + "\n";
  }
  for (const std::string& file : result.restored.outside) {
    text += "  repuesto " + Utf8ToCp1252(file) + "\n";
  }
  return text;
}

}  // namespace tc
