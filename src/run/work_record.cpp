#include "run/work_record.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <span>
#include <system_error>

#include "base/digest.h"
#include "base/error.h"
#include "base/text.h"
#include "itaca/document.h"
#include "platform/file_system.h"
#include "platform/platform.h"

namespace tc {

namespace fs = std::filesystem;

namespace {

// The first line of a record file: what it is and the version of its form.
constexpr std::string_view kHeading = "TransClepsaItaca registro 1";
constexpr std::string_view kConversionFile = "ultima_conversion.txt";
constexpr std::string_view kExportFile = "ultima_exportacion.txt";

// One value per line, "name=value", escaped as every line of our files is.
using Fields = std::map<std::string, std::string, std::less<>>;

std::string Text(const Fields& fields) {
  std::string text = std::string(kHeading) + "\n";
  for (const auto& [name, value] : fields) text += name + "=" + EscapeField(value) + "\n";
  return text;
}

std::optional<Fields> Parse(const std::string& text) {
  Fields fields;
  std::size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + start, end - start);
    start = end + 1;
    if (first) {
      if (line != kHeading) return std::nullopt;
      first = false;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    fields[std::string(line.substr(0, equals))] = UnescapeField(line.substr(equals + 1));
  }
  if (first) return std::nullopt;
  return fields;
}

std::optional<Fields> ReadFields(const Workplace& workplace, const fs::path& file) {
  try {
    if (!workplace.files->IsFile(file)) return std::nullopt;
    return Parse(workplace.files->ReadFile(file));
  } catch (const Error&) {
    return std::nullopt;  // an unreadable record counts as none
  }
}

std::string Get(const Fields& fields, std::string_view name) {
  const auto found = fields.find(name);
  return found == fields.end() ? std::string() : found->second;
}

std::int64_t Seconds(const Fields& fields, std::string_view name) {
  const std::string value = Get(fields, name);
  try {
    return value.empty() ? 0 : std::stoll(value);
  } catch (const std::exception&) {
    return 0;
  }
}

// Now, as local time text and as seconds since the epoch.
std::pair<std::string, std::int64_t> Now() {
  const auto now = std::chrono::system_clock::now();
  const std::tm local = platform::LocalNow();
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return {text, std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count()};
}

store::Replacement Stage(const Workplace& workplace, std::string_view name,
                         const std::string& text) {
  platform::FileSystem& files = *workplace.files;
  const fs::path own = store::OwnFolder(workplace.folder);
  files.CreateFolder(own);
  const fs::path staged = platform::TemporaryPath(files, own, std::string(name) + "~");
  const std::string_view piece(text);
  files.WriteNewFile(staged, std::span<const std::string_view>(&piece, 1));
  // Not kept in the backups: the record says what the last run was, whatever was restored.
  return store::Replacement{staged, own / platform::PathFromUtf8(name), false};
}

}  // namespace

fs::path ConversionRecordFile(const fs::path& working_dir) {
  return store::OwnFolder(working_dir) / platform::PathFromUtf8(kConversionFile);
}

fs::path ExportRecordFile(const fs::path& working_dir) {
  return store::OwnFolder(working_dir) / platform::PathFromUtf8(kExportFile);
}

std::optional<ConversionRecord> ReadConversionRecord(const Workplace& workplace) {
  const std::optional<Fields> fields =
      ReadFields(workplace, ConversionRecordFile(workplace.folder));
  if (!fields) return std::nullopt;
  ConversionRecord record;
  record.school_code = Get(*fields, "codigo");
  record.school_name = Get(*fields, "denominacion");
  record.school_year = Get(*fields, "curso");
  record.document = platform::PathFromUtf8(Get(*fields, "documento"));
  record.digest = Get(*fields, "resumen");
  record.template_code = Get(*fields, "plantilla");
  record.all_templates = Get(*fields, "todas_las_plantillas") == "1";
  record.language = Get(*fields, "idioma");
  record.time = Get(*fields, "fecha");
  record.time_seconds = Seconds(*fields, "segundos");
  return record;
}

std::optional<ExportRecord> ReadExportRecord(const Workplace& workplace) {
  const std::optional<Fields> fields = ReadFields(workplace, ExportRecordFile(workplace.folder));
  if (!fields) return std::nullopt;
  ExportRecord record;
  record.document = platform::PathFromUtf8(Get(*fields, "documento"));
  record.template_code = Get(*fields, "plantilla");
  record.time = Get(*fields, "fecha");
  record.time_seconds = Seconds(*fields, "segundos");
  return record;
}

ConversionRecord RecordOfConversion(const itaca::Document& document, const fs::path& file,
                                    std::string template_code, bool all_templates,
                                    std::string language) {
  ConversionRecord record;
  const itaca::Element root = document.Root();
  if (root.Valid()) {
    record.school_code = root.TryAttr("codigo").value_or("");
    record.school_name = root.TryAttr("denominacion").value_or("");
    record.school_year = root.TryAttr("curso").value_or("");
  }
  record.document = file;
  record.digest = DigestText(document.Digest());
  record.template_code = std::move(template_code);
  record.all_templates = all_templates;
  record.language = std::move(language);
  std::tie(record.time, record.time_seconds) = Now();
  return record;
}

ExportRecord RecordOfExport(const fs::path& output, std::string template_code) {
  ExportRecord record;
  record.document = output;
  record.template_code = std::move(template_code);
  std::tie(record.time, record.time_seconds) = Now();
  return record;
}

store::Replacement StageRecord(const Workplace& workplace, const ConversionRecord& record) {
  return Stage(workplace, kConversionFile,
               Text({{"codigo", record.school_code},
                     {"denominacion", record.school_name},
                     {"curso", record.school_year},
                     {"documento", platform::PathToUtf8(record.document)},
                     {"resumen", record.digest},
                     {"plantilla", record.template_code},
                     {"todas_las_plantillas", record.all_templates ? "1" : "0"},
                     {"idioma", record.language},
                     {"fecha", record.time},
                     {"segundos", std::to_string(record.time_seconds)}}));
}

store::Replacement StageRecord(const Workplace& workplace, const ExportRecord& record) {
  return Stage(workplace, kExportFile,
               Text({{"documento", platform::PathToUtf8(record.document)},
                     {"plantilla", record.template_code},
                     {"fecha", record.time},
                     {"segundos", std::to_string(record.time_seconds)}}));
}

std::vector<store::GenerationExtra> KeptRecords(const Workplace& workplace) {
  std::vector<store::GenerationExtra> kept;
  for (const std::string_view name : {kConversionFile, kExportFile}) {
    const fs::path file = store::OwnFolder(workplace.folder) / platform::PathFromUtf8(name);
    store::GenerationExtra extra{std::string(name), {}};
    if (workplace.files->IsFile(file)) extra.contents = workplace.files->ReadFile(file);
    kept.push_back(std::move(extra));
  }
  return kept;
}

std::vector<store::Replacement> RestoredRecords(const Workplace& workplace,
                                                const store::GenerationInfo& generation) {
  std::vector<store::Replacement> restored;
  for (const std::string_view name : {kConversionFile, kExportFile}) {
    const fs::path kept = generation.folder / platform::PathFromUtf8(name);
    const std::string text =
        workplace.files->IsFile(kept) ? workplace.files->ReadFile(kept) : std::string();
    restored.push_back(Stage(workplace, name, text));
  }
  return restored;
}

}  // namespace tc
