// Writes the sample DDF set the C host reads through a dictionary converted
// from it: the table of every type (its data file in a DATA folder) and a
// table of variable-length records, in our own data files or in an earlier
// engine's 5.x or 6.0 format.
// Usage: ddf_sample_set FOLDER RECORDS [ours|v5|v6]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ddf/ddf_samples.h"
#include "ddf/ddf_values.h"

int main(int argc, char** argv) {
  const std::string kind = argc > 3 ? argv[3] : "ours";
  if ((argc != 3 && argc != 4) || (kind != "ours" && kind != "v5" && kind != "v6")) {
    std::fprintf(stderr, "usage: ddf_sample_set FOLDER RECORDS [ours|v5|v6]\n");
    return 2;
  }
  namespace t = tavelnor::ddf::test;
  const auto records = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
  std::error_code ec;
  std::filesystem::remove_all(argv[1], ec);
  std::filesystem::create_directories(argv[1], ec);
  t::DdfSpec spec;
  spec.kind = kind == "v5" ? t::FileKind::kVersion5 : kind == "v6" ? t::FileKind::kVersion6 : t::FileKind::kOurs;
  spec.tables = {t::EveryTypeTable(records), t::VariableTable(tavelnor::ddf::kDdfNote, 3)};
  const tavelnor::Status s = t::WriteDdfDatabase(argv[1], spec);
  if (!s.ok()) {
    std::fprintf(stderr, "ddf_sample_set: %s\n", s.ToString().c_str());
    return 1;
  }
  return 0;
}
