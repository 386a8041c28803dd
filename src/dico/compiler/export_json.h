// The reverse of the dictionary compiler: an attribute export, or a whole
// loaded dictionary, written as a dictionary source (json_source.h), so that
// binary -> source -> binary gives the same bytes.
//
// Texts are converted from Windows-1252 to UTF-8. Attributes that the
// compiler derives ("usertype", "btrflags", "size", and "class", "type",
// "typestr", "diskoffset", "nbitems" on kinds without such a class field) are
// left out, as are empty "countries"/"macros" and "countriesexclude" false.
// "@absent" becomes a list. Translation items other than "<id>.header",
// "<id>.desc" and the category items are not carried.
#pragma once

#include <nlohmann/json.hpp>

#include "dico/attribute_export.h"

namespace tavelnor::dico {

class DDicoHandler;

// One exported node and its subtree.
nlohmann::ordered_json AttrTreeToJson(const AttrNode& node);

// Header words, name index, categories, the root's tree, the detached
// objects and the translations of a loaded dictionary: the objects read from
// its file (not those the handler adds to a dictionary that lacks them). Class-part texts whose
// reference is absent are added to "@absent", which the export alone cannot
// tell from empty ones.
nlohmann::ordered_json DictionaryToJson(const DDicoHandler& handler);

}  // namespace tavelnor::dico
