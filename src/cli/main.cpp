// transclepsa: the conversion (ITACA -> Clepsa), the listing of time templates and the export
// (Clepsa -> ITACA) from the command line. Arguments are UTF-8 whatever the locale; on Windows
// they are taken from the wide command line.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli_interaction.h"
#include "commands.h"
#include "exit_status.h"
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
                       "Muestra la versi\xC3\xB3n y termina");
}

// The ITACA file every command takes, and the working-folder option of convert and export.
void AddFileArgument(CLI::App* command, std::string& file, const std::string& help) {
  command->add_option("FICHERO", file, help)->required()->type_name("");
}

CLI::Option* AddDataDirOption(CLI::App* command, std::string& dir) {
  return command
      ->add_option("--data-dir", dir,
                   "Carpeta de trabajo de Clepsa (si no, TRANSCLEPSA_ZTEMP o la carpeta habitual)")
      ->type_name("CARPETA");
}

// The text after the first ": " of one of CLI11's messages: the arguments or the option it is
// about, which are the user's own words.
std::string Detail(const CLI::ParseError& error) {
  const std::string message = error.what();
  const std::size_t colon = message.find(": ");
  return colon == std::string::npos ? std::string() : message.substr(colon + 2);
}

// A wrong command line: what is wrong, then where to look. UTF-8.
int Misuse(const std::string& what) {
  std::cerr << "transclepsa: " << what << ".\n"
            << "Consulte \"transclepsa --help\".\n";
  return tc::cli::ToInt(ExitStatus::Usage);
}

// The options every run command takes besides its own: --report and -q.
void AddOutputOptions(CLI::App* command, tc::cli::OutputOptions& options,
                      std::string& report_file, CLI::Option*& report_option) {
  report_option =
      command
          ->add_option("--report", report_file,
                       "Guarda el informe de la ejecuci\xC3\xB3n (JSON si termina en .json; "
                       "si no, texto)")
          ->type_name("FICHERO");
  command->add_flag("-q,--quiet", options.quiet,
                    "No escribe nada en la salida est\xC3\xA1ndar (los errores, s\xC3\xAD)");
  command->add_flag("--force", options.force,
                    "Sigue aunque salte una salvaguarda (resultado vac\xC3\xADo, otra plantilla, "
                    "otro centro o curso, SOLUC anterior a la conversi\xC3\xB3n); sin ella, "
                    "la orden se detiene con estado 1 sin cambiar nada");
}

// A wrong command line, said in Spanish (CLI11's own messages are English). Texts are UTF-8.
int UsageError(const CLI::ParseError& error, const CLI::App& app) {
  std::string what = "Uso incorrecto de la l\xC3\xADnea de \xC3\xB3rdenes";  // línea, órdenes
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    what = app.get_subcommands().empty() ? "Falta la orden: convert, templates, export, check o restore"
                                         : "Falta el documento XML de ITACA (FICHERO)";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    what = "Sobran argumentos: " + Detail(error);
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    const std::string message = error.what();
    what = "Falta el valor de la opci\xC3\xB3n " + message.substr(0, message.find(':'));
  } else if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr ||
             dynamic_cast<const CLI::ValidationError*>(&error) != nullptr) {
    what = "Valor no v\xC3\xA1lido: " + Detail(error);
  }
  return Misuse(what);
}

int Run(int argc, const char* const* argv) {
  CLI::App app{"Transfiere los datos de un centro entre ITACA y Clepsa.", "transclepsa"};
  SpanishHelp(app);
  app.footer(
      "Salvaguardas: lo que casi seguro es un error se detiene con estado 1 sin cambiar nada,\n"
      "salvo con --force (en las ventanas, es una pregunta cuya "
      "respuesta por omisi\xC3\xB3n es No):\n"
      "  resultado_vacio     la conversi\xC3\xB3n dejar\xC3\xAD" "a "
      "ASIGT sin clases o DIASHORAST sin horas\n"
      "  sin_plantilla       exportaci\xC3\xB3n sin plantilla horaria (--template \"\")\n"
      "  plantilla_distinta  exportaci\xC3\xB3n con otra plantilla que la de la conversi\xC3\xB3n\n"
      "  otro_centro         el documento es de otro centro o de otro curso que las tablas\n"
      "  solucion_anterior   SOLUC es anterior a la \xC3\xBAltima "
      "conversi\xC3\xB3n: calcule de nuevo el\n"
      "                      horario en Clepsa\n"
      "Se rechazan siempre, con estado 64: una plantilla que no "
      "est\xC3\xA1 en el documento, un idioma\n"
      "que no es VALENCI\xC3\x81 ni CASTELLANO, un curso que no "
      "es un a\xC3\xB1o de cuatro cifras; y con\n"
      "estado 1, sin escribir nada, una exportaci\xC3\xB3n que no "
      "tendr\xC3\xAD" "a ninguna clase ni guardia.");
  app.require_subcommand(1);
  // Options start with "-" everywhere: on Windows CLI11 would also take "/name" for an option,
  // and "/datos/centro.xml" is a file (on the current drive, or under Wine a Unix path).
  // Subcommands inherit the setting when they are added.
  app.allow_windows_style_options(false);

  // convert
  tc::cli::ConvertOptions convert_options;
  std::string convert_data_dir, convert_template, convert_language;
  CLI::App* convert = app.add_subcommand(
      "convert", "Convierte un documento de ITACA en las tablas de trabajo de Clepsa");
  AddFileArgument(convert, convert_options.file, "Documento XML de ITACA");
  CLI::Option* convert_dir_option = AddDataDirOption(convert, convert_data_dir);
  CLI::Option* convert_template_option = convert->add_option(
      "--template", convert_template,
      "Plantilla horaria elegida (si no, la primera del documento)");
  convert_template_option->type_name("CODIGO");
  CLI::Option* convert_language_option = convert->add_option(
      "--language", convert_language,
      "Idioma de los textos: VALENCI\xC3\x81 (si no se da) o CASTELLANO, en "
      "may\xC3\xBAsculas o min\xC3\xBAsculas, con o sin acento");
  convert_language_option->type_name("TEXTO");
  convert->add_flag("--all-templates", convert_options.all_templates,
                    "Importa los datos de todas las plantillas (si no, solo la elegida)");
  convert->add_flag("--keep-idle", convert_options.keep_idle,
                    "Conserva los grupos y profesores sin clases en la plantilla");
  std::string convert_report;
  CLI::Option* convert_report_option = nullptr;
  AddOutputOptions(convert, convert_options, convert_report, convert_report_option);

  // templates
  tc::cli::TemplatesOptions templates_options;
  std::string templates_language;
  CLI::App* templates = app.add_subcommand(
      "templates", "Muestra las plantillas horarias del documento, como el di\xC3\xA1logo");
  AddFileArgument(templates, templates_options.file, "Documento XML de ITACA");
  CLI::Option* templates_language_option = templates->add_option(
      "--language", templates_language, "Idioma de las descripciones (si no, VALENCI\xC3\x81)");
  templates_language_option->type_name("TEXTO");

  // export
  tc::cli::ExportOptions export_options;
  std::string export_data_dir, export_template, export_year;
  CLI::App* exporter = app.add_subcommand(
      "export", "Escribe el horario de Clepsa (SOLUC) como documento de ITACA");
  AddFileArgument(exporter, export_options.file,
                  "Documento XML de ITACA del que se hizo la conversi\xC3\xB3n");
  CLI::Option* export_dir_option = AddDataDirOption(exporter, export_data_dir);
  CLI::Option* export_template_option = exporter->add_option(
      "--template", export_template,
      "Plantilla horaria (si no, la de la \xC3\xBAltima conversi\xC3\xB3n); otra que la de "
      "la conversi\xC3\xB3n, o \"\" (ninguna), necesita --force");
  export_template_option->type_name("CODIGO");
  CLI::Option* export_year_option = exporter->add_option(
      "--school-year", export_year,
      "Curso de destino, un a\xC3\xB1o de cuatro cifras (si no, el del documento)");
  export_year_option->type_name("A\xC3\x91O");
  std::string export_report;
  CLI::Option* export_report_option = nullptr;
  AddOutputOptions(exporter, export_options, export_report, export_report_option);

  // check: the options of convert, or with --export those of export.
  tc::cli::ConvertOptions check_options;
  bool check_export = false;
  std::string check_data_dir, check_template, check_language, check_year, check_report;
  CLI::App* checker = app.add_subcommand(
      "check",
      "Comprueba qu\xC3\xA9 har\xC3\xAD" "a la conversi\xC3\xB3n (o la exportaci\xC3\xB3n) "
      "sin cambiar nada: informe y cambios en las tablas");
  AddFileArgument(checker, check_options.file, "Documento XML de ITACA");
  CLI::Option* check_dir_option = AddDataDirOption(checker, check_data_dir);
  checker->add_flag("--export", check_export,
                    "Comprueba la exportaci\xC3\xB3n en lugar de la conversi\xC3\xB3n");
  CLI::Option* check_template_option = checker->add_option(
      "--template", check_template,
      "Plantilla horaria (como en convert, o con --export como en export)");
  check_template_option->type_name("CODIGO");
  CLI::Option* check_language_option = checker->add_option(
      "--language", check_language, "Idioma de los textos (solo la conversi\xC3\xB3n)");
  check_language_option->type_name("TEXTO");
  CLI::Option* check_all_option =
      checker->add_flag("--all-templates", check_options.all_templates,
                        "Importa los datos de todas las plantillas (solo la conversi\xC3\xB3n)");
  CLI::Option* check_idle_option = checker->add_flag(
      "--keep-idle", check_options.keep_idle,
      "Conserva los grupos y profesores sin clases (solo la conversi\xC3\xB3n)");
  CLI::Option* check_year_option = checker->add_option(
      "--school-year", check_year, "Curso de destino (solo con --export)");
  check_year_option->type_name("A\xC3\x91O");
  CLI::Option* check_report_option = nullptr;
  AddOutputOptions(checker, check_options, check_report, check_report_option);

  // restore
  tc::cli::RestoreOptions restore_options;
  std::string restore_data_dir;
  int restore_number = 0;
  CLI::App* restorer = app.add_subcommand(
      "restore",
      "Muestra las copias de seguridad de las tablas de Clepsa o repone una (deshace una "
      "ejecuci\xC3\xB3n)");
  restorer->add_flag("--list", restore_options.list, "Muestra las copias y termina");
  CLI::Option* restore_number_option =
      restorer
          ->add_option("NUMERO", restore_number,
                       "La copia que se repone (si no, la m\xC3\xA1s reciente)")
          ->type_name("")
          ->check(CLI::PositiveNumber);
  CLI::Option* restore_dir_option = AddDataDirOption(restorer, restore_data_dir);

  for (CLI::App* sub : {convert, checker, templates, exporter, restorer}) {
    sub->group("\xC3\x93rdenes");  // Órdenes
    sub->set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);  // --help
  } catch (const CLI::ParseError& error) {
    return UsageError(error, app);
  }

  auto given = [](const CLI::Option* option, const std::string& value) {
    return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
  };

  ExitStatus status = ExitStatus::Usage;
  if (convert->parsed()) {
    convert_options.data_dir = given(convert_dir_option, convert_data_dir);
    convert_options.template_code = given(convert_template_option, convert_template);
    convert_options.language = given(convert_language_option, convert_language);
    convert_options.report_file = given(convert_report_option, convert_report);
    status = tc::cli::Convert(convert_options, std::cout, std::cerr);
  } else if (checker->parsed()) {
    check_options.data_dir = given(check_dir_option, check_data_dir);
    check_options.template_code = given(check_template_option, check_template);
    check_options.report_file = given(check_report_option, check_report);
    if (check_export) {
      for (const CLI::Option* option :
           {check_language_option, check_all_option, check_idle_option}) {
        if (option->count() > 0) {
          return Misuse("La opci\xC3\xB3n " + option->get_name() + " no vale con --export");
        }
      }
      tc::cli::ExportOptions options;
      static_cast<tc::cli::OutputOptions&>(options) = check_options;
      options.file = check_options.file;
      options.data_dir = check_options.data_dir;
      options.template_code = check_options.template_code;
      options.school_year = given(check_year_option, check_year);
      status = tc::cli::CheckExport(options, std::cout, std::cerr);
    } else {
      if (check_year_option->count() > 0) {
        return Misuse("La opci\xC3\xB3n --school-year solo vale con --export");
      }
      check_options.language = given(check_language_option, check_language);
      status = tc::cli::CheckConversion(check_options, std::cout, std::cerr);
    }
  } else if (templates->parsed()) {
    templates_options.language = given(templates_language_option, templates_language);
    status = tc::cli::ListTemplates(templates_options, std::cout, std::cerr);
  } else if (restorer->parsed()) {
    if (restore_options.list && restore_number_option->count() > 0) {
      return Misuse("Con --list no se indica ninguna copia");
    }
    restore_options.data_dir = given(restore_dir_option, restore_data_dir);
    if (restore_number_option->count() > 0) restore_options.number = restore_number;
    status = tc::cli::Restore(restore_options, std::cout, std::cerr);
  } else if (exporter->parsed()) {
    export_options.data_dir = given(export_dir_option, export_data_dir);
    export_options.template_code = given(export_template_option, export_template);
    export_options.school_year = given(export_year_option, export_year);
    export_options.report_file = given(export_report_option, export_report);
    status = tc::cli::Export(export_options, std::cout, std::cerr);
  }
  std::cout.flush();
  return tc::cli::ToInt(status);
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
    std::cerr << "transclepsa: no se puede leer la l\xC3\xADnea de \xC3\xB3rdenes\n";
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
  try {
    return Run(argc, argv);
  } catch (const std::exception& exception) {
    const tc::Error error = tc::AsError(exception);
    tc::cli::PrintError(error, std::cerr);
    return tc::cli::ToInt(tc::cli::StatusOf(error));
  }
}

#endif
