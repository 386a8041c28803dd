// Exported tables written into an SQLite database made to be migrated from.
#include "browse/sqlite_export.h"

#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <utility>
#include <variant>

namespace tavelnor::tool {
namespace {

// Btrieve key flags: null keys leave records out of the index, so a unique
// one may hold repeated values in the file.
constexpr uint16_t kKeyNullAll = 0x0008;
constexpr uint16_t kKeyNullAny = 0x0200;
constexpr uint16_t kSegmentDescending = 0x0040;
constexpr uint16_t kTypeUint64 = 27;

struct IndexColumn {
  std::string name;
  bool descending = false;
};

// A key laid on the table's columns: the whole fields its segments lie on,
// each once.
struct KeyColumns {
  std::vector<IndexColumn> columns;
  bool partial = false;   // a segment covers part of a field (or spills over it)
  bool unplaced = false;  // a segment lies on no field
  bool repeated = false;  // two segments lie on one field
};

const FieldModel* FieldNamed(const TableModel& table, std::string_view name) {
  for (const FieldModel& f : table.fields) {
    if (SameName(f.name, std::string(name))) return &f;
  }
  return nullptr;
}

bool Contains(const std::vector<IndexColumn>& columns, const std::string& name) {
  return std::any_of(columns.begin(), columns.end(),
                     [&](const IndexColumn& c) { return SameName(c.name, name); });
}

// A segment on part of a field is named "<field>+<offset in the field>".
KeyColumns ColumnsOf(const TableModel& table, const KeyModel& key) {
  KeyColumns out;
  for (const KeySegmentModel& s : key.segments) {
    const FieldModel* field = FieldNamed(table, s.field);
    if (field == nullptr) {
      const size_t plus = s.field.rfind('+');
      if (plus != std::string::npos) {
        field = FieldNamed(table, std::string_view(s.field).substr(0, plus));
      }
      out.partial = out.partial || field != nullptr;
    }
    if (field == nullptr) {
      out.unplaced = true;
    } else if (Contains(out.columns, field->name)) {
      out.repeated = true;
    } else {
      out.columns.push_back({field->name, (s.flags & kSegmentDescending) != 0});
    }
  }
  return out;
}

bool OnWholeFields(const KeyColumns& c) { return !c.columns.empty() && !c.partial && !c.unplaced; }

// The key made primary key: the first unique one on whole fields, each once,
// that leaves no record out.
int PrimaryKeyOf(const TableModel& table) {
  for (size_t i = 0; i < table.keys.size(); ++i) {
    const KeyModel& key = table.keys[i];
    if (!key.unique || (key.flags & (kKeyNullAll | kKeyNullAny)) != 0) continue;
    const KeyColumns c = ColumnsOf(table, key);
    if (OnWholeFields(c) && !c.repeated) return static_cast<int>(i);
  }
  return -1;
}

// The key of `target` that a foreign key on `columns` may refer to: its
// primary key, or a unique key given a UNIQUE index, on exactly those columns.
const KeyModel* UniqueKeyOn(const TableModel& target, const std::vector<std::string>& columns) {
  const int primary = PrimaryKeyOf(target);
  for (size_t i = 0; i < target.keys.size(); ++i) {
    const KeyModel& key = target.keys[i];
    const KeyColumns c = ColumnsOf(target, key);
    if (static_cast<int>(i) != primary && !(key.unique && OnWholeFields(c))) continue;
    if (c.columns.size() != columns.size()) continue;
    const bool same = std::all_of(columns.begin(), columns.end(), [&](const std::string& name) {
      return Contains(c.columns, name);
    });
    if (same) return &key;
  }
  return nullptr;
}

std::string ColumnList(const std::vector<IndexColumn>& columns) {
  std::string out = "(";
  for (size_t i = 0; i < columns.size(); ++i) {
    out += (i ? ", " : "") + SqlIdentifier(columns[i].name);
    if (columns[i].descending) out += " DESC";
  }
  return out + ")";
}

std::string KeyName(const KeyModel& key) {
  return key.name.empty() ? "key " + std::to_string(key.number) : key.name;
}

const char* KindName(StoredKind kind) {
  static const char* const kNames[] = {"none", "text",      "signed", "unsigned",  "real", "fixed",
                                       "bool", "date",      "time",   "timestamp", "guid", "bytes",
                                       "memo", "rich text", "blob",   "picture"};
  const auto at = static_cast<size_t>(kind);
  return at < std::size(kNames) ? kNames[at] : "";
}

// A value of the description tables.
using Item = std::variant<std::nullptr_t, int64_t, std::string>;

}  // namespace

std::string SqlIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

const char* SqlColumnType(const FieldModel& field) {
  switch (field.kind) {
    case StoredKind::kSigned:
    case StoredKind::kBool: return "INTEGER";
    case StoredKind::kUnsigned:
      return field.type_code == kTypeUint64 || field.size >= 8 ? "TEXT" : "INTEGER";
    case StoredKind::kReal: return "REAL";
    case StoredKind::kFixed: return "DECIMAL TEXT";
    case StoredKind::kNone:
    case StoredKind::kBytes:
    case StoredKind::kBlob:
    case StoredKind::kPicture: return "BLOB";
    default: return "TEXT";
  }
}

SqliteExport::~SqliteExport() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  if (db_ != nullptr) sqlite3_close(db_);
}

std::vector<std::string> SqliteExport::TakeWarnings() { return std::exchange(warnings_, {}); }

bool SqliteExport::Check(int rc, const std::string& what) {
  if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW) return true;
  error_ = what + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
  return false;
}

bool SqliteExport::Exec(const std::string& sql) {
  return Check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), sql);
}

bool SqliteExport::Prepare(const std::string& sql) {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
  return Check(sqlite3_prepare_v2(db_, sql.c_str(), -1, &insert_, nullptr), sql);
}

bool SqliteExport::Create(const std::string& path, const std::vector<const TableModel*>& tables) {
  if (db_ != nullptr) {
    error_ = "the database is already open";
    return false;
  }
  std::error_code ec;
  std::filesystem::remove(std::filesystem::path(std::u8string(path.begin(), path.end())), ec);
  const int rc =
      sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (!Check(rc, "opening " + path)) {
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  for (const TableModel* table : tables) tables_.push_back(*table);
  // Large pages write long tables faster. Nothing to recover should the
  // export stop half-way: it is started over. Foreign keys are declared, not
  // enforced: the file holds what it holds. An 8 MiB page cache (also what
  // the index sorts keep in memory before they spill) keeps the memory the
  // same whatever the number of records, at no cost in speed.
  return Exec("PRAGMA page_size=16384") && Exec("PRAGMA journal_mode=OFF") &&
         Exec("PRAGMA synchronous=OFF") && Exec("PRAGMA locking_mode=EXCLUSIVE") &&
         Exec("PRAGMA cache_size=-8192") && Exec("PRAGMA foreign_keys=OFF");
}

bool SqliteExport::BeginTable(const TableModel& model) {
  if (db_ == nullptr || in_table_) {
    error_ = db_ == nullptr ? "no database" : "the previous table was not ended";
    return false;
  }
  Begun begun;
  begun.table = tables_.size();
  for (size_t i = 0; i < tables_.size(); ++i) {
    if (SameName(tables_[i].name, model.name)) begun.table = i;
  }
  if (begun.table == tables_.size()) tables_.push_back(model);
  const TableModel& table = tables_[begun.table];
  const std::string name = SqlIdentifier(table.name);

  std::string insert = "INSERT INTO " + name + " VALUES (";
  for (size_t i = 0; i < table.fields.size(); ++i) {
    begun.definition += (i ? ", " : "") + SqlIdentifier(table.fields[i].name) + " " +
                        SqlColumnType(table.fields[i]);
    insert += i ? ", ?" : "?";
  }
  insert += ")";
  if (table.fields.empty()) {
    begun.definition = "\"_tavelnor_no_field\" BLOB";
    insert = "INSERT INTO " + name + " DEFAULT VALUES";
  }
  begun.primary_key = PrimaryKeyOf(table);
  if (begun.primary_key >= 0) {
    const KeyColumns c = ColumnsOf(table, table.keys[static_cast<size_t>(begun.primary_key)]);
    begun.definition += ", PRIMARY KEY " + ColumnList(c.columns);
    // One INTEGER column is the rowid itself: a row without a value there
    // would be given one, so it is left out instead.
    const FieldModel* only = c.columns.size() == 1 ? FieldNamed(table, c.columns[0].name) : nullptr;
    if (only != nullptr && std::string_view(SqlColumnType(*only)) == "INTEGER") {
      begun.rowid_field = static_cast<int>(only - table.fields.data());
    }
  }
  const size_t references = references_.size();
  for (const LinkModel& link : table.links) {
    const std::string where = table.name + ": link " + link.name + " to " + link.target_table;
    const TableModel* target = nullptr;
    for (const TableModel& t : tables_) {
      if (SameName(t.name, link.target_table)) target = &t;
    }
    std::vector<IndexColumn> own, theirs;
    std::vector<std::string> their_names;
    bool placed = !link.columns.empty();
    for (const auto& [column, target_column] : link.columns) {
      placed = placed && !Contains(own, column) && FieldNamed(table, column) != nullptr &&
               (target == nullptr || FieldNamed(*target, target_column) != nullptr);
      own.push_back({column, false});
      theirs.push_back({target_column, false});
      their_names.push_back(target_column);
    }
    if (!placed) {
      warnings_.push_back(where + ": not on whole fields; no foreign key");
    } else if (target == nullptr) {
      warnings_.push_back(where + ": that table is not exported; no foreign key");
    } else if (const KeyModel* key = UniqueKeyOn(*target, their_names); key == nullptr) {
      warnings_.push_back(where + ": its columns are not a unique key there; no foreign key");
    } else {
      references_.push_back({begun.table, static_cast<size_t>(target - tables_.data()),
                             static_cast<size_t>(key - target->keys.data()),
                             "FOREIGN KEY " + ColumnList(own) + " REFERENCES " +
                                 SqlIdentifier(target->name) + " " + ColumnList(theirs)});
    }
  }
  if (!Exec(CreateSql(begun)) || !Prepare(insert) || !Exec("BEGIN")) {
    references_.resize(references);
    return false;
  }
  scratch_.assign(table.fields.size(), std::string());
  begun_.push_back(begun);
  in_table_ = true;
  model_table_ = true;
  return true;
}

bool SqliteExport::AddRow(const std::vector<FieldValue>& values) {
  if (!model_table_ || insert_ == nullptr) {
    error_ = "no table begun";
    return false;
  }
  Begun& begun = begun_.back();
  const TableModel& table = tables_[begun.table];
  if (values.size() != table.fields.size()) {
    error_ = table.name + ": " + std::to_string(values.size()) + " values for " +
             std::to_string(table.fields.size()) + " fields";
    return false;
  }
  if (begun.rowid_field >= 0 &&
      values[static_cast<size_t>(begun.rowid_field)].type == ValueType::kNull) {
    ++begun.left_out;
    return true;
  }
  // The values live through the step: bound without copies.
  for (size_t i = 0; i < values.size(); ++i) {
    const FieldValue& v = values[i];
    const int at = static_cast<int>(i + 1);
    int rc = SQLITE_OK;
    switch (v.type) {
      case ValueType::kNull: rc = sqlite3_bind_null(insert_, at); break;
      case ValueType::kInteger:
      case ValueType::kBool: rc = sqlite3_bind_int64(insert_, at, v.integer); break;
      case ValueType::kReal: rc = sqlite3_bind_double(insert_, at, v.real); break;
      case ValueType::kBytes:
      case ValueType::kBlob:
        rc = sqlite3_bind_blob64(insert_, at, v.bytes.data(), v.bytes.size(), SQLITE_STATIC);
        break;
      case ValueType::kUnsigned:
        if (v.text.empty()) {
          char digits[24];
          const auto end = std::to_chars(digits, digits + sizeof digits, v.unsigned_integer).ptr;
          scratch_[i].assign(digits, end);
          rc = sqlite3_bind_text64(insert_, at, scratch_[i].data(), scratch_[i].size(),
                                   SQLITE_STATIC, SQLITE_UTF8);
          break;
        }
        [[fallthrough]];
      default:
        rc = sqlite3_bind_text64(insert_, at, v.text.data(), v.text.size(), SQLITE_STATIC,
                                 SQLITE_UTF8);
        break;
    }
    if (rc != SQLITE_OK) return Check(rc, table.name + ": binding " + table.fields[i].name);
  }
  const int rc = sqlite3_step(insert_);
  bool ok = true;
  if ((rc & 0xFF) == SQLITE_CONSTRAINT || (rc & 0xFF) == SQLITE_MISMATCH) {
    ++begun.left_out;  // only the primary key is enforced during the load
  } else if (rc != SQLITE_DONE) {
    ok = Check(rc, table.name + ": inserting a row");
  }
  sqlite3_reset(insert_);
  return ok;
}

std::string SqliteExport::CreateSql(const Begun& begun) const {
  std::string sql =
      "CREATE TABLE " + SqlIdentifier(tables_[begun.table].name) + " (" + begun.definition;
  for (const Reference& r : references_) {
    if (r.table == begun.table && !r.dropped) sql += ", " + r.clause;
  }
  return sql + ")";
}

// Takes the foreign keys towards key `key` of table `target` out of the
// tables that declare them, which SQLite allows by editing their recorded
// CREATE TABLE (the stored rows do not change). Adds the names of the tables
// to `tables`.
bool SqliteExport::DropReferences(size_t target, size_t key, std::string* tables) {
  std::vector<size_t> changed;
  for (Reference& r : references_) {
    if (r.target != target || r.key != key || r.dropped) continue;
    r.dropped = true;
    if (std::find(changed.begin(), changed.end(), r.table) == changed.end()) {
      changed.push_back(r.table);
    }
  }
  if (changed.empty()) return true;
  int version = 0;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA schema_version", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    version = sqlite3_column_int(statement, 0);
  }
  sqlite3_finalize(statement);
  bool ok = Exec("PRAGMA writable_schema=ON") &&
            Check(sqlite3_prepare_v2(
                      db_, "UPDATE sqlite_master SET sql = ?1 WHERE type = 'table' AND name = ?2",
                      -1, &statement, nullptr),
                  "preparing a schema change");
  for (size_t i = 0; ok && i < changed.size(); ++i) {
    const Begun* begun = nullptr;
    for (const Begun& b : begun_) {
      if (b.table == changed[i]) begun = &b;
    }
    if (begun == nullptr) continue;
    const std::string sql = CreateSql(*begun);
    const std::string& name = tables_[begun->table].name;
    sqlite3_bind_text64(statement, 1, sql.data(), sql.size(), SQLITE_STATIC, SQLITE_UTF8);
    sqlite3_bind_text64(statement, 2, name.data(), name.size(), SQLITE_STATIC, SQLITE_UTF8);
    ok = Check(sqlite3_step(statement), "changing the schema of " + name);
    sqlite3_reset(statement);
    *tables += (tables->empty() ? "" : ", ") + name;
  }
  sqlite3_finalize(statement);
  // A new schema version makes the connection read the changed schema.
  if (ok) ok = Exec("PRAGMA schema_version=" + std::to_string(version + 1));
  return Exec("PRAGMA writable_schema=OFF") && ok;
}

// Ends the open table, if any: the rows written so far are kept.
void SqliteExport::CloseTable() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
  if (!in_table_) return;
  in_table_ = false;
  if (!std::exchange(model_table_, false)) return;
  const Begun& begun = begun_.back();
  const TableModel& table = tables_[begun.table];
  if (begun.left_out > 0 && begun.primary_key >= 0) {
    warnings_.push_back(table.name + ": " + std::to_string(begun.left_out) +
                        " rows left out: their value of key " +
                        KeyName(table.keys[static_cast<size_t>(begun.primary_key)]) +
                        ", the primary key, repeats an earlier row's or is missing");
  }
}

bool SqliteExport::EndTable() {
  if (!in_table_) {
    error_ = "no table begun";
    return false;
  }
  CloseTable();
  return Exec("COMMIT");
}

bool SqliteExport::Finish(const std::vector<CategoryModel>& categories) {
  if (db_ == nullptr) {
    error_ = "no database";
    return false;
  }
  CloseTable();
  bool ok = sqlite3_get_autocommit(db_) != 0 || Exec("COMMIT");
  // Foreign keys towards a table that was not written would refer to nothing.
  for (size_t i = 0; i < references_.size(); ++i) {
    const size_t target = references_[i].target;
    const auto written = [&](const Begun& b) { return b.table == target; };
    if (references_[i].dropped || std::any_of(begun_.begin(), begun_.end(), written)) continue;
    std::string referring;
    ok = DropReferences(target, references_[i].key, &referring) && ok;
    warnings_.push_back("the foreign keys of " + referring + " towards " + tables_[target].name +
                        " are taken out: that table was not written");
  }
  for (const Begun& begun : begun_) {
    if (begun.primary_key >= 0) {
      key_indexes_[{begun.table, static_cast<size_t>(begun.primary_key)}] = "PRIMARY KEY";
    }
    ok = BuildIndexes(begun) && ok;
  }
  return WriteDescriptions(categories) && ok;
}

// `name`, or when a table or an index has it already, the first of
// `name`_2, `name`_3... that none has.
std::string SqliteExport::UnusedName(const std::string& name) {
  sqlite3_stmt* statement = nullptr;
  sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE", -1,
                     &statement, nullptr);
  std::string candidate = name;
  for (int n = 2; statement != nullptr; ++n) {
    sqlite3_bind_text64(statement, 1, candidate.data(), candidate.size(), SQLITE_STATIC,
                        SQLITE_UTF8);
    const bool taken = sqlite3_step(statement) == SQLITE_ROW;
    sqlite3_reset(statement);
    if (!taken) break;
    candidate = name + "_" + std::to_string(n);
  }
  sqlite3_finalize(statement);
  return candidate;
}

bool SqliteExport::BuildIndexes(const Begun& begun) {
  const TableModel& table = tables_[begun.table];
  bool ok = true;
  for (size_t i = 0; i < table.keys.size(); ++i) {
    if (static_cast<int>(i) == begun.primary_key) continue;
    const KeyModel& key = table.keys[i];
    const KeyColumns c = ColumnsOf(table, key);
    const std::string where = table.name + ": key " + KeyName(key);
    if (c.columns.empty()) {
      warnings_.push_back(where + ": lies on no field; no index");
      continue;
    }
    if (c.unplaced) {
      warnings_.push_back(where + ": a segment lies on no field and is left out of the index");
    }
    if (c.partial) {
      warnings_.push_back(where +
                          ": a segment covers part of a field; the index covers the whole field" +
                          (key.unique ? " and is not unique" : ""));
    }
    const std::string name = UnusedName(table.name + "_" + KeyName(key));
    key_indexes_[{begun.table, i}] = name;
    const std::string index =
        SqlIdentifier(name) + " ON " + SqlIdentifier(table.name) + " " + ColumnList(c.columns);
    if (key.unique && OnWholeFields(c)) {
      const std::string sql = "CREATE UNIQUE INDEX " + index;
      const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
      if (rc == SQLITE_OK) continue;
      if ((rc & 0xFF) != SQLITE_CONSTRAINT) {
        ok = Check(rc, sql) && ok;
        continue;
      }
      std::string referring;
      ok = DropReferences(begun.table, i, &referring) && ok;
      warnings_.push_back(
          where + ": the data repeats its values; the index is not unique" +
          (referring.empty() ? ""
                             : "; the foreign keys of " + referring + " towards it are taken out"));
    }
    ok = Exec("CREATE INDEX " + index) && ok;
  }
  return ok;
}

bool SqliteExport::WriteDescriptions(const std::vector<CategoryModel>& categories) {
  // One description table: created, then filled in one transaction.
  const auto write = [this](const std::string& name, const std::string& columns,
                            const std::vector<std::vector<Item>>& rows) {
    const size_t count = static_cast<size_t>(std::count(columns.begin(), columns.end(), ',')) + 1;
    std::string insert = "INSERT INTO " + name + " VALUES (?";
    for (size_t i = 1; i < count; ++i) insert += ", ?";
    insert += ")";
    if (!Exec("CREATE TABLE " + name + " (" + columns + ")") || !Prepare(insert) ||
        !Exec("BEGIN")) {
      return false;
    }
    bool ok = true;
    for (const std::vector<Item>& row : rows) {
      sqlite3_clear_bindings(insert_);
      for (size_t i = 0; i < row.size() && i < count; ++i) {
        const int at = static_cast<int>(i + 1);
        if (const auto* n = std::get_if<int64_t>(&row[i])) {
          sqlite3_bind_int64(insert_, at, *n);
        } else if (const auto* s = std::get_if<std::string>(&row[i])) {
          sqlite3_bind_text64(insert_, at, s->data(), s->size(), SQLITE_STATIC, SQLITE_UTF8);
        } else {
          sqlite3_bind_null(insert_, at);
        }
      }
      ok = Check(sqlite3_step(insert_), "writing " + name);
      sqlite3_reset(insert_);
      if (!ok) break;
    }
    sqlite3_finalize(insert_);
    insert_ = nullptr;
    return Exec("COMMIT") && ok;
  };
  const auto text = [](const std::string& s) -> Item { return s; };
  const auto number = [](int64_t n) -> Item { return n; };

  std::vector<std::vector<Item>> tables, fields, keys, links, category_rows;
  for (size_t at = 0; at < tables_.size(); ++at) {
    const TableModel& t = tables_[at];
    const int primary = PrimaryKeyOf(t);
    tables.push_back({text(t.name), text(t.file_path), number(t.record_length),
                      primary < 0 ? Item() : text(t.keys[static_cast<size_t>(primary)].name)});
    for (const FieldModel& f : t.fields) {
      fields.push_back({text(t.name), text(f.name), text(f.field), number(f.element),
                        number(f.type_code), text(StoredTypeName(f.type_code)),
                        text(KindName(f.kind)), number(f.offset), number(f.size),
                        number(f.precision), number(f.scale), number(f.located), text(f.label),
                        text(f.category), text(f.mask), number(f.user_defined)});
    }
    for (size_t i = 0; i < t.keys.size(); ++i) {
      const KeyModel& k = t.keys[i];
      const auto index = key_indexes_.find({at, i});
      const std::vector<Item> key = {
          text(t.name),    number(k.number),
          text(k.name),    number(k.unique),
          number(k.flags), index == key_indexes_.end() ? Item() : text(index->second)};
      if (k.segments.empty()) keys.push_back(key);
      for (size_t j = 0; j < k.segments.size(); ++j) {
        const KeySegmentModel& s = k.segments[j];
        std::vector<Item> row = key;
        row.insert(row.end(), {number(static_cast<int64_t>(j)), text(s.field), number(s.offset),
                               number(s.length), number(s.type_code), number(s.flags)});
        keys.push_back(std::move(row));
      }
    }
    for (const LinkModel& l : t.links) {
      const std::vector<Item> link = {text(t.name), text(l.name), text(l.target_table),
                                      number(l.target_key)};
      if (l.columns.empty()) links.push_back(link);
      for (size_t i = 0; i < l.columns.size(); ++i) {
        std::vector<Item> row = link;
        row.insert(row.end(), {number(static_cast<int64_t>(i)), text(l.columns[i].first),
                               text(l.columns[i].second)});
        links.push_back(std::move(row));
      }
    }
  }
  for (const CategoryModel& c : categories) category_rows.push_back({text(c.name), text(c.label)});

  bool ok =
      write("_tavelnor_tables",
            "table_name TEXT, file_path TEXT, record_length INTEGER, primary_key TEXT", tables);
  ok = write("_tavelnor_fields",
             "table_name TEXT, column_name TEXT, field TEXT, element INTEGER, type_code INTEGER, "
             "type_name TEXT, stored_kind TEXT, offset INTEGER, size INTEGER, decimals INTEGER, "
             "scale INTEGER, located INTEGER, label TEXT, category TEXT, mask TEXT, user_defined "
             "INTEGER",
             fields) &&
       ok;
  ok = write("_tavelnor_keys",
             "table_name TEXT, key_number INTEGER, key_name TEXT, is_unique INTEGER, "
             "key_flags INTEGER, sql_index TEXT, segment INTEGER, field TEXT, offset INTEGER, "
             "length INTEGER, type_code INTEGER, "
             "segment_flags INTEGER",
             keys) &&
       ok;
  ok =
      write("_tavelnor_links",
            "table_name TEXT, link_name TEXT, target_table TEXT, target_key INTEGER, part INTEGER, "
            "column_name TEXT, target_column TEXT",
            links) &&
      ok;
  return write("_tavelnor_categories", "name TEXT, label TEXT", category_rows) && ok;
}

}  // namespace tavelnor::tool
