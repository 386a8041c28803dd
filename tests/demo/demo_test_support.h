// Reading a generated demo back through the data engine: its dictionary
// loaded, each table walked in the order of its first key, fields read by
// name, and whole records taken as comparable bytes.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "data/edata_table.h"
#include "dico/dico_handler.h"
#include "record/blob_value.h"
#include "record/er_field.h"

namespace tavelnor::demo::testing {

class DemoReader {
 public:
  explicit DemoReader(const std::filesystem::path& dico) {
    loaded_ = dico_.Load(Chaine(dico.string()), dico::kLoadNameIndex) == dico::LoadResult::kLoaded;
  }
  bool loaded() const { return loaded_; }

  std::unique_ptr<data::EDataTable> Open(std::string_view name) {
    const auto* def = dynamic_cast<const dico::DRubricTable*>(dico_.FindTable(name));
    EXPECT_NE(def, nullptr) << name;
    if (def == nullptr) return nullptr;
    auto t = std::make_unique<data::EDataTable>();
    t->SetVariablePartsOption(true);
    EXPECT_TRUE(t->Open(def, def->GetFilePath(), data::kOpenNoCreate))
        << name << " " << t->Status();
    return t;
  }

  // Calls `visit` on every record of `name`, in the order of its first key;
  // answers how many were visited.
  size_t ForEach(std::string_view name, const std::function<void(data::EDataTable&)>& visit) {
    auto t = Open(name);
    if (!t || !t->IsOpen()) return 0;
    EXPECT_GE(t->SetKeyRange(0, nullptr, 0, nullptr, 0), 0) << name;
    size_t n = 0;
    for (int32_t pos = t->First(); pos != -1; pos = t->Next(), ++n) visit(*t);
    EXPECT_EQ(t->Status(), btrieve::kEndOfFile) << name;
    return n;
  }

  // Every record of `name` as bytes: the fixed part with the references of
  // the variable-part slots blanked (they name blocks of this process), then
  // the bytes of each part.
  std::vector<std::string> Records(std::string_view name) {
    std::vector<std::string> out;
    ForEach(name, [&out](data::EDataTable& t) {
      std::string bytes(reinterpret_cast<const char*>(t.RecordBuffer()), t.RecordLength());
      for (uint32_t slot : t.VariablePartSlots()) {
        bytes += "|" + std::string(record::ReadVarPart(t.RecordBuffer() + slot));
        for (uint32_t i = 4; i < 8; ++i) bytes[slot + i] = 0;
      }
      out.push_back(std::move(bytes));
    });
    return out;
  }

 private:
  dico::DDicoHandler dico_;
  bool loaded_ = false;
};

inline record::ErField& F(data::EDataTable& t, std::string_view name) {
  record::ErField* f = t.FieldByName(name);
  if (f == nullptr) {
    ADD_FAILURE() << "no field " << name;
    static record::ErField none;
    return none;
  }
  return *f;
}
inline std::string Text(data::EDataTable& t, std::string_view name) {
  return std::string(F(t, name).Buffer().GetText().view());
}
inline int64_t Int(data::EDataTable& t, std::string_view name) {
  return F(t, name).Buffer().GetInt64();
}
inline int64_t Cents(data::EDataTable& t, std::string_view name) {
  return F(t, name).Buffer().GetCurrency().Raw() / 100;
}
// A fixed-point value in units of 10^-decimals.
inline int64_t Scaled(data::EDataTable& t, std::string_view name, int decimals) {
  int64_t raw = F(t, name).Buffer().GetDecimal64().Raw();
  for (int d = decimals; d < record::EDecimal64::kDecimals; ++d) raw /= 10;
  return raw;
}
inline uint32_t Day(data::EDataTable& t, std::string_view name) {
  return F(t, name).Buffer().GetDate().Packed();  // orders as the dates do
}
inline std::string Part(data::EDataTable& t, std::string_view name) {
  const uint8_t* slot = F(t, name).Data();
  return slot ? std::string(record::ReadVarPart(slot)) : std::string();
}

}  // namespace tavelnor::demo::testing
