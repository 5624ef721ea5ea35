// transclepsa: the conversion (ITACA -> Clepsa), the listing of time templates and the export
// (Clepsa -> ITACA) from the command line. Arguments are UTF-8 whatever the locale; on Windows
// they are taken from the wide command line.
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli_interaction.h"
#include "commands.h"
#include "exit_status.h"
#include "platform/platform.h"
#include "run/advice.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#ifdef _MSC_VER
#pragma comment(lib, "shell32.lib")
#endif
#endif

namespace {

using tc::cli::ExitStatus;
using tc::cli::Utf8;

// Spanish captions for CLI11's help screens.
void SpanishHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("SUBCOMMAND", "ORDEN");
  formatter->label("SUBCOMMANDS", "ORDENES");
  formatter->label("REQUIRED", "(obligatorio)");
  formatter->label("Positionals", "Argumentos");
  formatter->label("TEXT", "TEXTO");
  formatter->column_width(34);
  app.option_defaults()->group("Opciones");
  app.set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  app.set_version_flag("--version", "transclepsa (TransClepsaItaca) " TC_VERSION,
                       Utf8(u8"Muestra la versi\u00F3n y termina"));
}

// The ITACA file every command takes, and the working-folder option of convert and export.
void AddFileArgument(CLI::App* command, std::string& file, const std::string& help) {
  command->add_option("FICHERO", file, help)->required()->type_name("");
}

// An option whose value is kept as given, "" included; nullopt while it is not given.
template <typename T>
CLI::Option* AddValue(CLI::App* command, const std::string& name, std::optional<T>& value,
                      const std::string& help, const std::string& type_name) {
  return command
      ->add_option_function<T>(
          name, [&value](const T& given) { value = given; }, help)
      ->type_name(type_name);
}

void AddDataDirOption(CLI::App* command, std::optional<std::string>& dir) {
  AddValue(command, "--data-dir", dir,
           "Carpeta de trabajo de Clepsa (si no, TRANSCLEPSA_ZTEMP o la carpeta habitual)",
           "CARPETA");
}

// The options every run command takes besides its own: --report, -q and --force.
void AddOutputOptions(CLI::App* command, tc::cli::OutputOptions& options) {
  AddValue(command, "--report", options.report_file,
           Utf8(u8"Guarda el informe de la ejecuci\u00F3n (JSON si termina en .json, una "
                u8"p\u00E1gina HTML con los horarios si termina en .html; "
                u8"si no, texto)"),
           "FICHERO");
  command->add_flag("-q,--quiet", options.quiet,
                    Utf8(u8"No escribe nada en la salida est\u00E1ndar (los errores, s\u00ED)"));
  command->add_flag("--force", options.force,
                    Utf8(u8"Sigue aunque salte una salvaguarda (resultado vac\u00EDo, otra "
                         u8"plantilla, otro centro o curso, SOLUC anterior a la "
                         u8"conversi\u00F3n); sin ella, la orden se detiene con estado 1 sin "
                         u8"cambiar nada"));
}

// A wrong command line: what is wrong, then where to look. UTF-8.
int Misuse(const std::string& what) {
  std::cerr << "transclepsa: " << what << ".\n"
            << "Consulte \"transclepsa --help\".\n";
  return tc::cli::ToInt(ExitStatus::Usage);
}

// The option of the command line (of the program or of one of its commands) CLI11's message is
// about: the one whose name it holds, the longest when several do; nullptr when none.
const CLI::Option* OptionOf(const CLI::ParseError& error, const CLI::App& app) {
  const std::string message = error.what();
  std::vector<const CLI::App*> commands{&app};
  for (const CLI::App* command : app.get_subcommands({})) commands.push_back(command);
  const CLI::Option* found = nullptr;
  for (const CLI::App* command : commands) {
    for (const CLI::Option* option : command->get_options()) {
      const std::string name = option->get_name();
      if (name.empty() || message.find(name) == std::string::npos) continue;
      if (found == nullptr || name.size() > found->get_name().size()) found = option;
    }
  }
  return found;
}

// A wrong command line, said in Spanish: CLI11's own messages are English, so what is shown is
// taken from the parse itself (the arguments left over, the option it is about, the value given)
// and never from the wording of a message; a case not foreseen here is the general sentence.
int UsageError(const CLI::ParseError& error, const CLI::App& app) {
  std::string what = Utf8(u8"Uso incorrecto de la l\u00EDnea de \u00F3rdenes");
  const CLI::Option* option = OptionOf(error, app);
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    what = app.get_subcommands().empty()
               ? "Falta la orden: convert, templates, export, check o restore"
               : "Falta el documento XML de ITACA (FICHERO)";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    std::string extras;
    for (const std::string& arg : app.remaining(true)) extras += (extras.empty() ? "" : " ") + arg;
    if (!extras.empty()) what = "Sobran argumentos: " + extras;
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    if (option != nullptr) {
      what = Utf8(u8"Falta el valor de la opci\u00F3n ") + option->get_name();
    }
  } else if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr ||
             dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    what = Utf8(u8"Valor no v\u00E1lido");
    if (option != nullptr) {
      what += " para " + option->get_name();
      if (!option->results().empty()) what += ": " + option->results().front();
    }
  }
  return Misuse(what);
}

// check: the options of convert, or with --export those of export.
struct CheckCommand {
  tc::cli::ConvertOptions options;
  bool export_run = false;                 // --export
  std::optional<std::string> school_year;  // --school-year, only with --export
  // What only the conversion takes: refused with --export.
  std::vector<const CLI::Option*> conversion_only;
};

CLI::App* AddConvert(CLI::App& app, tc::cli::ConvertOptions& options) {
  CLI::App* convert = app.add_subcommand(
      "convert", "Convierte un documento de ITACA en las tablas de trabajo de Clepsa");
  AddFileArgument(convert, options.file, "Documento XML de ITACA");
  AddDataDirOption(convert, options.data_dir);
  AddValue(convert, "--template", options.template_code,
           "Plantilla horaria elegida (si no, la primera del documento)", "CODIGO");
  AddValue(convert, "--language", options.language,
           Utf8(u8"Idioma de los textos: VALENCI\u00C1 (si no se da) o CASTELLANO, en "
                u8"may\u00FAsculas o min\u00FAsculas, con o sin acento"),
           "TEXTO");
  convert->add_flag("--all-templates", options.all_templates,
                    "Importa los datos de todas las plantillas (si no, solo la elegida)");
  convert->add_flag("--keep-idle", options.keep_idle,
                    "Conserva los grupos y profesores sin clases en la plantilla");
  AddOutputOptions(convert, options);
  return convert;
}

CLI::App* AddTemplates(CLI::App& app, tc::cli::TemplatesOptions& options) {
  CLI::App* templates = app.add_subcommand(
      "templates",
      Utf8(u8"Muestra las plantillas horarias del documento, como el di\u00E1logo"));
  AddFileArgument(templates, options.file, "Documento XML de ITACA");
  AddValue(templates, "--language", options.language,
           Utf8(u8"Idioma de las descripciones (si no, VALENCI\u00C1)"), "TEXTO");
  return templates;
}

CLI::App* AddExport(CLI::App& app, tc::cli::ExportOptions& options) {
  CLI::App* exporter = app.add_subcommand(
      "export", "Escribe el horario de Clepsa (SOLUC) como documento de ITACA");
  AddFileArgument(exporter, options.file,
                  Utf8(u8"Documento XML de ITACA del que se hizo la conversi\u00F3n"));
  AddDataDirOption(exporter, options.data_dir);
  AddValue(exporter, "--template", options.template_code,
           Utf8(u8"Plantilla horaria (si no, la de la \u00FAltima conversi\u00F3n); otra "
                u8"que la de la conversi\u00F3n, o \"\" (ninguna), necesita --force"),
           "CODIGO");
  AddValue(exporter, "--school-year", options.school_year,
           Utf8(u8"Curso de destino, un a\u00F1o de cuatro cifras (si no, el del documento)"),
           Utf8(u8"A\u00D1O"));
  AddOutputOptions(exporter, options);
  return exporter;
}

CLI::App* AddCheck(CLI::App& app, CheckCommand& check) {
  tc::cli::ConvertOptions& options = check.options;
  CLI::App* checker = app.add_subcommand(
      "check",
      Utf8(u8"Comprueba qu\u00E9 har\u00EDa la conversi\u00F3n (o la "
           u8"exportaci\u00F3n) sin cambiar nada: informe y cambios en las tablas"));
  AddFileArgument(checker, options.file, "Documento XML de ITACA");
  AddDataDirOption(checker, options.data_dir);
  checker->add_flag("--export", check.export_run,
                    Utf8(u8"Comprueba la exportaci\u00F3n en lugar de la conversi\u00F3n"));
  AddValue(checker, "--template", options.template_code,
           "Plantilla horaria (como en convert, o con --export como en export)", "CODIGO");
  check.conversion_only = {
      AddValue(checker, "--language", options.language,
               Utf8(u8"Idioma de los textos (solo la conversi\u00F3n)"), "TEXTO"),
      checker->add_flag(
          "--all-templates", options.all_templates,
          Utf8(u8"Importa los datos de todas las plantillas (solo la conversi\u00F3n)")),
      checker->add_flag(
          "--keep-idle", options.keep_idle,
          Utf8(u8"Conserva los grupos y profesores sin clases (solo la conversi\u00F3n)"))};
  AddValue(checker, "--school-year", check.school_year, "Curso de destino (solo con --export)",
           Utf8(u8"A\u00D1O"));
  AddOutputOptions(checker, options);
  return checker;
}

CLI::App* AddRestore(CLI::App& app, tc::cli::RestoreOptions& options) {
  CLI::App* restorer = app.add_subcommand(
      "restore",
      Utf8(u8"Muestra las copias de seguridad de las tablas de Clepsa o repone una (deshace una "
           u8"ejecuci\u00F3n)"));
  restorer->add_flag("--list", options.list, "Muestra las copias y termina");
  AddValue(restorer, "NUMERO", options.number,
           Utf8(u8"La copia que se repone (si no, la m\u00E1s reciente)"), "")
      ->check(CLI::PositiveNumber);
  AddDataDirOption(restorer, options.data_dir);
  return restorer;
}

// The check as the command line asked for it: the conversion's, or with --export the export's,
// refusing what the other one takes. Returns the exit status.
int Check(const CheckCommand& check) {
  if (!check.export_run) {
    if (check.school_year) {
      return Misuse(Utf8(u8"La opci\u00F3n --school-year solo vale con --export"));
    }
    return tc::cli::ToInt(tc::cli::CheckConversion(check.options, std::cout, std::cerr));
  }
  for (const CLI::Option* option : check.conversion_only) {
    if (option->count() > 0) {
      return Misuse(Utf8(u8"La opci\u00F3n ") + option->get_name() + " no vale con --export");
    }
  }
  tc::cli::ExportOptions options;
  static_cast<tc::cli::OutputOptions&>(options) = check.options;
  options.file = check.options.file;
  options.data_dir = check.options.data_dir;
  options.template_code = check.options.template_code;
  options.school_year = check.school_year;
  return tc::cli::ToInt(tc::cli::CheckExport(options, std::cout, std::cerr));
}

int Run(int argc, const char* const* argv) {
  CLI::App app{"Transfiere los datos de un centro entre ITACA y Clepsa.", "transclepsa"};
  SpanishHelp(app);
  app.footer(Utf8(
      u8"Salvaguardas: lo que casi seguro es un error se detiene con estado 1 sin cambiar nada,\n"
      u8"salvo con --force (en las ventanas, es una pregunta cuya "
      u8"respuesta por omisi\u00F3n es No):\n"
      u8"  resultado_vacio     la conversi\u00F3n dejar\u00EDa "
      u8"ASIGT sin clases o DIASHORAST sin horas\n"
      u8"  sin_plantilla       exportaci\u00F3n sin plantilla horaria (--template \"\")\n"
      u8"  plantilla_distinta  exportaci\u00F3n con otra plantilla que la de la "
      u8"conversi\u00F3n\n"
      u8"  otro_centro         el documento es de otro centro o de otro curso que las tablas\n"
      u8"  solucion_anterior   SOLUC es anterior a la \u00FAltima "
      u8"conversi\u00F3n: calcule de nuevo el\n"
      u8"                      horario en Clepsa\n"
      u8"Se rechazan siempre, con estado 64: una plantilla que no "
      u8"est\u00E1 en el documento, un idioma\n"
      u8"que no es VALENCI\u00C1 ni CASTELLANO, un curso que no "
      u8"es un a\u00F1o de cuatro cifras; y con\n"
      u8"estado 1, sin escribir nada, una exportaci\u00F3n que no "
      u8"tendr\u00EDa ninguna clase ni guardia."));
  app.require_subcommand(1);
  // Options start with "-" everywhere: on Windows CLI11 would also take "/name" for an option,
  // and "/datos/centro.xml" is a file (on the current drive, or under Wine a Unix path).
  // Subcommands inherit the setting when they are added.
  app.allow_windows_style_options(false);

  tc::cli::ConvertOptions convert_options;
  tc::cli::TemplatesOptions templates_options;
  tc::cli::ExportOptions export_options;
  CheckCommand check;
  tc::cli::RestoreOptions restore_options;
  CLI::App* convert = AddConvert(app, convert_options);
  CLI::App* templates = AddTemplates(app, templates_options);
  CLI::App* exporter = AddExport(app, export_options);
  CLI::App* checker = AddCheck(app, check);
  CLI::App* restorer = AddRestore(app, restore_options);
  for (CLI::App* sub : {convert, checker, templates, exporter, restorer}) {
    sub->group(Utf8(u8"\u00D3rdenes"));
    sub->set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);  // --help
  } catch (const CLI::ParseError& error) {
    return UsageError(error, app);
  }

  int status = tc::cli::ToInt(ExitStatus::Usage);
  if (convert->parsed()) {
    status = tc::cli::ToInt(tc::cli::Convert(convert_options, std::cout, std::cerr));
  } else if (checker->parsed()) {
    status = Check(check);
  } else if (templates->parsed()) {
    status = tc::cli::ToInt(tc::cli::ListTemplates(templates_options, std::cout, std::cerr));
  } else if (restorer->parsed()) {
    status = restore_options.list && restore_options.number
                 ? Misuse("Con --list no se indica ninguna copia")
                 : tc::cli::ToInt(tc::cli::Restore(restore_options, std::cout, std::cerr));
  } else if (exporter->parsed()) {
    status = tc::cli::ToInt(tc::cli::Export(export_options, std::cout, std::cerr));
  }
  std::cout.flush();
  return status;
}

}  // namespace

#ifdef _WIN32

// The narrow argv of Windows is in the ANSI code page; the wide command line holds what the user
// typed, converted here to UTF-8.
int main() {
  SetConsoleOutputCP(CP_UTF8);
  int argc = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wide == nullptr) {
    std::cerr << Utf8(u8"transclepsa: no se puede leer la l\u00EDnea de \u00F3rdenes\n");
    return tc::cli::ToInt(ExitStatus::Failed);
  }
  std::vector<std::string> args;
  for (int i = 0; i < argc; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1u, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), size, nullptr, nullptr);
    arg.resize(arg.size() - 1);  // the terminating zero
    args.push_back(std::move(arg));
  }
  LocalFree(wide);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  try {
    return Run(argc, argv.data());
  } catch (const std::exception& exception) {
    const tc::Error error = tc::AsError(exception);
    tc::cli::PrintError(error, std::cerr);
    return tc::cli::ToInt(tc::cli::StatusOf(error));
  }
}

#else

int main(int argc, char** argv) {
  tc::platform::UseHugeMemoryPages(argv);
  try {
    return Run(argc, argv);
  } catch (const std::exception& exception) {
    const tc::Error error = tc::AsError(exception);
    tc::cli::PrintError(error, std::cerr);
    return tc::cli::ToInt(tc::cli::StatusOf(error));
  }
}

#endif
