// Reading FILE.DDF, FIELD.DDF and INDEX.DDF into tables, columns and keys,
// and checking them against the data files (see ddf_reader.h).
#include "ddf/ddf_reader.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <span>

#include "btrieve/data_file.h"
#include "btrieve/open_diagnosis.h"
#include "foundation/byte_reader.h"

namespace tavelnor::ddf {
namespace {

using Row = std::vector<uint8_t>;
using btrieve::DataFile;

constexpr uint16_t kFileRow = 87, kFieldRow = 32, kIndexRow = 10;
// Key flags that change what a key holds or how it orders; the binary and
// extended-type bits only restate the type, the segmented bit the count.
constexpr uint16_t kComparedKeyFlags = 0x066B;

std::string Trimmed(const Row& row, size_t offset, size_t size) {
  size_t n = size;
  while (n > 0 && (row[offset + n - 1] == ' ' || row[offset + n - 1] == 0)) --n;
  return std::string(row.begin() + static_cast<std::ptrdiff_t>(offset),
                     row.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

bool IsSystemName(const std::string& name) {
  return name.size() >= 2 && (name[0] == 'X' || name[0] == 'x') && name[1] == '$';
}

std::string Hex(unsigned v) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 12; shift >= 0; shift -= 4) s += kHex[(v >> shift) & 0xF];
  return s;
}

// Every record of one of the three files, each at least `min_length` bytes.
Status ReadRows(const std::string& folder, const char* name, uint16_t min_length, std::vector<Row>* rows,
                std::vector<std::string>* warnings) {
  const std::string path = ResolveDdfLocation(folder, name);
  if (path.empty()) return Status::NotFound(std::string(name) + " is not in " + folder);
  std::unique_ptr<DataFile> file;
  if (int st = DataFile::Open(path, &file); st != 0) {
    std::string why = btrieve::LastOpenDiagnosis();
    return Status::Corrupt(std::string(name) + " does not open: status " + std::to_string(st) +
                           (why.empty() ? "" : " (" + why + ")"));
  }
  if (file->spec().record_length < min_length) {
    return Status::Corrupt(std::string(name) + " has records of " + std::to_string(file->spec().record_length) +
                           " bytes, not the dictionary's layout (at least " + std::to_string(min_length) + ")");
  }
  uint32_t pos = 0;
  std::span<const uint8_t> data;
  for (;;) {
    const int st = file->Step(true, pos, &pos, &data);
    if (st == 9) break;
    if (st != 0) {
      warnings->push_back(std::string(name) + ": reading stopped at status " + std::to_string(st) + " after " +
                          std::to_string(rows->size()) + " rows");
      break;
    }
    if (data.size() < min_length) {
      warnings->push_back(std::string(name) + ": a row of " + std::to_string(data.size()) + " bytes skipped");
      continue;
    }
    rows->emplace_back(data.begin(), data.end());
  }
  return Status::Ok();
}

std::string Describe(const DdfKey& key) {
  std::string s;
  for (const DdfSegment& seg : key.segments) {
    if (!s.empty()) s += " + ";
    s += std::to_string(seg.offset) + "/" + std::to_string(seg.length) + "/" + Hex(seg.flags);
  }
  return s.empty() ? "no segments" : s;
}

bool SameKey(const DdfKey& a, const DdfKey& b) {
  return std::equal(a.segments.begin(), a.segments.end(), b.segments.begin(), b.segments.end(),
                    [](const DdfSegment& x, const DdfSegment& y) {
                      return x.offset == y.offset && x.length == y.length &&
                             (x.flags & kComparedKeyFlags) == (y.flags & kComparedKeyFlags);
                    });
}

const DdfField* FieldAt(const DdfTable& table, uint16_t offset, uint16_t length) {
  for (const DdfField& f : table.fields) {
    if (f.offset == offset && f.size == length) return &f;
  }
  return nullptr;
}

// Whether a key segment of extended type `key_type` orders values of column
// type `type` as that type: codes up to 20 are shared; the text-like and
// bit columns have no key type of their own.
bool KeyTypeFits(uint8_t key_type, uint8_t type) {
  if (type > kDdfTimestamp || type == kDdfNote || type == kDdfLvar || type == kDdfBit || type == kDdfNumericSa) {
    return true;
  }
  return key_type == type;
}

// Opens the table's data file and makes its record length and keys the
// table's, with a warning for each difference.
void CheckDataFile(const std::string& folder, const DdfOptions& options, DdfTable* table,
                   std::vector<std::string>* warnings) {
  const std::string who = "table " + table->name + ": ";
  table->path = ResolveDdfLocation(folder, table->location);
  if (table->path.empty()) {
    if (options.warn_missing_files) warnings->push_back(who + "data file " + table->location + " not found");
    return;
  }
  std::unique_ptr<DataFile> file;
  if (int st = DataFile::Open(table->path, &file); st != 0) {
    warnings->push_back(who + "data file " + table->path + " does not open (status " + std::to_string(st) + ")");
    return;
  }
  const btrieve::FileSpec& spec = file->spec();
  table->checked = true;
  for (const DdfField& f : table->fields) {
    const bool variable_part = f.type == kDdfNote || f.type == kDdfLvar;
    if (!variable_part && f.offset + f.size > spec.record_length) {
      warnings->push_back(who + "column " + f.name + " ends at byte " + std::to_string(f.offset + f.size) +
                          ", beyond the data file's records of " + std::to_string(spec.record_length));
    }
  }
  table->record_length = spec.record_length;
  std::vector<DdfKey> keys;
  for (const btrieve::KeyDef& def : spec.keys) {
    DdfKey key;
    key.number = def.number;
    for (const btrieve::Segment& s : def.segments) {
      const auto offset = static_cast<uint16_t>(s.position - 1);
      const DdfField* f = FieldAt(*table, offset, s.length);
      if (f && (s.flags & btrieve::kKeyExtType) && !KeyTypeFits(s.type, f->type)) {
        warnings->push_back(who + "key " + std::to_string(def.number) + " orders column " + f->name +
                            " as key type " + std::to_string(s.type) + ", not as its " +
                            std::string(DdfTypeName(f->type)));
      }
      key.segments.push_back({f ? f->id : uint16_t{0}, offset, s.length, s.flags});
    }
    auto listed = std::find_if(table->keys.begin(), table->keys.end(),
                               [&](const DdfKey& k) { return k.number == key.number; });
    if (listed == table->keys.end()) {
      warnings->push_back(who + "key " + std::to_string(key.number) + " of the data file (" + Describe(key) +
                          ") is not in INDEX.DDF");
    } else {
      key.name = listed->name;
      if (!SameKey(*listed, key)) {
        warnings->push_back(who + "key " + std::to_string(key.number) + " is " + Describe(*listed) +
                            " in INDEX.DDF but " + Describe(key) + " in the data file");
      }
    }
    keys.push_back(std::move(key));
  }
  for (const DdfKey& k : table->keys) {
    if (!spec.FindKey(k.number)) {
      warnings->push_back(who + "key " + std::to_string(k.number) + " of INDEX.DDF is not in the data file");
    }
  }
  table->keys = std::move(keys);
}

}  // namespace

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

const DdfTable* DdfDatabase::FindTable(const std::string& name) const {
  for (const DdfTable& t : tables) {
    if (SameNoCase(t.name, name)) return &t;
  }
  return nullptr;
}

Status ReadDdfDatabase(const std::string& folder, const DdfOptions& options, DdfDatabase* out,
                       std::vector<std::string>* warnings) {
  *out = DdfDatabase();
  out->folder = folder;
  std::vector<Row> file_rows, field_rows, index_rows;
  if (Status s = ReadRows(folder, "FILE.DDF", kFileRow, &file_rows, warnings); !s.ok()) return s;
  if (Status s = ReadRows(folder, "FIELD.DDF", kFieldRow, &field_rows, warnings); !s.ok()) return s;
  if (Status s = ReadRows(folder, "INDEX.DDF", kIndexRow, &index_rows, warnings); !s.ok()) return s;
  BuildDdfDatabase(folder, file_rows, field_rows, index_rows, options, out, warnings);
  return Status::Ok();
}

void BuildDdfDatabase(const std::string& folder, const std::vector<Row>& file_rows,
                      const std::vector<Row>& field_rows, const std::vector<Row>& index_rows,
                      const DdfOptions& options, DdfDatabase* out, std::vector<std::string>* warnings) {
  *out = DdfDatabase();
  out->folder = folder;
  out->rows_read[0] = file_rows.size();
  out->rows_read[1] = field_rows.size();
  out->rows_read[2] = index_rows.size();

  std::map<uint16_t, DdfTable> tables;
  for (const Row& r : file_rows) {
    if (r.size() < kFileRow) continue;
    DdfTable t;
    t.id = LoadLE16(r.data());
    t.name = Trimmed(r, 2, 20);
    t.location = Trimmed(r, 22, 64);
    t.flags = r[86];
    t.system = IsSystemName(t.name);
    if (t.name.empty() || tables.count(t.id)) {
      warnings->push_back("FILE.DDF: row of table id " + std::to_string(t.id) +
                          (t.name.empty() ? " has no name" : " repeats that id") + "; skipped");
      continue;
    }
    tables.emplace(t.id, std::move(t));
  }

  std::map<uint16_t, DdfField> fields;
  std::map<std::pair<uint16_t, uint16_t>, std::string> index_names;
  for (const Row& r : field_rows) {
    if (r.size() < kFieldRow) continue;
    DdfField f;
    f.id = LoadLE16(r.data());
    f.table_id = LoadLE16(r.data() + 2);
    f.name = Trimmed(r, 4, 20);
    f.type = r[24];
    f.offset = LoadLE16(r.data() + 25);
    f.size = LoadLE16(r.data() + 27);
    f.decimals = r[29];
    f.flags = LoadLE16(r.data() + 30);
    const std::string who = "FIELD.DDF: field id " + std::to_string(f.id) + " (" + f.name + ")";
    if (!tables.count(f.table_id)) {
      warnings->push_back(who + " names table id " + std::to_string(f.table_id) + ", which FILE.DDF lacks; skipped");
      continue;
    }
    if (f.type == kDdfIndexName) {
      ++out->index_name_rows;
      index_names[{f.table_id, f.offset}] = f.name;  // made 0-based below when needed
      continue;
    }
    if (f.type == kDdfConstraintName) {
      ++out->constraint_rows;
      continue;
    }
    std::string fault;
    if (DdfTypeName(f.type).empty()) {
      fault = " has type code " + std::to_string(f.type) + ", which no column has";
    } else if (!DdfTypeAccepts(f.type, f.size)) {
      fault = " is a " + std::string(DdfTypeName(f.type)) + " of " + std::to_string(f.size) + " bytes";
    } else if (f.type == kDdfBit && f.decimals > 7) {
      fault = " is bit " + std::to_string(f.decimals) + " of a byte";
    } else if (f.offset + f.size > 0xFFFF) {
      fault = " ends beyond any record";
    } else if (fields.count(f.id)) {
      fault = " repeats that id";
    }
    if (!fault.empty()) {
      warnings->push_back(who + fault + "; skipped");
      continue;
    }
    ++out->field_rows;
    fields.emplace(f.id, std::move(f));
  }
  for (auto& [id, f] : fields) tables[f.table_id].fields.push_back(f);

  // Some programs kept their own dictionaries counting keys and segments
  // from 1: no key of theirs has a segment 0.
  out->one_based = !index_rows.empty() && std::none_of(index_rows.begin(), index_rows.end(), [](const Row& r) {
    return r.size() >= kIndexRow && LoadLE16(r.data() + 6) == 0;
  });
  std::map<std::pair<uint16_t, uint16_t>, std::map<uint16_t, DdfSegment>> keys;
  for (const Row& r : index_rows) {
    if (r.size() < kIndexRow) continue;
    const uint16_t table_id = LoadLE16(r.data()), field_id = LoadLE16(r.data() + 2);
    uint16_t number = LoadLE16(r.data() + 4), part = LoadLE16(r.data() + 6);
    const uint16_t flags = LoadLE16(r.data() + 8);
    const std::string who = "INDEX.DDF: table id " + std::to_string(table_id) + " key " + std::to_string(number) +
                            " segment " + std::to_string(part);
    if (out->one_based) {
      if (number == 0) {
        warnings->push_back(who + ": key 0 where keys count from 1; skipped");
        continue;
      }
      --number, --part;
    }
    auto field = fields.find(field_id);
    if (field == fields.end() || field->second.table_id != table_id) {
      warnings->push_back(who + " names field id " + std::to_string(field_id) + ", not a column of that table; skipped");
      continue;
    }
    auto& segments = keys[{table_id, number}];
    if (segments.count(part)) {
      warnings->push_back(who + " is listed twice; skipped");
      continue;
    }
    ++out->index_rows;
    segments[part] = {field_id, field->second.offset, field->second.size, flags};
  }
  if (out->one_based) {
    std::map<std::pair<uint16_t, uint16_t>, std::string> shifted;
    for (auto& [at, name] : index_names) shifted[{at.first, static_cast<uint16_t>(at.second - 1)}] = name;
    index_names = std::move(shifted);
  }
  for (auto& [at, segments] : keys) {
    DdfKey key;
    key.number = at.second;
    if (auto name = index_names.find(at); name != index_names.end()) key.name = name->second;
    uint16_t expected = 0;
    for (auto& [part, seg] : segments) {
      if (part != expected++) {
        warnings->push_back("INDEX.DDF: table id " + std::to_string(at.first) + " key " + std::to_string(key.number) +
                            " has no segment " + std::to_string(expected - 1));
        expected = static_cast<uint16_t>(part + 1);
      }
      key.segments.push_back(seg);
    }
    tables[at.first].keys.push_back(std::move(key));
  }
  for (const auto& [at, name] : index_names) {
    if (!keys.count(at)) {
      warnings->push_back("FIELD.DDF: index name " + name + " of table id " + std::to_string(at.first) + " names key " +
                          std::to_string(at.second) + ", which INDEX.DDF lacks");
    }
  }

  for (auto& [id, t] : tables) {
    if (t.system && !options.system_tables) continue;
    std::sort(t.fields.begin(), t.fields.end(), [](const DdfField& a, const DdfField& b) {
      return a.offset != b.offset ? a.offset < b.offset : a.decimals < b.decimals;
    });
    for (const DdfField& f : t.fields) t.record_length = std::max<uint16_t>(t.record_length, f.offset + f.size);
    if (options.check_data_files) CheckDataFile(folder, options, &t, warnings);
    out->tables.push_back(std::move(t));
  }
}

}  // namespace tavelnor::ddf
