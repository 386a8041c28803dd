// Reading attribute values of a dictionary source: integers in their JSON and
// text forms, texts converted to Windows-1252, lists and language keys.
#include <limits>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"

namespace tavelnor::dico::source {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string Shown(const nlohmann::json& v) {
  std::string s = v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  if (s.size() > 40) s = s.substr(0, 37) + "...";
  return s;
}

std::optional<int64_t> TextAsInteger(std::string_view t) {
  if (t.empty()) return 0;
  bool negative = false;
  if (t[0] == '-' || t[0] == '+') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return std::nullopt;
  constexpr uint64_t kCap = uint64_t{1} << 62;  // beyond every field; saturates
  uint64_t value = 0;
  for (char c : t) {
    const int d = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return std::nullopt;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (value > kCap) value = kCap;
  }
  const auto v = static_cast<int64_t>(value);
  return negative ? -v : v;
}

Result<int64_t> ReadInteger(const nlohmann::json& v, int64_t min, int64_t max) {
  int64_t value = 0;
  if (v.is_boolean()) {
    value = v.get<bool>() ? 1 : 0;
  } else if (v.is_number_unsigned()) {
    const auto u = v.get<uint64_t>();
    value = u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())
                ? std::numeric_limits<int64_t>::max()
                : static_cast<int64_t>(u);
  } else if (v.is_number_integer()) {
    value = v.get<int64_t>();
  } else if (v.is_string()) {
    const auto parsed = TextAsInteger(v.get_ref<const std::string&>());
    if (!parsed) return Status::InvalidArgument(Shown(v) + " is not a number");
    value = *parsed;
  } else {
    return Status::InvalidArgument(Shown(v) + " is not an integer");
  }
  if (value < min || value > max) {
    return Status::InvalidArgument(Shown(v) + " is out of range " + std::to_string(min) + ".." +
                                   std::to_string(max));
  }
  return value;
}

Result<std::string> ReadText(const nlohmann::json& v, bool allow_nul) {
  if (!v.is_string()) return Status::InvalidArgument(Shown(v) + " is not a text");
  auto text = Utf8ToCp1252(v.get_ref<const std::string&>());
  if (!text.ok()) return text.status();
  if (!allow_nul && text->find('\0') != std::string::npos) {
    return Status::InvalidArgument("the text holds a zero character");
  }
  return text;
}

Result<bool> ReadBool(const nlohmann::json& v) {
  if (v.is_boolean()) return v.get<bool>();
  if (v.is_string()) {
    const auto& s = v.get_ref<const std::string&>();
    if (s == "true" || s == "1") return true;
    if (s == "false" || s == "0" || s.empty()) return false;
  } else if (v.is_number_integer() || v.is_number_unsigned()) {
    if (v == 0 || v == 1) return v == 1;
  }
  return Status::InvalidArgument(Shown(v) + " is not \"true\" or \"false\"");
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) out.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

Result<uint16_t> LanguageFromKey(std::string_view key) {
  if (key == "fr") return uint16_t{1036};
  if (key == "de") return uint16_t{2055};
  if (key == "en") return uint16_t{1033};
  const auto id = TextAsInteger(key);
  if (key.empty() || !id || *id < 1 || *id > 0xFFFF) {
    std::string message = "\"";  // built in place: GCC 12 misreads "x" + std::string&& (-Wrestrict)
    message += key;
    message += "\" is not a language (fr, de, en or a language id)";
    return Status::InvalidArgument(message);
  }
  return static_cast<uint16_t>(*id);
}

Result<std::vector<std::pair<uint16_t, std::string>>> ReadLanguageTexts(const nlohmann::json& v) {
  if (!v.is_object()) {
    return Status::InvalidArgument("expected {\"fr\"|\"de\"|\"en\"|\"<id>\": text}, got " +
                                   Shown(v));
  }
  std::vector<std::pair<uint16_t, std::string>> out;
  for (const auto& [key, text] : v.items()) {
    auto lang = LanguageFromKey(key);
    if (!lang.ok()) return lang.status();
    auto t = ReadText(text);
    if (!t.ok()) {
      return Status::InvalidArgument("language \"" + key + "\": " + t.status().message());
    }
    out.emplace_back(*lang, std::move(*t));
  }
  return out;
}

const FieldDesc* FindClassField(ImageType type, std::string_view attribute) {
  for (const FieldDesc& f : ClassFields(type)) {
    if (attribute == f.attribute) return &f;
  }
  return nullptr;
}

}  // namespace tavelnor::dico::source
