// Helpers of the dictionary compiler tests: compile a source given as JSON
// text, then look objects and fields up in the image that a level-11 file of
// it parses back into.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "dico/compiler/dico_compiler.h"
#include "dico/compiler/json_source.h"
#include "dico/dico_image.h"
#include "dico/image_format.h"
#include "foundation/byte_reader.h"

namespace tavelnor::dico::compiler_test {

// One object of a parsed image.
struct Obj {
  int kind = -1;
  const uint8_t* p = nullptr;

  explicit operator bool() const { return p != nullptr; }
  uint32_t U32(uint32_t off) const { return LoadLE32(p + off); }
  int32_t Ref(uint32_t off) const { return static_cast<int32_t>(LoadLE32(p + off)); }
  uint16_t U16(uint32_t off) const { return LoadLE16(p + off); }
  uint8_t U8(uint32_t off) const { return p[off]; }
  uint32_t Id() const { return U32(base::kId); }
  // Offset of a class attribute of this object's kind.
  uint32_t Off(std::string_view attribute) const {
    for (const FieldDesc& f : ClassFields(GetKindInfo(kind).image_type)) {
      if (attribute == f.attribute) return f.offset;
    }
    ADD_FAILURE() << "no class field " << attribute;
    return 0;
  }
  uint32_t Field(std::string_view attribute) const { return U32(Off(attribute)); }
};

inline Obj ObjectAt(const DicoImage& img, int kind, uint32_t index) {
  if (index >= img.Count(kind)) return {};
  return {kind,
          img.arrays[static_cast<size_t>(kind)].data() + index * GetKindInfo(kind).image_size};
}

// Text of a string reference: nullopt for 0 (absent).
inline std::optional<std::string> Text(const DicoImage& img, int32_t ref) {
  if (ref == 0) return std::nullopt;
  if (ref == -1) return std::string();
  if (ref < 0) return std::string(BuiltinString(-2 - ref));
  const auto* s = reinterpret_cast<const char*>(img.pool.data() + ref);
  return std::string(s);
}

// The object with this name (first in array order), or an empty Obj.
inline Obj FindNamed(const DicoImage& img, std::string_view name, int kind = -1) {
  for (int k = 0; k < kKindCount; ++k) {
    if (kind >= 0 && k != kind) continue;
    for (uint32_t i = 0; i < img.Count(k); ++i) {
      Obj o = ObjectAt(img, k, i);
      if (Text(img, o.Ref(base::kName)) == std::string(name)) return o;
    }
  }
  return {};
}

inline Result<CompiledDico> Compile(std::string_view json_text, CompileOptions opts = {}) {
  return CompileDicoSource(nlohmann::json::parse(json_text), opts);
}

// Compiles, writes a level-11 file and parses it back; fails the test on error.
inline DicoImage CompileAndParse(std::string_view json_text) {
  auto compiled = Compile(json_text);
  EXPECT_TRUE(compiled.ok()) << compiled.status().message();
  if (!compiled.ok()) return {};
  auto parsed = ParseDicoImage(WriteDicoImage(compiled->image, 11));
  EXPECT_TRUE(parsed.ok()) << parsed.status().message();
  return parsed.ok() ? std::move(parsed).value() : DicoImage{};
}

inline std::string ErrorOf(std::string_view json_text) {
  auto compiled = Compile(json_text);
  return compiled.ok() ? std::string("(compiled)") : compiled.status().message();
}

}  // namespace tavelnor::dico::compiler_test
