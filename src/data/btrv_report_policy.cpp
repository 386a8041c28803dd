// The registry switches of Btrieve error reporting.
#include "data/btrv_report_policy.h"

#include <charconv>

#include "foundation/platform/registry_values.h"
#include "paths/app_values.h"

namespace tavelnor::data {

namespace {

using platform::RegistryHive;
using platform::RegistryValue;

constexpr char kOptionKey[] = "Software\\OXA\\Common\\Settings";
constexpr char kOptionValue[] = "OXAOption";

uint32_t OptionHalf(RegistryHive hive) {
  Result<RegistryValue> v = platform::ReadRegistryValue(hive, kOptionKey, kOptionValue);
  if (!v.ok() || v->type != RegistryValue::Type::kNumber) return 0;
  return v->number & 0xFFFF;
}

// A text value read as a decimal number, as far as its digits go.
int32_t DecimalOf(const std::string& text) {
  size_t start = 0;
  while (start < text.size() && (text[start] == ' ' || text[start] == '\t')) ++start;
  int32_t n = 0;
  std::from_chars(text.data() + start, text.data() + text.size(), n);
  return n;
}

}  // namespace

ReportOptions ReadReportOptions() {
  ReportOptions o;
  o.word = (OptionHalf(RegistryHive::kLocalMachine) << 16) | OptionHalf(RegistryHive::kCurrentUser);
  return o;
}

std::string ShowBtrvErrKeyPath() {
  return "SOFTWARE\\" + paths::AppSocietyId() + "\\" + paths::AppName() + "\\ShowBtrvErr";
}

int32_t ReadAndListShowBtrvErr(int status) {
  const std::string key = ShowBtrvErrKeyPath();
  const std::string name = std::to_string(status);
  int32_t value = -1;
  Result<RegistryValue> v = platform::ReadRegistryValue(RegistryHive::kLocalMachine, key, name);
  if (v.ok()) {
    switch (v->type) {
      case RegistryValue::Type::kNumber: value = static_cast<int32_t>(v->number); break;
      case RegistryValue::Type::kText: value = DecimalOf(v->text); break;
      case RegistryValue::Type::kOther: value = 0; break;
    }
  }
  // A machine hive that cannot be written (no right) only loses the listing.
  (void)platform::WriteRegistryDword(RegistryHive::kLocalMachine, key, name,
                                     static_cast<uint32_t>(value));
  return value;
}

}  // namespace tavelnor::data
