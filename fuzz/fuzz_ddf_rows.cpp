// libFuzzer target: any rows of FILE.DDF, FIELD.DDF and INDEX.DDF make a
// set of tables whose dictionary source always compiles, whose dictionary
// loads back with as many tables, and whose records (all zeros, all ones)
// decode column by column without fault.
//
// Input: a flags byte (bit 0: keep the X$ tables), then rows, each a tag
// byte (0: FILE.DDF, 1: FIELD.DDF, 2: INDEX.DDF, by its value modulo 3)
// followed by the row's bytes (87, 32 or 10).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "browse/record_decoder.h"
#include "browse/table_model.h"
#include "ddf/ddf_reader.h"
#include "ddf_dictionary.h"
#include "foundation/platform/files.h"

using namespace tavelnor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static const size_t kRowLength[3] = {87, 32, 10};
  std::vector<std::vector<uint8_t>> rows[3];
  for (size_t at = 1; at < size;) {
    const unsigned which = data[at++] % 3;
    const size_t n = std::min(kRowLength[which], size - at);
    rows[which].emplace_back(data + at, data + at + n);
    at += n;
  }
  ddf::DdfOptions options;
  options.system_tables = (data[0] & 1) != 0;
  options.check_data_files = false;
  ddf::DdfDatabase db;
  std::vector<std::string> warnings;
  ddf::BuildDdfDatabase("/nonexistent", rows[0], rows[1], rows[2], options, &db, &warnings);

  const auto source = tool::DdfDictionarySource(db, "/nonexistent/set.dic", &warnings);
  auto bytes = tool::DictionaryBytes(source);
  if (!bytes.ok()) {  // every converted set compiles
    std::fprintf(stderr, "%s\n", bytes.status().message().c_str());
    std::abort();
  }
  platform::ScratchFile file;
  if (!file.Create("set.dic", *bytes).ok()) return 0;
  tool::DictionaryModel model;
  std::string why;
  if (!model.Load(file.path(), &why)) std::abort();
  if (model.Tables().size() != db.tables.size()) std::abort();
  std::vector<tool::FieldValue> values;
  for (const tool::TableModel& t : model.Tables()) {
    for (const uint8_t fill : {uint8_t{0}, uint8_t{0xFF}}) {
      const std::vector<uint8_t> record(t.record_length, fill);
      tool::DecodeRecord(t, record.data(), record.size(), &values);
    }
  }
  return 0;
}
