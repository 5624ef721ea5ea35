#include "run/preview.h"

#include <algorithm>
#include <deque>
#include <map>
#include <system_error>
#include <unordered_map>

#include "base/error.h"
#include "platform/platform.h"
#include "store/database.h"
#include "store/staged_tables.h"
#include "store/schemas.h"
#include "store/table.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

struct KeyDef {
  std::string_view table;
  std::vector<std::string_view> key;
  std::vector<std::string_view> shown;  // besides the key, in samples of added and removed rows
  std::string_view what;                // what its rows are, as a person says it
  std::vector<std::string_view> words;  // each key field as a person says it
  std::string_view name;                // the shown field a person knows a row by ("" none)
};

const std::vector<KeyDef>& Keys() {
  static constexpr std::string_view kCode = "c\xF3"
                                            "digo";  // código
  static const std::vector<KeyDef> keys = {
      {store::ProftTable().name, {"ABREV"}, {"NOMBRE", "DNI"}, "profesores", {kCode}, "NOMBRE"},
      {store::CursostTable().name, {"CLAVE"}, {"ABREV", "ESTUD"}, "cursos", {kCode}, "ABREV"},
      {store::GrupostTable().name, {"ABREV"}, {"DESCRIP", "CLAVE"}, "grupos", {"grupo"}, "DESCRIP"},
      {store::AsignomtTable().name,
       {"COD"},
       {"NOMBRE", "ABREV_ITACA"},
       "asignaturas",
       {kCode},
       "NOMBRE"},
      {store::AulatTable().name, {"ABREV"}, {"NOMBRE", "ABREV_ITACA"}, "aulas", {kCode}, "NOMBRE"},
      {store::AsigtTable().name,
       {"CLAVE", "CLAVECURSO", "ASIG_ITACA", "CPROF"},
       {"CASIG", "CGRUP", "HORAS"},
       "clases de los grupos",
       {"grupo", "curso", "asignatura", "profesor"},
       ""},
      {store::DiashorastTable().name,
       {"DIHO"},
       {"TEXTODIA", "TEXTOHOR", "MARCOXML"},
       "horas del horario",
       {"hora"},
       ""},
  };
  return keys;
}

const KeyDef* KeyOf(std::string_view table) {
  for (const KeyDef& def : Keys()) {
    if (def.table == table) return &def;
  }
  return nullptr;
}

// Every live row of a table file as texts, in file order.
struct Contents {
  std::vector<std::string> fields;
  std::vector<std::vector<std::string>> rows;

  int Column(std::string_view field) const {
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (fields[i] == field) return static_cast<int>(i);
    }
    return -1;
  }
  std::string Value(std::size_t row, std::string_view field) const {
    const int column = Column(field);
    return column < 0 ? std::string() : rows[row][static_cast<std::size_t>(column)];
  }
};

Contents Read(platform::FileSystem& files, const fs::path& file) {
  store::Table table = store::Table::Open(file, store::OpenMode::Shared, files);
  Contents contents;
  for (const store::FieldDef& field : table.Fields()) contents.fields.push_back(field.name);
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> row;
    row.reserve(contents.fields.size());
    for (const std::string& field : contents.fields) row.push_back(table.GetText(field));
    contents.rows.push_back(std::move(row));
  }
  table.Close();
  return contents;
}

std::vector<std::string> KeyFields(const KeyDef* def, const Contents& contents) {
  if (def) return {def->key.begin(), def->key.end()};
  return contents.fields;
}

// The key as a person reads it: "grupo 1ESOA, curso 301201, asignatura 30120104, profesor GMJ"
// ("-" for an empty value); FIELD=value for a table of no known kind.
std::string KeyText(const KeyDef* def, const Contents& contents, std::size_t row,
                    const std::vector<std::string>& key) {
  std::string text;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const std::string value = contents.Value(row, key[i]);
    if (def && i < def->words.size()) {
      if (!text.empty()) text += ", ";
      text += std::string(def->words[i]) + " " + (value.empty() ? std::string("-") : value);
    } else {
      if (!text.empty()) text += ' ';
      text += key[i] + "=" + value;
    }
  }
  return text;
}

// The key's values joined by a separator no text field holds.
std::string KeyValue(const Contents& contents, std::size_t row,
                     const std::vector<std::string>& key) {
  std::string value;
  for (const std::string& field : key) {
    value += contents.Value(row, field);
    value += '\x1F';
  }
  return value;
}

RowSample Sample(const KeyDef* def, const Contents& contents, std::size_t row,
                 const std::vector<std::string>& key) {
  RowSample sample{KeyText(def, contents, row, key), {}};
  if (def) {
    // The name a person knows the row by first, its code beside it.
    if (!def->name.empty() && contents.Column(def->name) >= 0) {
      const std::string name = contents.Value(row, def->name);
      if (!name.empty()) sample.key = name + " (" + sample.key + ")";
    }
    for (std::string_view field : def->shown) {
      if (field != def->name && contents.Column(field) >= 0) {
        sample.fields.emplace_back(std::string(field), contents.Value(row, field));
      }
    }
  }
  return sample;
}

void Compare(TablePreview& preview, const KeyDef* def, const Contents& before,
             const Contents& after, std::size_t examples) {
  const std::vector<std::string> key = KeyFields(def, after.fields.empty() ? before : after);
  preview.key.clear();
  for (const std::string& field : key) {
    if (!preview.key.empty()) preview.key += ", ";
    preview.key += field;
  }
  preview.rows_before = before.rows.size();
  preview.rows_after = after.rows.size();

  // The fields compared: the new table's, then any only the current one has.
  std::vector<std::string> fields = after.fields;
  for (const std::string& field : before.fields) {
    if (std::find(fields.begin(), fields.end(), field) == fields.end()) fields.push_back(field);
  }

  std::unordered_map<std::string, std::deque<std::size_t>> current;
  for (std::size_t row = 0; row < before.rows.size(); ++row) {
    current[KeyValue(before, row, key)].push_back(row);
  }
  std::vector<bool> paired(before.rows.size(), false);
  for (std::size_t row = 0; row < after.rows.size(); ++row) {
    auto found = current.find(KeyValue(after, row, key));
    if (found == current.end() || found->second.empty()) {
      ++preview.added;
      if (preview.first_added.size() < examples) {
        preview.first_added.push_back(Sample(def, after, row, key));
      }
      continue;
    }
    const std::size_t old_row = found->second.front();
    found->second.pop_front();
    paired[old_row] = true;
    RowChange change{KeyText(def, after, row, key), {}};
    for (const std::string& field : fields) {
      std::string was = before.Value(old_row, field);
      std::string now = after.Value(row, field);
      if (was != now) change.fields.push_back({field, std::move(was), std::move(now)});
    }
    if (change.fields.empty()) {
      ++preview.unchanged;
    } else {
      ++preview.changed;
      if (preview.first_changed.size() < examples) {
        preview.first_changed.push_back(std::move(change));
      }
    }
  }
  for (std::size_t row = 0; row < before.rows.size(); ++row) {
    if (paired[row]) continue;
    ++preview.removed;
    if (preview.first_removed.size() < examples) {
      preview.first_removed.push_back(Sample(def, before, row, key));
    }
  }
}

// The file of a table in a folder, whatever the letter case of its name; nullopt when none.
std::optional<fs::path> TableFile(platform::FileSystem& files, const fs::path& dir,
                                  std::string_view table) {
  const store::Database db(dir, files);
  if (!db.Exists(table)) return std::nullopt;
  return db.TablePath(table);
}

std::string Shown(const std::string& value) {
  if (!value.empty() && value.find_first_of(" \"") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string Rows(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

void SampleLine(std::string& out, char mark, const RowSample& sample) {
  out += "    ";
  out += mark;
  out += " " + sample.key;
  std::string fields;
  for (const auto& [name, value] : sample.fields) {
    fields += (fields.empty() ? "" : " ") + name + "=" + Shown(value);
  }
  if (!fields.empty()) out += ": " + fields;
  out += "\n";
}

}  // namespace

const std::vector<std::string_view>& PreviewKey(std::string_view table) {
  static const std::vector<std::string_view> none;
  const KeyDef* def = KeyOf(table);
  return def ? def->key : none;
}

bool TablesPreview::Changes() const {
  return std::any_of(tables.begin(), tables.end(),
                     [](const TablePreview& table) { return table.Changes(); });
}

TablesPreview PreviewTables(platform::FileSystem& files, const fs::path& folder,
                            const std::vector<TableFiles>& tables, std::size_t examples) {
  TablesPreview preview;
  preview.folder = folder;
  for (const TableFiles& pair : tables) {
    TablePreview& table = preview.tables.emplace_back();
    table.table = pair.table;
    table.current_exists = pair.current.has_value();
    table.after_exists = pair.after.has_value();
    Contents before, after;
    if (pair.current) {
      try {
        before = Read(files, *pair.current);
      } catch (const Error& error) {
        // The run would fail on a table another program holds: so does the preview.
        if (error.kind() == ErrorKind::InUse) throw;
        table.current_error = error.what();
        before = Contents{};
      }
    }
    if (pair.after) after = Read(files, *pair.after);
    Compare(table, KeyOf(pair.table), before, after, examples);
  }
  return preview;
}

TablesPreview PreviewFolders(platform::FileSystem& files, const fs::path& current_dir,
                             const fs::path& new_dir, const std::vector<std::string>& tables,
                             std::size_t examples) {
  std::vector<TableFiles> pairs;
  for (const std::string& table : tables) {
    pairs.push_back(
        {table, TableFile(files, current_dir, table), TableFile(files, new_dir, table)});
  }
  return PreviewTables(files, current_dir, pairs, examples);
}

TablesPreview PreviewStaged(const store::StagedTables& staged, std::size_t examples) {
  const fs::path& dir = staged.Folder().Dir();
  platform::FileSystem& files = staged.Folder().Files();
  std::vector<TableFiles> pairs;
  for (const store::TableDef* def : store::WorkingTables()) {
    const std::optional<fs::path> current = TableFile(files, dir, def->name);
    // A table the run neither created nor removed stays as it is.
    pairs.push_back(
        {def->name, current, staged.Touches(def->name) ? staged.File(def->name) : current});
  }
  return PreviewTables(files, dir, pairs, examples);
}

bool HoldsWorkingTables(platform::FileSystem& files, const fs::path& folder) {
  if (!files.IsFolder(folder)) return false;
  for (const store::TableDef* def : store::WorkingTables()) {
    if (TableFile(files, folder, def->name)) return true;
  }
  return false;
}

std::string RenderPreview(const TablesPreview& preview) {
  std::string out;
  // First the tables that would end empty or lose more than half of their rows.
  for (const TablePreview& table : preview.tables) {
    if (!table.current_exists || table.rows_before == 0) continue;
    const std::size_t after = table.after_exists ? table.rows_after : 0;
    const KeyDef* def = KeyOf(table.table);
    const std::string name =
        table.table + (def ? " (" + std::string(def->what) + ")" : std::string());
    if (after == 0) {
      out += "\xA1" "Atenci\xF3n! La tabla " + name + " se quedar\xED" "a vac\xED" "a: " +
             Rows(table.rows_before, "fila", "filas") + " ahora, 0 despu\xE9s.\n";
    } else if (after * 2 < table.rows_before) {
      out += "\xA1" "Atenci\xF3n! La tabla " + name + " perder\xED" "a m\xE1s de la mitad de sus "
             "filas: " + Rows(table.rows_before, "fila", "filas") + " ahora, " +
             std::to_string(after) + " despu\xE9s.\n";
    }
  }
  if (!out.empty()) out += "\n";
  out += "Cambios en la carpeta de trabajo " + platform::PathText(preview.folder) + ":\n";
  for (const TablePreview& table : preview.tables) {
    const KeyDef* def = KeyOf(table.table);
    out += "  " + table.table +
           (def ? ", " + std::string(def->what) : " (clave " + table.key + ")") + ": ";
    if (!table.current_exists && !table.after_exists) {
      out += "no existe ni existir\xED" "a\n";
      continue;
    }
    if (!table.current_exists) {
      out += "no existe; se crear\xED" "a con " + Rows(table.rows_after, "fila", "filas") + "\n";
    } else if (!table.after_exists) {
      out += "se borrar\xED" "a (" + Rows(table.rows_before, "fila", "filas") + ")\n";
    } else if (!table.Changes()) {
      out += "sin cambios (" + Rows(table.rows_after, "fila", "filas") + ")\n";
    } else {
      out += Rows(table.rows_before, "fila", "filas") + " ahora, " +
             std::to_string(table.rows_after) + " despu\xE9s: " +
             Rows(table.added, "a\xF1" "adida", "a\xF1" "adidas") + ", " +
             Rows(table.removed, "quitada", "quitadas") + ", " +
             Rows(table.changed, "cambiada", "cambiadas") + ", " +
             Rows(table.unchanged, "igual", "iguales") + "\n";
    }
    if (!table.current_error.empty()) {
      out += "    (la tabla actual no se puede leer: " + table.current_error + ")\n";
    }
    if (!table.current_exists) continue;  // every row would be new: no sample of them
    for (const RowSample& sample : table.first_added) SampleLine(out, '+', sample);
    if (table.added > table.first_added.size()) {
      out += "    + ... y " + std::to_string(table.added - table.first_added.size()) + " m\xE1s\n";
    }
    for (const RowSample& sample : table.first_removed) SampleLine(out, '-', sample);
    if (table.removed > table.first_removed.size()) {
      out += "    - ... y " + std::to_string(table.removed - table.first_removed.size()) +
             " m\xE1s\n";
    }
    for (const RowChange& change : table.first_changed) {
      out += "    ~ " + change.key + ": ";
      for (std::size_t i = 0; i < change.fields.size(); ++i) {
        if (i > 0) out += ", ";
        out += change.fields[i].name + " " + Shown(change.fields[i].before) + " -> " +
               Shown(change.fields[i].after);
      }
      out += "\n";
    }
    if (table.changed > table.first_changed.size()) {
      out += "    ~ ... y " + std::to_string(table.changed - table.first_changed.size()) +
             " m\xE1s\n";
    }
  }
  return out;
}

}  // namespace tc
