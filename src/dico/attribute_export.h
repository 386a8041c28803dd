// The attribute export: a dictionary object and its children described as a
// tree of nodes named "node", each with ordered text attributes. The JSON
// source of the dictionary compiler reads the same attributes back.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavelnor::dico {

class DDicoHandler;

struct AttrNode {
  std::string name = "node";
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<AttrNode> children;

  void Set(std::string key, std::string value) {
    attributes.emplace_back(std::move(key), std::move(value));
  }
  // The value of an attribute, or null.
  const std::string* Find(std::string_view key) const;
};

// Attributes added after the documented ones so that an export can be
// compiled back into the same bytes: "@absent" (the texts whose string
// reference is absent, which the documented attributes write like empty
// ones, joined by ","), and the reserved words when they are not zero.
inline constexpr std::string_view kAbsentAttribute = "@absent";

// The whole dictionary: the root's export, plus the objects that the tree
// does not reach, as further top-level nodes (in `detached`).
struct DicoExport {
  AttrNode root;
  std::vector<AttrNode> detached;
};
DicoExport ExportDictionary(const DDicoHandler& handler);

// A plain-text rendering of an export tree, one object a line, indented by
// depth: kind, name, identifier and the attributes that matter to a reader.
std::string RenderTree(const AttrNode& root);

}  // namespace tavelnor::dico
