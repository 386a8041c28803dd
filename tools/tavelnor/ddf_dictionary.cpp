// The conversion of a DDF set into a dictionary source (see ddf_dictionary.h).
#include "ddf_dictionary.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/dico_compiler.h"
#include "dico/compiler/json_source.h"
#include "dico/dico_classes.h"
#include "foundation/platform/code_pages.h"
#include "record/type_codes.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using ddf::DdfField;
using ddf::DdfTable;

constexpr uint16_t kDdfCaseInsensitive = 0x1;
// Key flags of ours that the data file's first segment gives: duplicates,
// modifiable, binary, null (all segments), null (any segment); and the
// auto-numbering flag of a key whose first column counts by itself.
constexpr uint32_t kKeyFlagsFromFile = 0x1 | 0x2 | 0x4 | 0x8 | 0x200;
constexpr uint32_t kKeyAutoNumbering = 0x10;

uint16_t IntegerCode(uint16_t size, bool is_signed) {
  switch (size) {
    case 1: return is_signed ? record::TYPE_INT8 : record::TYPE_UINT8;
    case 2: return is_signed ? record::TYPE_INT16 : record::TYPE_UINT16;
    case 4: return is_signed ? record::TYPE_LONG : record::TYPE_UINT32;
    case 8: return is_signed ? record::TYPE_INT64 : record::TYPE_UINT64;
    default: return 0xFFFF;
  }
}

// A byte that has no place in a name: a control character (C0 and DEL) or
// the separator of the compiler's paths. Every other byte is kept as it is,
// the five that Windows-1252 leaves undefined too: names are stored as bytes,
// and in the DOS code pages those are letters (cp866 0x8D is "Н"), which the
// tool shows with --encoding.
bool Control(uint8_t c) { return c < 0x20 || c == 0x7F; }
bool Unfit(uint8_t c) { return Control(c) || c == '/'; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Cp1252Text(const std::string& bytes) { return dico::Cp1252ToUtf8(bytes); }

// Names handed out within one scope (tables of the dictionary, columns or
// keys of a table), unique ignoring ASCII case.
class NameScope {
 public:
  NameScope(std::string what, std::vector<std::string>* warnings, const NameText& printable,
            bool lists_named = false)
      : what_(std::move(what)), warnings_(warnings), printable_(printable), lists_named_(lists_named) {}

  // The Windows-1252 name for `raw` (or `fallback` when it is empty).
  std::string Take(const std::string& raw, const std::string& fallback) {
    std::string name = raw;
    bool replaced = false;
    for (char& c : name) {
      if (Unfit(static_cast<uint8_t>(c))) {
        c = '_';
        replaced = true;
      }
    }
    // The exported interface reads a leading "#" or "@" as a list's name.
    if (lists_named_ && !name.empty() && (name[0] == '#' || name[0] == '@')) {
      name[0] = '_';
      replaced = true;
    }
    if (replaced) {
      warnings_->push_back(what_ + " name \"" + printable_(name) + "\": characters that cannot stand in a name "
                           "became \"_\"");
    }
    if (name.empty()) name = fallback;
    std::string unique = name;
    for (int n = 2; taken_.count(Lower(unique)) != 0; ++n) unique = name + "_" + std::to_string(n);
    if (unique != name) {
      warnings_->push_back(what_ + " name \"" + printable_(name) + "\" repeated: this one is named \"" +
                           printable_(unique) + "\"");
    }
    taken_.insert(Lower(unique));
    return unique;
  }

 private:
  std::string what_;
  std::vector<std::string>* warnings_;
  const NameText& printable_;
  bool lists_named_;
  std::set<std::string> taken_;
};

bool NonAscii(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

// A text of the source (UTF-8) for the Windows-1252 bytes `cp1252`;
// control characters, which the dictionary's texts cannot hold, as "_".
std::string Text(std::string cp1252) {
  for (char& c : cp1252) {
    if (Control(static_cast<uint8_t>(c))) c = '_';
  }
  return dico::Cp1252ToUtf8(cp1252);
}

// The smallest page (512 to 4096) that holds a record and the table's
// segments.
uint32_t PageSizeFor(uint32_t record_length, uint32_t segments) {
  for (uint32_t p = dico::kMinPageSize; p < dico::kMaxPageSize; p += dico::kPageStep) {
    if (p > record_length + 8 && dico::SegmentLimit(p) >= segments) return p;
  }
  return dico::kMaxPageSize;
}

// The data file name the dictionary gives for `target`: relative to the
// dictionary's folder when the file lies under it, else absolute. The
// library adds an extension to a name without any dot, so a file without
// one is named through "." (which the library's path joining removes).
std::string DataFileName(const fs::path& target, const fs::path& dico_folder) {
  std::error_code ec;
  fs::path file = fs::weakly_canonical(fs::absolute(target, ec), ec);
  if (ec) file = fs::absolute(target).lexically_normal();
  fs::path base = fs::weakly_canonical(fs::absolute(dico_folder, ec), ec);
  if (ec) base = fs::absolute(dico_folder).lexically_normal();
  const fs::path rel = file.lexically_relative(base);
  const bool inside = !rel.empty() && *rel.begin() != "..";
  std::string name = inside ? rel.generic_string() : file.generic_string();
  if (name.find('.') == std::string::npos) {
    const fs::path p(name);
    name = inside ? "./" + name : (p.parent_path() / "." / p.filename()).generic_string();
  }
  return name;
}

// The last component of a location as FILE.DDF stores it (DOS separators).
std::string LocationFile(const std::string& location) {
  const size_t sep = location.find_last_of("\\/:");
  return sep == std::string::npos ? location : location.substr(sep + 1);
}

// A source text for a file name (UTF-8 here, Windows-1252 in the
// dictionary): control characters, and characters outside that code page,
// become "_".
std::string PathText(const std::string& path, const std::string& who, std::vector<std::string>* warnings) {
  std::string out = path;
  bool control = false;
  for (char& c : out) {
    if (Control(static_cast<uint8_t>(c))) c = '_', control = true;
  }
  const bool outside = !dico::Utf8ToCp1252(out).ok();
  if (!control && !outside) return out;
  if (outside) {
    for (char& c : out) c = static_cast<uint8_t>(c) < 0x80 ? c : '_';
  }
  warnings->push_back(who + "the data file name has " +
                      (control ? "control characters" : "characters outside Windows-1252") + "; written as " + out);
  return out;
}

std::string DdfTypeText(const DdfField& f) {
  std::string type(ddf::DdfTypeName(f.type));
  std::string text = "DDF " + type + ", " + std::to_string(f.size) + " byte" + (f.size == 1 ? "" : "s");
  if (f.type == ddf::kDdfBit) {
    text += ", bit " + std::to_string(f.decimals);
  } else if (f.decimals != 0) {
    text += ", " + std::to_string(f.decimals) + " decimal" + (f.decimals == 1 ? "" : "s");
  }
  return text;
}

struct TableContext {
  const DdfTable& table;
  std::string who;  // "table NAME: "
  std::vector<std::string>* warnings;
  const NameText& printable;
  bool variable_part_read;
  std::map<uint16_t, std::string> field_names;  // DDF field id -> name in the layout
  std::map<uint16_t, uint16_t> field_types;     // DDF field id -> DDF type
  bool variable = false;
};

json FieldNodes(TableContext* cx) {
  json fields = json::array();
  NameScope names(cx->who + "column", cx->warnings, cx->printable);
  const uint16_t length = cx->table.record_length;
  for (const DdfField& f : cx->table.fields) {
    if (uint32_t{f.offset} + f.size > length) {
      if (InVariablePart(cx->table, f)) {
        cx->variable = true;
        if (cx->variable_part_read) continue;
        cx->warnings->push_back(cx->who + "column " + cx->printable(f.name) + " (" + DdfTypeText(f) +
                                ") lies in the variable part of the records; it is left out of the layout");
      } else {
        cx->warnings->push_back(cx->who + "column " + cx->printable(f.name) + " ends at byte " +
                                std::to_string(f.offset + f.size) + ", beyond the records of " +
                                std::to_string(length) + " bytes; it is left out");
      }
      continue;
    }
    const std::string name = names.Take(f.name, "Field" + std::to_string(f.id));
    const ColumnMapping m = MapDdfColumn(f);
    json node = {{"isa", "VarInNode"}, {"name", Text(name)}, {"header", Text(name)},
                 {"type", m.type},     {"internalsize", f.size}, {"diskoffset", f.offset}};
    node["typestr"] = ddf::DdfTypeTag(f.column());
    if (m.raw) {
      node["flags"] = kFieldShownAsBytes;
      node["desc"] = DdfTypeText(f) + "; its bytes are kept as they are";
      const int scale = ddf::ExactScale(f.column());
      if (scale >= 0) node["precision"] = scale;
    } else {
      node["desc"] = DdfTypeText(f);
      if (f.type == ddf::kDdfCurrency) node["precision"] = 4;
    }
    fields.push_back(std::move(node));
    cx->field_names[f.id] = name;
    cx->field_types[f.id] = f.type;
  }
  return fields;
}

json KeyNodes(TableContext* cx, uint32_t* segment_count) {
  json keys = json::array();
  NameScope names(cx->who + "key", cx->warnings, cx->printable);
  uint16_t expected = 0;
  for (const ddf::DdfKey& k : cx->table.keys) {
    if (k.number != expected) {
      // Our keys are numbered by their place: a missing key would shift
      // every later one onto another key of the file.
      cx->warnings->push_back(cx->who + "key " + std::to_string(expected) +
                              " is not described; keys from " + std::to_string(k.number) + " on are left out");
      break;
    }
    ++expected;
    json segments = json::array();
    uint32_t flags = 0;
    for (size_t s = 0; s < k.segments.size(); ++s) {
      const ddf::DdfSegment& seg = k.segments[s];
      json node = {{"isa", "Segment"}, {"flags", seg.flags}};
      const auto named = cx->field_names.find(seg.field_id);
      const DdfField* field = nullptr;
      for (const DdfField& f : cx->table.fields) {
        if (f.id == seg.field_id && f.offset == seg.offset && f.size == seg.length) field = &f;
      }
      if (named != cx->field_names.end() && field != nullptr) {
        node["name"] = Text(named->second);
        node["field"] = Text(named->second);
      } else {
        node["name"] = "Offset" + std::to_string(seg.offset);
        node["offset"] = seg.offset;
        node["internalsize"] = seg.length;
      }
      if (s == 0) {
        flags = seg.flags & kKeyFlagsFromFile;
        if (field != nullptr && field->type == ddf::kDdfAutoIncrement) flags |= kKeyAutoNumbering;
      }
      segments.push_back(std::move(node));
    }
    *segment_count += static_cast<uint32_t>(k.segments.size());
    const std::string name = names.Take(k.name, "Key" + std::to_string(k.number));
    keys.push_back({{"isa", "Key"}, {"name", Text(name)}, {"flags", flags}, {"children", std::move(segments)}});
  }
  return keys;
}

}  // namespace

ColumnMapping MapDdfColumn(const DdfField& f) {
  const bool no_case = (f.flags & kDdfCaseInsensitive) != 0;
  uint16_t code = 0xFFFF;
  // The fixed-size types and the one size each has here.
  auto sized = [&f](uint16_t type, uint16_t size) -> uint16_t { return f.size == size ? type : 0xFFFF; };
  switch (f.type) {
    case ddf::kDdfInteger:
    case ddf::kDdfAutoIncrement: code = IntegerCode(f.size, true); break;
    case ddf::kDdfUnsignedBinary: code = IntegerCode(f.size, false); break;
    case ddf::kDdfFloat: code = f.size == 4 ? sized(record::TYPE_FLOAT, 4) : sized(record::TYPE_DOUBLE, 8); break;
    case ddf::kDdfString: code = record::MakeStringTypeCode(record::TYPE_STR, no_case, false); break;
    case ddf::kDdfZstring: code = record::MakeStringTypeCode(record::TYPE_ZSTRING, no_case, false); break;
    case ddf::kDdfDate: code = sized(record::TYPE_DATE, 4); break;
    case ddf::kDdfTime: code = sized(record::TYPE_TIME, 4); break;
    case ddf::kDdfTimestamp: code = sized(record::TYPE_TIMESTAMP, 8); break;
    case ddf::kDdfCurrency: code = sized(record::TYPE_CURRENCY, 8); break;
    case ddf::kDdfGuid: code = sized(record::TYPE_GUID, 16); break;
    case ddf::kDdfLogical: code = sized(record::TYPE_BOOL, 1); break;
    default: break;
  }
  if (code == 0xFFFF) return {record::TYPE_STR, true};
  return {code, false};
}

bool InVariablePart(const DdfTable& table, const DdfField& field) {
  return (field.type == ddf::kDdfNote || field.type == ddf::kDdfLvar) &&
         uint32_t{field.offset} + field.size > table.record_length;
}

std::string DdfTableFile(const ddf::DdfDatabase& db, const DdfTable& table) {
  if (!table.path.empty()) return table.path;
  // Joined with "/", as the reader writes the files it finds.
  const bool bare = db.folder.empty() || db.folder.back() == '/' || db.folder.back() == '\\';
  return db.folder + (bare ? "" : "/") + LocationFile(table.location);
}

json DdfDictionarySource(const ddf::DdfDatabase& db, const std::string& dico_path,
                         std::vector<std::string>* warnings, const DdfSourceForm& form) {
  const NameText printable = form.printable ? form.printable : NameText(Cp1252Text);
  const fs::path dico_folder = fs::u8path(dico_path).parent_path().empty() ? fs::path(".")
                                                                            : fs::u8path(dico_path).parent_path();
  NameScope table_names("table", warnings, printable, /*lists_named=*/true);
  std::vector<std::string> code_page_names;
  json tables = json::array();
  for (const DdfTable& t : db.tables) {
    const std::string name = table_names.Take(t.name, "Table" + std::to_string(t.id));
    TableContext cx{t, "table " + printable(name) + ": ", warnings, printable, form.variable_part_read, {}, {}, false};
    if (NonAscii(t.name)) code_page_names.push_back(printable(t.name));
    for (const DdfField& f : t.fields) {
      if (NonAscii(f.name)) code_page_names.push_back(printable(t.name) + "." + printable(f.name));
    }
    json fields = FieldNodes(&cx);
    uint32_t segment_count = 0;
    json keys = KeyNodes(&cx, &segment_count);
    const fs::path target = fs::u8path(DdfTableFile(db, t));
    std::string file;
    if (form.bare_file_names) {
      // Only the name, for --data; the whole path is given apart.
      file = PathText(target.filename().string(), cx.who, warnings);
      if (file.find('.') == std::string::npos) file = "./" + file;
    } else {
      if (t.path.empty()) {
        warnings->push_back(cx.who + "no data file; the dictionary names " + target.generic_string());
      }
      file = PathText(DataFileName(target, dico_folder), cx.who, warnings);
    }
    json rubric = {{"isa", "Rubric"},
                   {"name", Text(name)},
                   {"header", Text(name)},
                   {"desc", "DDF table " + Text(t.name) + ", location " + Text(t.location)},
                   {"deffilename", file},
                   {"pagesize", PageSizeFor(t.record_length, segment_count)},
                   {"internalsize", t.record_length}};
    if (cx.variable) rubric["flags"] = dico::tflag::kVariableLength;
    json layout = {{"isa", "TitleData"}, {"name", "Lesdonnees"}, {"internalsize", t.record_length},
                   {"children", std::move(fields)}};
    json key_title = {{"isa", "TitleKey"}, {"name", "Les clefs"}, {"children", std::move(keys)}};
    rubric["children"] = json::array({std::move(layout), std::move(key_title)});
    tables.push_back(std::move(rubric));
  }
  if (!code_page_names.empty() && form.note_code_page) {
    warnings->push_back(std::to_string(code_page_names.size()) +
                        " names hold bytes outside ASCII and were read as Windows-1252 (first: " +
                        code_page_names.front() + ")");
  }
  return {{"comment", "Converted from the DDF set by tavelnor dico from-ddf"},
          {"level", 11},
          {"root",
           {{"isa", "Dico"},
            {"name", "DDF"},
            {"header", "DDF"},
            {"desc", "Tables of a DDF set"},
            {"children", std::move(tables)}}}};
}

Result<std::vector<uint8_t>> DictionaryBytes(const json& source) {
  auto compiled = dico::CompileDicoSource(source);
  if (!compiled.ok()) return Status::InvalidArgument("the converted source does not compile: " +
                                                     compiled.status().message());
  return dico::EncodeDico(compiled->image, compiled->image.header.level, dico::Container::kPlain);
}

Status ConvertDdfSet(const FromDdfOptions& options, FromDdfResult* result, std::vector<std::string>* warnings) {
  *result = {};
  ddf::DdfDatabase db;
  ddf::DdfOptions read_options;
  read_options.system_tables = options.system_tables;
  if (Status s = ddf::ReadDdfDatabase(options.folder, read_options, &db, warnings); !s.ok()) {
    result->refused = true;
    return s;
  }
  auto page = platform::CodePage::Open(options.code_page);
  if (!page.ok()) return page.status();
  const NameText printable = [&page](const std::string& bytes) { return (*page)->ToUtf8(bytes); };
  for (std::string& w : *warnings) w = printable(w);
  DdfSourceForm form;
  form.printable = printable;
  form.note_code_page = (*page)->Name() == "cp1252";
  json source = DdfDictionarySource(db, options.output, warnings, form);
  result->tables = db.tables.size();
  if (!options.json.empty()) {
    std::ofstream out(options.json, std::ios::binary | std::ios::trunc);
    const nlohmann::ordered_json ordered = source;
    out << ((*page)->Name() == "cp1252" ? ordered : dico::SourceInCodePage(ordered, (*page)->Name())).dump(2)
        << "\n";
    out.close();
    if (!out) return Status::IoError("cannot write " + options.json);
  }
  auto bytes = DictionaryBytes(source);
  if (!bytes.ok()) return bytes.status();
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
  out.close();
  if (!out) return Status::IoError("cannot write " + options.output);
  return Status::Ok();
}

}  // namespace tavelnor::tool
