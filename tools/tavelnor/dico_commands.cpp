// "tavelnor dico show", "tavelnor dico build" and "tavelnor dico from-ddf".
#include <filesystem>
#include <iostream>
#include <memory>

#include "browse/text_codec.h"
#include "browse_session.h"
#include "dico/attribute_export.h"
#include "dico/compiler/cp1252.h"
#include "dico/compiler/dico_compiler.h"
#include "dico/compiler/export_json.h"
#include "dico/dico_handler.h"
#include "ddf_dictionary.h"
#include "tavelnor/zavl.h"
#include "tool_commands.h"

namespace tavelnor::tool {
namespace {

struct ShowOptions {
  std::string path;
  bool json = false;
};

void RunShow(const ShowOptions& opt) {
  // Opened first through the exported interface, so that failures carry the
  // code a host program would see.
  ZAVL_Schema* schema = ZAVL_OpenSchema(opt.path.c_str(), 0);
  if (!schema) {
    const int32_t code = ZAVL_GetLastError();
    dico::DDicoHandler probe;
    (void)probe.Load(Chaine(opt.path), dico::kLoadNameIndex);
    Fail(code, opt.path + ": " + dico::Cp1252ToUtf8(probe.LastLoadStatus().ToString()));
    return;
  }
  const int32_t version = ZAVL_GetDicoVersion(schema);
  ZAVL_CloseSchema(schema);
  dico::DDicoHandler handler;
  if (handler.Load(Chaine(opt.path), dico::kLoadNameIndex) != dico::LoadResult::kLoaded) {
    Fail(ZAVL_ERR_DICO_LOAD, handler.LastLoadStatus().ToString());
    return;
  }
  if (opt.json) {
    nlohmann::ordered_json j = dico::DictionaryToJson(handler);
    // In another code page the source says which, and builds the same bytes.
    if (StoredCodePage().Name() != "cp1252") j = dico::SourceInCodePage(j, StoredCodePage().Name());
    std::cout << j.dump(2) << "\n";
    return;
  }
  const dico::DicoExport exported = dico::ExportDictionary(handler);
  std::cout << "Dictionary " << opt.path << ": format level " << handler.FormatLevel()
            << ", version " << version << "." << handler.VersionUser() << ", "
            << handler.ObjectCount() << " objects\n";
  // Dictionary texts are in the stored code page; terminals and files here
  // expect UTF-8.
  std::cout << StoredToUtf8(dico::RenderTree(exported.root));
  for (const auto& d : exported.detached) {
    std::cout << "(detached) " << StoredToUtf8(dico::RenderTree(d));
  }
}

struct BuildOptions {
  std::string source;
  std::string output;
  int level = 0;
  bool gzip = false;
  bool module = false;
};

void RunBuild(const BuildOptions& opt) {
  const auto container = opt.module ? dico::Container::kPeModule
                         : opt.gzip ? dico::Container::kGzip
                                    : dico::Container::kPlain;
  Status s = dico::BuildDicoFile(std::filesystem::u8path(opt.source),
                                std::filesystem::u8path(opt.output), opt.level, container);
  if (!s.ok()) {
    std::cerr << "tavelnor: cannot build " << opt.output << ": " << s.ToString() << "\n";
    SetExitCode(1);
    return;
  }
  std::cout << "wrote " << opt.output << "\n";
}

void RunFromDdf(const FromDdfOptions& opt) {
  FromDdfResult result;
  std::vector<std::string> warnings;
  const Status s = ConvertDdfSet(opt, &result, &warnings);
  for (const std::string& w : warnings) std::cerr << "tavelnor: warning: " << w << "\n";
  if (!s.ok()) {
    std::cerr << "tavelnor: " << (result.refused ? "cannot read the DDF set in " + opt.folder
                                                 : "cannot write " + opt.output)
              << ": " << s.ToString() << "\n";
    SetExitCode(1);
    return;
  }
  std::cout << "wrote " << opt.output << " (" << result.tables << " table" << (result.tables == 1 ? "" : "s")
            << ")" << (opt.json.empty() ? "" : " and " + opt.json) << "\n";
}

}  // namespace

void AddDicoCommands(CLI::App& app) {
  CLI::App* dico = app.add_subcommand("dico", "Dictionary files: show, build, from-ddf");
  dico->require_subcommand(1);
  auto show_opt = std::make_shared<ShowOptions>();
  CLI::App* show = dico->add_subcommand("show", "Print a dictionary's tree of objects");
  show->add_option("dictionary", show_opt->path, "dictionary file")->required();
  show->add_flag("--json", show_opt->json, "print the attribute export as JSON source");
  AddEncodingOption(show);
  show->callback([show_opt] { RunShow(*show_opt); });

  auto build_opt = std::make_shared<BuildOptions>();
  CLI::App* build = dico->add_subcommand("build", "Compile a JSON dictionary source");
  build->add_option("source", build_opt->source, "JSON source file")->required();
  build->add_option("-o,--output", build_opt->output, "dictionary file to write")->required();
  build->add_option("--level", build_opt->level, "format level 0 to 11 (default: the source's)")
      ->check(CLI::Range(0, 11));
  auto* gz = build->add_flag("--gzip", build_opt->gzip, "write a gzip-compressed dictionary");
  build->add_flag("--module", build_opt->module, "wrap the dictionary in a Windows module")
      ->excludes(gz);
  build->callback([build_opt] { RunBuild(*build_opt); });

  auto ddf_opt = std::make_shared<FromDdfOptions>();
  CLI::App* from_ddf = dico->add_subcommand(
      "from-ddf",
      "Write a dictionary describing the tables of a DDF set (FILE.DDF, FIELD.DDF,\n"
      "INDEX.DDF): their data files, record layouts and keys. Columns whose bytes\n"
      "none of our types reads the same way are kept as bytes.");
  from_ddf->add_option("folder", ddf_opt->folder, "folder of the DDF files")->required();
  from_ddf->add_option("-o,--output", ddf_opt->output, "dictionary file to write")->required();
  from_ddf->add_option("--json", ddf_opt->json, "also write the dictionary's JSON source to this file");
  from_ddf->add_flag("--system-tables", ddf_opt->system_tables, "keep the X$ tables that describe the DDF set");
  AddEncodingOption(from_ddf);
  from_ddf->callback([ddf_opt] {
    ddf_opt->code_page = StoredCodePage().Name();
    RunFromDdf(*ddf_opt);
  });
}

}  // namespace tavelnor::tool
