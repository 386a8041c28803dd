// Walking a table's stored records.
#include "browse/table_reader.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "browse/suggest.h"
#include "browse/text_codec.h"
#include "browse/value_parser.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kEndOfData = 9;
constexpr int32_t kBadKeyNumber = 6;

// The case-insensitive text kinds ("SC" forms).
bool NoCase(uint16_t code) {
  return code == 136 || code == 143 || code == 145 || code == 146 || code == 157 || code == 161;
}

bool SameText(const std::string& a, const std::string& b, bool no_case) {
  if (!no_case) return a == b;
  return SameName(a, b);
}

// The file name part of a dictionary path (either separator).
std::string FileNameOf(const std::string& path) {
  const size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

}  // namespace

std::string DataFilePath(const TableModel& table, const DataLocation& location) {
  for (const auto& [name, path] : location.files) {
    if (SameName(name, table.name)) return path;
  }
  if (!location.folder.empty()) {
    return (fs::u8path(location.folder) / fs::u8path(FileNameOf(table.file_path))).string();
  }
  return table.file_path;
}

std::string DataFileProblem(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? "does not exist" : std::string("cannot be read: ") + std::strerror(errno);
  }
  if (S_ISDIR(st.st_mode)) return "is a folder, not a data file";
  std::ifstream probe(path, std::ios::binary);
  if (!probe) return std::string("cannot be read: ") + std::strerror(errno);
  return {};
}

bool TableReader::Open(const Schema& schema, const TableModel& table, const std::string& path,
                       WalkError* error) {
  table_ = &table;
  path_ = path;
  data_.reset();
  unread_.clear();
  for (size_t i = 0; i < table.fields.size(); ++i) {
    if (table.fields[i].ddf) unread_.emplace_back(i, 0);
  }
  if (const std::string problem = DataFileProblem(path); !problem.empty()) {
    *error = {0, table.name + ": data file " + path + " " + problem};
    return false;
  }
  std::string name;
  if (std::string problem; !Utf8ToStored(table.name, &name, &problem)) {
    *error = {0, "table name " + problem, true};
    return false;
  }
  data_ = std::make_unique<DataHandle>(ZAVL_OpenFile(schema.get(), name.c_str(), path.c_str(), 0));
  if (!data_->ok()) {
    *error = {ZAVL_GetLastError(), table.name + ": " + path};
    data_.reset();
    return false;
  }
  whole_.reset();
  if (std::any_of(table.fields.begin(), table.fields.end(), [](const FieldModel& f) { return f.tail; })) {
    if (const int status = btrieve::DataFile::Open(path, &whole_); status != 0) {
      *error = {status, table.name + ": " + path + ": the variable part of the records"};
      data_.reset();
      return false;
    }
  }
  return true;
}

int64_t TableReader::RecordCount() const {
  if (!data_) return -1;
  const int32_t n = ZAVL_GetNbRecords(data_->get());
  return n < 0 ? -1 : n;
}

bool TableReader::Select(const WalkOptions& options, std::vector<Condition>* conditions,
                         WalkOptions* effective, WalkError* error) const {
  *effective = options;
  conditions->clear();
  std::vector<uint8_t> record(table_->record_length + 1, 0);
  for (const auto& [name, text] : options.where) {
    const FieldModel* field = table_->FindField(name);
    if (field == nullptr) {
      std::vector<std::string> names;
      for (const FieldModel& f : table_->fields) names.push_back(f.name);
      const std::vector<std::string> close = ClosestNames(name, names);
      *error = {0, "table " + table_->name + " has no field \"" + name + "\"" +
                       (close.empty() ? "" : "; did you mean '" + close.front() + "'?"),
                true};
      return false;
    }
    if (field->element != 0 && !SameName(field->name, name)) {
      *error = {0, "\"" + name + "\" is an array; name one element, e.g. " + field->name, true};
      return false;
    }
    Condition c;
    c.field = field;
    std::string problem;
    if (!EncodeStoredValue(*field, text, &c.stored, &problem)) {
      *error = {0, "--where " + name + ": " + problem, true};
      return false;
    }
    // The value as a record would hold it, decoded as the records are.
    std::fill(record.begin(), record.end(), 0);
    // A column of the variable part lies past the fixed record.
    record.resize(std::max<size_t>(record.size(), size_t{field->offset} + field->size));
    std::memcpy(record.data() + field->offset, c.stored.data(),
                std::min<size_t>(c.stored.size(), field->size));
    DecodeField(*field, record.data(), record.size(), &c.wanted);
    c.no_case = NoCase(field->type_code);
    conditions->push_back(std::move(c));
  }
  // A key whose leading segments are the fields asked for narrows the walk
  // to the records that hold those values, unless a key was chosen.
  if (conditions->empty() || options.key || options.bounds.low || options.bounds.high) return true;
  for (const KeyModel& key : table_->keys) {
    if (key.segments.size() < conditions->size()) continue;
    std::string value;
    bool leading = true;
    for (size_t i = 0; i < conditions->size() && leading; ++i) {
      const KeySegmentModel& segment = key.segments[i];
      // A DDF column's value has several stored forms (a packed decimal's
      // sign nibble, a bit among others): its records are found by reading.
      auto it = std::find_if(conditions->begin(), conditions->end(), [&](const Condition& c) {
        return c.field->offset == segment.offset && c.field->size == segment.length && !c.field->ddf;
      });
      leading = it != conditions->end();
      if (!leading) break;
      std::string bytes = it->stored;
      bytes.resize(segment.length, '\0');  // a text's padding
      value += bytes;
    }
    if (!leading) continue;
    effective->key = key.number;
    effective->bounds.low = value;
    effective->bounds.high = value;
    return true;
  }
  return true;
}

bool TableReader::SetRange(const WalkOptions& options, WalkError* error) {
  const bool bounded = options.bounds.low.has_value() || options.bounds.high.has_value();
  if (!options.key && !bounded) return true;
  const int32_t key = options.key.value_or(0);
  const std::string* low = options.bounds.low ? &*options.bounds.low : nullptr;
  const std::string* high = options.bounds.high ? &*options.bounds.high : nullptr;
  if (!ZAVL_SetKeyrange(data_->get(), key, low ? low->data() : nullptr,
                        low ? static_cast<int32_t>(low->size()) : 0, high ? high->data() : nullptr,
                        high ? static_cast<int32_t>(high->size()) : 0)) {
    const int32_t code = ZAVL_GetLastError();
    *error = {code, table_->name + ": key " + std::to_string(key) +
                        (code == kBadKeyNumber ? ": the table has no such key" : "")};
    return false;
  }
  return true;
}

bool TableReader::Walk(const WalkOptions& options,
                       const std::function<bool(const std::vector<FieldValue>&)>& take,
                       WalkError* error, const std::function<void()>& started) {
  if (!data_) {
    *error = {ZAVL_ERR_HANDLE, "no table open"};
    return false;
  }
  std::vector<Condition> conditions;
  WalkOptions effective;
  if (!Select(options, &conditions, &effective, error)) return false;
  // Where each condition's field lies among the values.
  std::vector<size_t> at;
  for (const Condition& c : conditions) at.push_back(static_cast<size_t>(c.field - table_->fields.data()));
  if (!SetRange(effective, error)) return false;
  if (started) started();

  int64_t shown = 0;
  const size_t length = table_->record_length;
  for (int32_t pos = ZAVL_GetFirst(data_->get());
       pos != -1 && (options.limit < 0 || shown < options.limit); pos = ZAVL_GetNext(data_->get())) {
    const auto* record = static_cast<const uint8_t*>(ZAVL_GetBuffer(data_->get()));
    if (record == nullptr) break;
    size_t have = length;
    if (whole_) {
      // The whole record, its variable part too, at the position read.
      if (const int status = whole_->Read(static_cast<uint32_t>(pos), &record_); status != 0) {
        *error = {status, table_->name + ": " + path_ + ": the record at " + std::to_string(pos)};
        return false;
      }
      record = record_.data();
      have = record_.size();
    }
    DecodeRecord(*table_, record, have, &values_);
    for (auto& [field, count] : unread_) count += DdfFallback(table_->fields[field], values_[field]) ? 1 : 0;
    bool selected = true;
    for (size_t i = 0; i < conditions.size() && selected; ++i) {
      const FieldValue& v = values_[at[i]];
      const FieldValue& w = conditions[i].wanted;
      selected = v.type == w.type && v.bytes == w.bytes &&
                 SameText(v.text, w.text, conditions[i].no_case);
    }
    if (!selected) continue;
    ++shown;
    if (!take(values_)) return true;
  }
  if (options.limit >= 0 && shown >= options.limit) return true;
  const int32_t code = ZAVL_GetLastError();
  if (code != kEndOfData && code != ZAVL_OK) {
    *error = {code, table_->name + ": " + path_ + ": reading the records"};
    return false;
  }
  return true;
}

std::vector<std::string> TableReader::UnreadValues() const {
  std::vector<std::string> lines;
  for (const auto& [field, count] : unread_) {
    if (count == 0) continue;
    const FieldModel& f = table_->fields[field];
    lines.push_back(table_->name + "." + f.name + ": " + std::to_string(count) + " value" +
                    (count == 1 ? " is" : "s are") + " not a valid " + std::string(ddf::DdfTypeName(f.ddf->type)) +
                    " and went out as " + (count == 1 ? "its" : "their") + " bytes");
  }
  return lines;
}

}  // namespace tavelnor::tool
