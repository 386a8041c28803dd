// The export compared with the stored bytes, value by value.
#include "tool/export_check.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "browse/text_codec.h"
#include "record/blob_value.h"
#include "tavelnor/zavl.h"

namespace tavelnor::tool::testing {
namespace {

namespace fs = std::filesystem;

struct ColumnInfo {
  std::string name;
  uint32_t offset = 0, size = 0;
  int type = 0;
  int scale = 0;
};

// One exported cell: null, text, or (SQLite) an integer, a real or a blob.
struct Exported {
  bool null = false;
  std::string text;
  bool is_blob = false;  // SQLite BLOB: `text` holds the bytes
  bool is_real = false;  // SQLite REAL
  double real = 0;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

uint64_t Little(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i > 0; --i) v = (v << 8) | p[i - 1];
  return v;
}

int64_t Signed(const uint8_t* p, size_t n) {
  const uint64_t v = Little(p, n);
  if (n >= 8) return static_cast<int64_t>(v);
  const uint64_t sign = uint64_t{1} << (8 * n - 1);
  return static_cast<int64_t>((v ^ sign) - sign);
}

std::string Base64Decode(const std::string& text) {
  static const std::string kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  uint32_t bits = 0;
  int have = 0;
  for (char c : text) {
    if (c == '=') break;
    const size_t v = kAlphabet.find(c);
    if (v == std::string::npos) return "<not base64>";
    bits = (bits << 6) | static_cast<uint32_t>(v);
    have += 6;
    if (have >= 8) {
      have -= 8;
      out += static_cast<char>((bits >> have) & 0xFF);
    }
  }
  return out;
}

std::string HexDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return out;
}

// "-12.3400" as an integer scaled by 10^scale; false when it is not one.
bool Scaled(const std::string& text, int scale, int64_t* value) {
  std::string digits;
  int decimals = -1;
  for (char c : text) {
    if (c == '.') {
      decimals = 0;
    } else if (c != '-') {
      digits += c;
      if (decimals >= 0) ++decimals;
    }
  }
  decimals = std::max(decimals, 0);
  if (decimals > scale || digits.empty()) return false;
  digits.append(static_cast<size_t>(scale - decimals), '0');
  const uint64_t magnitude = std::stoull(digits);
  *value = text[0] == '-' ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// Ticks of "YYYY-MM-DDThh:mm:ss[.f]Z" since 0001-01-01, read with the
// standard calendar.
bool Ticks(const std::string& text, int64_t* ticks) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return false;
  using namespace std::chrono;
  const sys_days day{year{y} / month{static_cast<unsigned>(mo)} / static_cast<unsigned>(d)};
  const sys_days first{year{1} / January / 1};
  int64_t fraction = 0;
  const size_t dot = text.find('.');
  if (dot != std::string::npos) {
    std::string f = text.substr(dot + 1, text.find('Z') - dot - 1);
    f.resize(7, '0');
    fraction = std::stoll(f);
  }
  *ticks = (((day - first).count() * 24LL + h) * 60 + mi) * 60 + s;
  *ticks = *ticks * 10000000 + fraction;
  return text.back() == 'Z';
}

std::string VarPart(const uint8_t* slot) { return std::string(record::ReadVarPart(slot)); }

// Checks one cell against the field's bytes; "" when they agree, else why not.
std::string Verify(const ColumnInfo& c, const uint8_t* p, const Exported& e) {
  const int base = c.type >= 136 && c.type <= 161 ? c.type - 136 : c.type >= 128 ? c.type - 128 : c.type;
  const bool sql = e.is_blob || e.is_real;
  switch (base) {
    case 0: case 7: case 9: case 21: {
      const void* zero = std::memchr(p, 0, c.size);
      const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - p) : c.size;
      const std::string want = Cp1252ToUtf8(std::string(reinterpret_cast<const char*>(p), n));
      return e.text == want ? "" : "text \"" + e.text + "\" for \"" + want + "\"";
    }
    case 1: case 13: case 15: case 22: case 26:
      return std::stoll(e.text) == Signed(p, c.size) ? "" : "integer " + e.text;
    case 16: case 18: case 27:
      return std::stoull(e.text) == Little(p, c.size) ? "" : "unsigned " + e.text;
    case 14:
      if (c.size == 1) return std::stoull(e.text) == p[0] ? "" : "byte " + e.text;
      return (sql ? e.text : HexDecode(e.text)) == std::string(reinterpret_cast<const char*>(p), c.size)
                 ? "" : "bytes";
    case 2: case 23: {
      double want = 0;
      if (c.size == 4) {
        float f = 0;
        std::memcpy(&f, p, 4);
        want = f;
      } else {
        std::memcpy(&want, p, 8);
      }
      // A single's text reads back as that single.
      const double got = e.is_real     ? e.real
                         : c.size == 4 ? std::strtof(e.text.c_str(), nullptr)
                                       : std::strtod(e.text.c_str(), nullptr);
      return got == want ? "" : "real " + e.text;
    }
    case 12: case 20: case 29: {
      int64_t got = 0;
      return Scaled(e.text, c.scale, &got) && got == Signed(p, c.size) ? "" : "amount " + e.text;
    }
    case 6: case 19: {
      const bool want = Little(p, c.size) != 0;
      return e.text == (want ? "true" : "false") || e.text == (want ? "1" : "0") ? "" : "boolean " + e.text;
    }
    case 4: {
      if (Little(p, 4) == 0) return e.null ? "" : "an empty date as " + e.text;
      char iso[32];
      std::snprintf(iso, sizeof iso, "%04d-%02d-%02d", p[2] | (p[3] << 8), p[1], p[0]);
      return e.text == iso ? "" : "date " + e.text + " for " + iso;
    }
    case 5: {
      int h = -1, m = -1, s = -1, cc = 0;
      std::sscanf(e.text.c_str(), "%d:%d:%d.%d", &h, &m, &s, &cc);
      return h == p[3] && m == p[2] && s == p[1] && cc == p[0] ? "" : "time " + e.text;
    }
    case 28: {
      const int64_t want = Signed(p, 8);
      if (want == 0) return e.null ? "" : "an empty time stamp as " + e.text;
      int64_t got = 0;
      return Ticks(e.text, &got) && (got == want || (want == 1 && got == 0)) ? "" : "time stamp " + e.text;
    }
    case 30: {
      std::string hex;
      for (char ch : e.text) {
        if (ch != '-') hex += ch;
      }
      const std::string raw = HexDecode(hex);
      const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
      for (int i = 0; i < 16 && raw.size() == 16; ++i) {
        if (static_cast<uint8_t>(raw[static_cast<size_t>(i)]) != p[order[i]]) return "guid " + e.text;
      }
      return raw.size() == 16 ? "" : "guid " + e.text;
    }
    case 33: case 34: {
      std::string bytes = VarPart(p);
      while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
      return e.text == Cp1252ToUtf8(bytes) ? "" : "memo \"" + e.text + "\"";
    }
    case 32: case 35: case 36: case 37: {
      const std::string bytes = VarPart(p);
      if (bytes.empty()) return e.null || e.text.empty() ? "" : "an empty blob as a value";
      const std::string got = sql ? e.text : Base64Decode(e.text);
      if (base == 35 && got.compare(0, 2, "BM") == 0) {
        return got.size() == bytes.size() + 14 && got.substr(14) == bytes ? "" : "picture";
      }
      return got == bytes ? "" : "blob of " + std::to_string(got.size()) + " bytes";
    }
    default: return "";
  }
  return "";
}

// RFC 4180 records of a CSV file (quoted fields may hold line breaks).
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      ++i;
    } else {
      field += c;
    }
  }
  return rows;
}

// The values of one flat JSON object, numbers as their own text.
std::vector<Exported> ParseJsonLine(const std::string& line) {
  std::vector<Exported> values;
  size_t i = 1;
  auto read_string = [&](std::string* out) {
    ++i;  // the opening quote
    while (i < line.size() && line[i] != '"') {
      if (line[i] == '\\') {
        const char e = line[++i];
        if (e == 'n') *out += '\n';
        else if (e == 'r') *out += '\r';
        else if (e == 't') *out += '\t';
        else if (e == 'u') {
          *out += static_cast<char>(std::stoi(line.substr(i + 1, 4), nullptr, 16));
          i += 4;
        } else *out += e;
      } else {
        *out += line[i];
      }
      ++i;
    }
    ++i;  // the closing quote
  };
  while (i < line.size() && line[i] != '}') {
    std::string key;
    read_string(&key);
    ++i;  // ':'
    Exported e;
    if (line[i] == '"') {
      read_string(&e.text);
    } else {
      const size_t end = line.find_first_of(",}", i);
      e.text = line.substr(i, end - i);
      e.null = e.text == "null";
      i = end;
    }
    values.push_back(std::move(e));
    if (line[i] == ',') ++i;
  }
  return values;
}

}  // namespace

long long CheckExportAgainstRecords(const std::string& dictionary, const std::string& folder,
                                    const std::string& database) {
  long long compared = 0;
  int mismatches = 0;
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  std::map<std::string, std::vector<ColumnInfo>> tables;
  std::vector<std::string> order;
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT table_name, column_name, offset, size, type_code, scale "
                     "FROM _tavelnor_fields ORDER BY rowid",
                     -1, &st, nullptr);
  while (sqlite3_step(st) == SQLITE_ROW) {
    const std::string table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    if (!tables.count(table)) order.push_back(table);
    tables[table].push_back({reinterpret_cast<const char*>(sqlite3_column_text(st, 1)),
                             static_cast<uint32_t>(sqlite3_column_int64(st, 2)),
                             static_cast<uint32_t>(sqlite3_column_int64(st, 3)),
                             sqlite3_column_int(st, 4), sqlite3_column_int(st, 5)});
  }
  sqlite3_finalize(st);
  EXPECT_FALSE(order.empty()) << "the description of the fields";

  ZAVL_Schema* schema = ZAVL_OpenSchema(dictionary.c_str(), SCHEMA_QUIET);
  EXPECT_NE(schema, nullptr);
  for (const std::string& table : order) {
    const std::vector<ColumnInfo>& columns = tables[table];
    const auto csv = ParseCsv(ReadAll(fs::path(folder) / (table + ".csv")));
    std::istringstream jsonl(ReadAll(fs::path(folder) / (table + ".jsonl")));
    sqlite3_prepare_v2(db, ("SELECT * FROM \"" + table + "\" ORDER BY rowid").c_str(), -1, &st, nullptr);
    ZAVL_Data* data = ZAVL_OpenData(schema, table.c_str(), 0);
    EXPECT_NE(data, nullptr) << table;
    if (data == nullptr) continue;
    size_t row = 0;
    for (int32_t pos = ZAVL_GetFirst(data); pos != -1; pos = ZAVL_GetNext(data), ++row) {
      const auto* record = static_cast<const uint8_t*>(ZAVL_GetBuffer(data));
      std::string line;
      std::getline(jsonl, line);
      const std::vector<Exported> json = ParseJsonLine(line);
      const bool has_row = sqlite3_step(st) == SQLITE_ROW;
      EXPECT_TRUE(has_row) << table << " row " << row;
      EXPECT_LT(row + 1, csv.size()) << table;
      if (!has_row || row + 1 >= csv.size()) break;
      EXPECT_EQ(json.size(), columns.size()) << line;
      for (size_t i = 0; i < columns.size() && i < json.size(); ++i) {
        const ColumnInfo& c = columns[i];
        const uint8_t* p = record + c.offset;
        Exported sql;
        const int type = sqlite3_column_type(st, static_cast<int>(i));
        sql.null = type == SQLITE_NULL;
        sql.is_blob = type == SQLITE_BLOB;
        sql.is_real = type == SQLITE_FLOAT;
        sql.real = sqlite3_column_double(st, static_cast<int>(i));
        if (sql.is_blob) {
          sql.text.assign(static_cast<const char*>(sqlite3_column_blob(st, static_cast<int>(i))),
                          static_cast<size_t>(sqlite3_column_bytes(st, static_cast<int>(i))));
        } else if (!sql.null) {
          sql.text = reinterpret_cast<const char*>(sqlite3_column_text(st, static_cast<int>(i)));
        }
        Exported cell;
        cell.text = i < csv[row + 1].size() ? csv[row + 1][i] : "";
        cell.null = cell.text.empty();
        const std::string where = table + "." + c.name + " row " + std::to_string(row) + ": ";
        for (const auto& [form, value] : {std::pair<const char*, const Exported*>{"SQLite", &sql},
                                          {"JSON Lines", &json[i]}, {"CSV", &cell}}) {
          const std::string problem = Verify(c, p, *value);
          EXPECT_EQ(problem, "") << where << form << "\n" << line;
          mismatches += problem.empty() ? 0 : 1;
          ++compared;
        }
      }
      if (mismatches > 10) break;  // enough to see what is wrong
    }
    EXPECT_EQ(ZAVL_GetLastError(), 9) << table << ": the walk ends at the end of the data";
    EXPECT_NE(sqlite3_step(st), SQLITE_ROW) << table << ": more rows than records";
    EXPECT_EQ(csv.size(), row + 1) << table;
    sqlite3_finalize(st);
    ZAVL_CloseData(data);
    if (mismatches > 10) break;
  }
  ZAVL_CloseSchema(schema);
  sqlite3_close(db);
  return compared;
}

std::map<std::string, std::string> FolderSnapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    std::error_code ec;
    const auto stamp = fs::last_write_time(entry.path(), ec).time_since_epoch().count();
    std::string state = std::to_string(stamp);
    if (entry.is_regular_file()) state += " " + ReadAll(entry.path());
    files[fs::relative(entry.path(), folder).string()] = state;
  }
  return files;
}

}  // namespace tavelnor::tool::testing
