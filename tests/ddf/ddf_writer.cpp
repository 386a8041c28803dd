// Test-side writer of data dictionaries and their data files.
#include "ddf/ddf_writer.h"

#include <filesystem>
#include <fstream>
#include <memory>

#include "btrieve/data_file.h"
#include "btrieve/file_spec.h"
#include "btrieve/legacy_synth.h"
#include "foundation/byte_reader.h"

namespace tavelnor::ddf::test {
namespace {

using Row = std::vector<uint8_t>;

void PutText(Row* row, size_t offset, size_t size, const std::string& text) {
  for (size_t i = 0; i < size; ++i) (*row)[offset + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

// The key type a column of `ddf_type` sorts by.
uint8_t KeyTypeOf(uint8_t ddf_type) {
  switch (ddf_type) {
    case 12: case 13: case 16: case 18: case 27: return btrieve::kTypeString;
    default: return ddf_type;
  }
}

std::vector<SegmentSpec> Segments(const TableSpec& t, const KeySpec& k) {
  std::vector<SegmentSpec> out;
  for (size_t i = 0; i < k.columns.size(); ++i) {
    const ColumnSpec& c = t.columns.at(k.columns[i]);
    uint16_t flags = k.flags | btrieve::kKeyExtType;
    if (i + 1 < k.columns.size()) flags |= btrieve::kKeySegmented;
    out.push_back({c.offset, c.size, flags, k.key_type < 0 ? KeyTypeOf(c.type) : static_cast<uint8_t>(k.key_type)});
  }
  return out;
}

TableSpec SystemTable(const std::string& name, const std::string& file, uint16_t length,
                      std::vector<ColumnSpec> columns, std::vector<KeySpec> keys) {
  TableSpec t;
  t.name = name;
  t.location = t.file = file;
  t.record_length = length;
  t.columns = std::move(columns);
  t.keys = std::move(keys);
  return t;
}

}  // namespace

Row FieldRow(uint16_t id, uint16_t table, const std::string& name, uint8_t type, uint16_t offset, uint16_t size,
             uint8_t decimals, uint16_t flags) {
  Row r(32, 0);
  StoreLE16(&r[0], id);
  StoreLE16(&r[2], table);
  PutText(&r, 4, 20, name);
  r[24] = type;
  StoreLE16(&r[25], offset);
  StoreLE16(&r[27], size);
  r[29] = decimals;
  StoreLE16(&r[30], flags);
  return r;
}

Row IndexRow(uint16_t table, uint16_t field, uint16_t number, uint16_t part, uint16_t flags) {
  Row r(10, 0);
  StoreLE16(&r[0], table);
  StoreLE16(&r[2], field);
  StoreLE16(&r[4], number);
  StoreLE16(&r[6], part);
  StoreLE16(&r[8], flags);
  return r;
}

Status WriteDataFile(FileKind kind, const std::string& path, uint16_t record_length, bool variable,
                     const std::vector<std::vector<SegmentSpec>>& keys, const std::vector<Row>& records) {
  if (kind == FileKind::kOurs) {
    Row create(16, 0);
    StoreLE16(&create[0], record_length);
    StoreLE16(&create[2], 4096);
    create[4] = static_cast<uint8_t>(keys.size());
    StoreLE16(&create[10], variable ? btrieve::kFileVarRecs : 0);
    for (size_t k = 0; k < keys.size(); ++k) {
      for (const SegmentSpec& s : keys[k]) {
        Row seg(16, 0);
        StoreLE16(&seg[0], static_cast<uint16_t>(s.offset + 1));
        StoreLE16(&seg[2], s.length);
        StoreLE16(&seg[4], s.flags);
        seg[10] = s.type;
        seg[14] = static_cast<uint8_t>(k);
        create.insert(create.end(), seg.begin(), seg.end());
      }
    }
    btrieve::FileSpec spec;
    if (int st = btrieve::ParseFileSpec(create, &spec); st != 0) {
      return Status::InvalidArgument(path + ": creation buffer refused, status " + std::to_string(st));
    }
    if (int st = btrieve::DataFile::Create(path, spec, true); st != 0) {
      return Status::IoError(path + ": Create status " + std::to_string(st));
    }
    std::unique_ptr<btrieve::DataFile> file;
    if (int st = btrieve::DataFile::Open(path, &file); st != 0) {
      return Status::IoError(path + ": Open status " + std::to_string(st));
    }
    std::vector<Row> copy = records;
    std::vector<uint32_t> positions;
    if (int st = file->InsertMany(&copy, &positions); st != 0) {
      return Status::IoError(path + ": Insert status " + std::to_string(st));
    }
    return Status::Ok();
  }
  btrieve::synth::SynthFile synth;
  synth.record_length = record_length;
  synth.variable = variable;
  for (const auto& key : keys) {
    btrieve::synth::SynthKey sk;
    for (const SegmentSpec& s : key) sk.segments.push_back({s.offset, s.length, s.flags, s.type});
    synth.keys.push_back(sk);
  }
  synth.records = records;
  btrieve::synth::Written w =
      kind == FileKind::kVersion5 ? btrieve::synth::WriteVersion5(synth) : btrieve::synth::WriteVersion6(synth);
  if (w.image.empty()) return Status::InvalidArgument(path + ": cannot be laid out");
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(w.image.data()), static_cast<std::streamsize>(w.image.size()));
  return out ? Status::Ok() : Status::IoError(path + ": write failed");
}

Status WriteDdfDatabase(const std::string& folder, const DdfSpec& spec) {
  const bool lower = spec.lower_case_names;
  const uint16_t file_len = spec.file_row_length;
  std::vector<TableSpec> tables;
  tables.push_back(SystemTable("X$File", lower ? "file.ddf" : "FILE.DDF", file_len,
                               {{"Xf$Id", 1, 2, 0, 0}, {"Xf$Name", 0, 20, 0, 2}, {"Xf$Loc", 0, 64, 0, 22},
                                {"Xf$Flags", 14, 1, 0, 86}},
                               {{{0}, btrieve::kKeyModifiable, ""}, {{1}, btrieve::kKeyModifiable, "Xf$NameIndex"}}));
  tables.push_back(SystemTable("X$Field", lower ? "field.ddf" : "FIELD.DDF", 32,
                               {{"Xe$Id", 1, 2, 0, 0}, {"Xe$File", 1, 2, 0, 2}, {"Xe$Name", 0, 20, 0, 4},
                                {"Xe$DataType", 14, 1, 0, 24}, {"Xe$Offset", 1, 2, 0, 25}, {"Xe$Size", 1, 2, 0, 27},
                                {"Xe$Dec", 14, 1, 0, 29}, {"Xe$Flags", 1, 2, 0, 30}},
                               {{{0}, 0, ""}, {{1}, btrieve::kKeyDup, ""}, {{2}, btrieve::kKeyDup, ""},
                                {{1, 2}, btrieve::kKeyDup, ""}}));
  tables.push_back(SystemTable("X$Index", lower ? "index.ddf" : "INDEX.DDF", 10,
                               {{"Xi$File", 1, 2, 0, 0}, {"Xi$Field", 1, 2, 0, 2}, {"Xi$Number", 1, 2, 0, 4},
                                {"Xi$Part", 1, 2, 0, 6}, {"Xi$Flags", 1, 2, 0, 8}},
                               {{{0}, btrieve::kKeyDup, ""}, {{1}, btrieve::kKeyDup, ""}}));
  tables.insert(tables.end(), spec.tables.begin(), spec.tables.end());

  std::vector<Row> file_rows, field_rows, index_rows;
  uint16_t field_id = 1;
  for (size_t t = 0; t < tables.size(); ++t) {
    const TableSpec& table = tables[t];
    const auto table_id = static_cast<uint16_t>(t < 3 ? t + 1 : t + 7);
    Row fr(file_len, 0);
    StoreLE16(&fr[0], table_id);
    PutText(&fr, 2, 20, table.name);
    PutText(&fr, 22, 64, table.location);
    fr[86] = t < 3 ? 16 : 0;
    file_rows.push_back(fr);
    const uint16_t first_field = field_id;
    for (const ColumnSpec& c : table.columns) {
      field_rows.push_back(FieldRow(field_id++, table_id, c.name, c.type, c.offset, c.size, c.decimals, c.flags));
    }
    for (size_t k = 0; k < table.keys.size(); ++k) {
      const KeySpec& key = table.keys[k];
      if (!key.name.empty()) field_rows.push_back(FieldRow(field_id++, table_id, key.name, 255, uint16_t(k), 0, 0));
      const std::vector<SegmentSpec> segments = Segments(table, key);
      for (size_t p = 0; p < key.columns.size(); ++p) {
        index_rows.push_back(IndexRow(table_id, static_cast<uint16_t>(first_field + key.columns[p]),
                                      static_cast<uint16_t>(k), static_cast<uint16_t>(p), segments[p].flags));
      }
    }
  }
  field_rows.insert(field_rows.end(), spec.extra_field_rows.begin(), spec.extra_field_rows.end());
  index_rows.insert(index_rows.end(), spec.extra_index_rows.begin(), spec.extra_index_rows.end());
  tables[0].records = file_rows;
  tables[1].records = field_rows;
  tables[2].records = index_rows;

  for (const TableSpec& table : tables) {
    if (table.file.empty()) continue;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(folder + "/" + table.file).parent_path(), ec);
    std::vector<std::vector<SegmentSpec>> keys;
    for (const KeySpec& k : table.own_data_keys ? table.data_keys : table.keys) keys.push_back(Segments(table, k));
    if (Status s = WriteDataFile(spec.kind, folder + "/" + table.file, table.record_length, table.variable, keys,
                                 table.records);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace tavelnor::ddf::test
