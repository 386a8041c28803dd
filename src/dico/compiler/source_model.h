// The compiler's working form of a dictionary source: one SourceNode per
// object, in tree order, each holding its record image with every number
// already stored and the texts, paths and names still to be resolved.
// Internal to the compiler.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dico/dico_image.h"
#include "dico/image_format.h"
#include "foundation/byte_reader.h"
#include "foundation/status.h"

namespace tavelnor::dico::source {

// An identifier attribute given as a path, resolved once the tree is known.
struct PendingPath {
  uint16_t offset;        // where the identifier goes in the image
  std::string attribute;  // for messages
  std::string path;       // Windows-1252
};

struct NodeTranslation {
  std::string item;  // "header" or "desc"
  uint16_t lang;
  std::string text;  // Windows-1252
};

struct SourceNode {
  int kind = 0;
  std::string where;           // readable position, for messages
  std::vector<uint8_t> image;  // current-size record image
  int parent = -1;             // index in SourceDico::nodes
  std::vector<int> children;
  bool auto_id = false;
  std::optional<std::string> name;  // Windows-1252, for paths
  // Texts to intern: (image offset, Windows-1252 text). Fields without an
  // entry keep the reference 0.
  std::vector<std::pair<uint16_t, std::string>> texts;
  std::vector<PendingPath> paths;
  std::vector<std::string> countries, macros;
  bool countries_exclude = false;
  std::set<std::string, std::less<>> given;  // attribute names present in the source
  std::optional<std::string> field;          // segment / sub-link "field"
  std::vector<NodeTranslation> translations;

  uint32_t U32(uint16_t off) const { return LoadLE32(image.data() + off); }
  uint16_t U16(uint16_t off) const { return LoadLE16(image.data() + off); }
  uint8_t U8(uint16_t off) const { return image[off]; }
  void SetU32(uint16_t off, uint32_t v) { StoreLE32(image.data() + off, v); }
  void SetU16(uint16_t off, uint16_t v) { StoreLE16(image.data() + off, v); }
  void SetU8(uint16_t off, uint8_t v) { image[off] = v; }
  bool Given(std::string_view attr) const { return given.find(attr) != given.end(); }
  uint32_t Id() const { return U32(base::kId); }
};

struct TopTranslation {
  std::string section;  // "OXADico" or "Categories"
  std::string key;      // object id / path, or category name (Windows-1252)
  std::string item;     // "header" / "desc" for objects, "" for categories
  uint16_t lang;
  std::string text;
  std::string where;
};

struct SourceDico {
  DicoImage image;  // header, words, name index, categories
  bool lastid_given = false;
  // "countries" / "macros" of the top level: entered after "nameindex".
  std::vector<std::string> extra_countries, extra_macros;
  std::vector<SourceNode> nodes;  // root subtree first (preorder), then detached
  std::vector<TopTranslation> translations;
};

// --- values (source_values.cpp) ------------------------------------------------

// A value as JSON text for messages, cut to 40 characters.
std::string Shown(const nlohmann::json& v);
// Reads an integer attribute: JSON integer, boolean, or decimal / "0x" hex
// text ("" is 0). Refuses values outside [min, max].
Result<int64_t> ReadInteger(const nlohmann::json& v, int64_t min, int64_t max);
// Reads a text and converts it to Windows-1252; a zero character is refused
// when `allow_nul` is false.
Result<std::string> ReadText(const nlohmann::json& v, bool allow_nul = false);
// A text that reads fully as an integer (decimal or hex), or nullopt.
std::optional<int64_t> TextAsInteger(std::string_view text);
// Reads "true"/"false"/""/boolean/0/1.
Result<bool> ReadBool(const nlohmann::json& v);
// Splits a "," list, dropping empty names.
std::vector<std::string> SplitList(std::string_view text);
// Language identifier from "fr", "de", "en" or a decimal identifier.
Result<uint16_t> LanguageFromKey(std::string_view key);
// Reads {"lang": text, ...}.
Result<std::vector<std::pair<uint16_t, std::string>>> ReadLanguageTexts(const nlohmann::json& v);

// The class field of an image type named `attribute`, or null.
const FieldDesc* FindClassField(ImageType type, std::string_view attribute);

// --- reading (source_reader.cpp, node_reader.cpp) -------------------------------

// Reads the top-level members and the node trees; nothing is resolved yet.
Result<SourceDico> ReadSource(const nlohmann::json& source);
// Appends `json` and its subtree to `dico->nodes` in preorder.
Status ReadNodeTree(const nlohmann::json& json, const std::string& where, int parent, int depth,
                    SourceDico* dico);

// --- assembling (assemble.cpp) ------------------------------------------------

// Name index and object bits, identifiers, tree fields, paths, then (after
// the layout pass) strings and arrays.
Status ResolveCountriesAndMacros(SourceDico* dico);
Status AssignIdentifiers(SourceDico* dico);
void SetTreeFields(SourceDico* dico);
// The node reached from the root (or from `start`) by a "/" path, or an error.
Result<int> ResolvePath(const SourceDico& dico, std::string_view path, int start = -1);
Status ResolvePaths(SourceDico* dico);
Status BuildArrays(SourceDico* dico);

}  // namespace tavelnor::dico::source
