// Typed registry values on POSIX: the type travels in the value's text of the
// hive file (see registry_values.h); writes rewrite the file through a rename.
#include <unistd.h>

#include <cstdio>
#include <string_view>
#include <vector>

#include "foundation/case_tables.h"
#include "foundation/ini_text.h"
#include "foundation/platform/files.h"
#include "foundation/platform/registry_values.h"

namespace tavelnor::platform {

namespace {

constexpr size_t kMaxRegistryFile = size_t{4} << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         CompareNoCase1252(text.substr(0, prefix.size()), prefix) == 0;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

RegistryValue Decode(const std::string& raw) {
  RegistryValue v;
  std::string_view s = raw;
  if (StartsWithNoCase(s, "dword:")) {
    std::string_view digits = s.substr(6);
    uint32_t n = 0;
    bool good = !digits.empty() && digits.size() <= 8;
    for (char c : digits) {
      const int d = HexDigit(c);
      good = good && d >= 0;
      n = (n << 4) | static_cast<uint32_t>(d < 0 ? 0 : d);
    }
    if (good) {
      v.type = RegistryValue::Type::kNumber;
      v.number = n;
      return v;
    }
    v.type = RegistryValue::Type::kOther;  // a damaged number is no text either
    return v;
  }
  if (StartsWithNoCase(s, "hex:") || StartsWithNoCase(s, "hex(")) {
    v.type = RegistryValue::Type::kOther;
    return v;
  }
  v.type = RegistryValue::Type::kText;
  v.text = raw;
  return v;
}

// The file split into lines without their ends.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      lines.emplace_back(text.substr(start, i - start));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

// The section a line opens, or nothing when it opens none.
bool SectionOf(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return false;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

bool LineSetsKey(std::string_view line, std::string_view key) {
  line = Trim(line);
  if (line.empty() || line.front() == ';' || line.front() == '#') return false;
  const size_t eq = line.find('=');
  return eq != std::string_view::npos && CompareNoCase1252(Trim(line.substr(0, eq)), key) == 0;
}

std::string DwordText(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "dword:%08x", value);
  return buf;
}

Status WriteAtomically(const std::string& path, const std::string& text) {
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !DirectoryExists(path.substr(0, slash))) {
    return Status::IoError(path + ": folder missing");
  }
  const std::string temp = path + ".tmp" + std::to_string(getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (f == nullptr) return Status::IoError(temp + ": cannot be created");
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return Status::IoError(path + ": cannot be written");
  }
  return Status::Ok();
}

}  // namespace

Result<RegistryValue> ReadRegistryValue(RegistryHive hive, const std::string& key_path,
                                        const std::string& value_name) {
  const std::string file = RegistryHiveFile(hive);
  if (file.empty()) return Status::NotFound("no registry file for this hive");
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, kMaxRegistryFile);
  if (!bytes.ok()) return bytes.status();
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::optional<std::string> raw = FindIniValue(text, key_path, value_name);
  if (!raw) return Status::NotFound(key_path + "\\" + value_name + ": no such value");
  return Decode(*raw);
}

Status WriteRegistryDword(RegistryHive hive, const std::string& key_path,
                          const std::string& value_name, uint32_t value) {
  const std::string file = RegistryHiveFile(hive);
  if (file.empty()) return Status::IoError("no registry file for this hive");
  std::string text;
  if (FileExists(file)) {
    Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, kMaxRegistryFile);
    if (!bytes.ok()) return bytes.status();
    text.assign(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  }
  std::vector<std::string> lines = SplitLines(text);
  const std::string entry = value_name + "=" + DwordText(value);
  bool in_section = false;
  bool found_section = false;
  size_t last_setting = lines.size();      // last line setting the value
  size_t section_end = lines.size();       // line after the last matching section
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (SectionOf(lines[i], name)) {
      in_section = CompareNoCase1252(name, key_path) == 0;
      if (in_section) {
        found_section = true;
        section_end = i + 1;
      }
      continue;
    }
    if (!in_section) continue;
    if (!Trim(lines[i]).empty()) section_end = i + 1;
    if (LineSetsKey(lines[i], value_name)) last_setting = i;
  }
  if (last_setting < lines.size()) {
    lines[last_setting] = entry;
  } else if (found_section) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(section_end), entry);
  } else {
    lines.push_back("[" + key_path + "]");
    lines.push_back(entry);
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return WriteAtomically(file, out);
}

}  // namespace tavelnor::platform
