// "tavelnor dico show" and "tavelnor dico build".
#include <iostream>
#include <memory>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"
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
    Fail(code, opt.path + ": " + probe.LastLoadStatus().ToString());
    return;
  }
  const int32_t version = ZAVL_GetDicoVersion(schema);
  ZAVL_CloseSchema(schema);
  dico::DDicoHandler handler;
  if (handler.Load(Chaine(opt.path), dico::kLoadNameIndex) != dico::LoadResult::kLoaded) {
    Fail(ZAVL_ERR_DICO_LOAD, handler.LastLoadStatus().ToString());
    return;
  }
  const dico::DicoExport exported = dico::ExportDictionary(handler);
  std::cout << "Dictionary " << opt.path << ": format level " << handler.FormatLevel()
            << ", version " << version << "." << handler.VersionUser() << ", "
            << handler.ObjectCount() << " objects\n";
  std::cout << dico::RenderTree(exported.root);
  for (const auto& d : exported.detached) std::cout << "(detached) " << dico::RenderTree(d);
}

}  // namespace

void AddDicoCommands(CLI::App& app) {
  CLI::App* dico = app.add_subcommand("dico", "Dictionary files: show, build");
  dico->require_subcommand(1);
  auto show_opt = std::make_shared<ShowOptions>();
  CLI::App* show = dico->add_subcommand("show", "Print a dictionary's tree of objects");
  show->add_option("dictionary", show_opt->path, "dictionary file")->required();
  show->add_flag("--json", show_opt->json, "print the attribute export as JSON source");
  show->callback([show_opt] { RunShow(*show_opt); });
}

}  // namespace tavelnor::tool
