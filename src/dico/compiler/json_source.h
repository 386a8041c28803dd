// The dictionary source: a JSON description of a dictionary that compiles
// into a DicoImage (and the translation texts that go beside it).
//
// Texts in the source are UTF-8; they are stored as Windows-1252 and a text
// with a character outside that code page is refused, unless the top level
// names another code page ("codepage": "cp866"): every text (and member
// name) is then stored in that one, as a DOS-era database's names are. Numbers may be JSON
// integers, booleans (1/0) or strings as the attribute export writes them:
// decimal ("-1"), hexadecimal ("0x1f"), or "" for zero.
//
// Top level object (every member optional except "root"):
//   "signature"      "D8" (default) or "ED"
//   "versionbyte"    default 2, below 11
//   "level"          format level 2..11, default 11 (the caller may override)
//   "versionsystem", "versionuser"   default 0
//   "lastid"         last identifier; default the highest identifier used.
//                    Automatic identifiers start after it (after the highest
//                    explicit one when it is absent) and the stored value is
//                    raised to the highest automatic identifier
//   "lowestuserid"   default -1
//   "nameindex"      [{"name": "France", "value": 1}, {"name": "@Paie", "value": 15}]
//                    countries take 1..13 (14: entered without a bit), macros
//                    ("@" names) 15..21 (22: without a bit); a name or a code
//                    1..13 / 15..21 may appear only once
//   "countries", "macros"   names entered after "nameindex" with the next
//                    free codes (countries 1..13, macros 1..7, then 14 / 8)
//   "categories"     [{"name" (at most 30 bytes), "value" (u32), "flag" (u8),
//                      "extra": hex digits of bytes 36..256, zero-padded}]
//   "root"           the root node, isa "Dico"
//   "detached"       nodes outside the tree (parent 0), kept for exact round trips
//   "translations"   {"OXADico": {"<id or path>": {"header": T, "desc": T}},
//                     "Categories": {"<category name>": T}}
//                    where T = {"fr"|"de"|"en"|"<language id>": text}
//   "codepage"       the code page the texts are stored in (see above)
//   "comment"        ignored
//
// A node: {"isa": node name ("Dico", "Rubric", "TitleData", "Variable", ...),
//          attributes..., "children": [nodes in sibling order]}
// Base attributes:
//   "accel"          identifier; absent, "" or 0: assigned automatically in
//                    tree order (root, children depth first, then "detached")
//   "name", "ddfname", "header", "desc"   texts; absent = no string (0),
//                    "" = the empty string (-1)
//   "@absent"        names of text attributes (base or class part), as a list
//                    or joined by ",", stored as "no string" although a value
//                    is given (the export writes display fallbacks and "")
//   "flags", "internalflags" (the read-from-file bit 0x20000 and the string
//                    ownership bits are cleared), "internalsize" (unit size),
//                    "reserved56", "altid" (base words at 56 and 60)
//   "linkedto"       identifier, or a path of names from the root separated by
//                    "/" ("Clients/Lesdonnees/Code"); a text that reads as a
//                    number is an identifier, a leading "/" forces a path
//   "countries", "macros"  names joined by "," (or a list); unknown names are
//                    entered in the name index with the lowest free code
//   "countriesexclude"     "true"/"false"
//                    (country byte 0: 0x80 when any country is named, 0x40 for
//                    an exclusion list; the code bits as the object model reads them)
//   "translations"   {"header": T, "desc": T}: this node's translated texts
// Class attributes: the attribute names of ClassFields() (image_format.h) for
//   the node's image type; "linkedkey" takes an identifier or a path like
//   "linkedto"; "class" and "classarray" also take a class name ("Calc").
// Ignored (derived by the model): "usertype", "btrflags", "size", and
//   "class", "type", "typestr", "diskoffset", "nbitems" on kinds whose class
//   part has no such field. Any other attribute is an error.
// Creation values of absent class attributes: type 0xFF, precision -1,
//   nbitems 1, masterindex -1 (fields); pagesize 512 (tables); typeseg 0xFF
//   (segments); nbitems 1 (structure and array fields); nativelanguage 1036.
//
// Layout conveniences for hand-written sources (see auto_layout.h): fields
// without "diskoffset" and containers without "internalsize" get the record
// layout computed; an item field of an array without "nbitems" takes the
// array's; a "Segment" or "SubLink" may give "field": "<name or path under the
// table's record layout>" instead of "offset", which also supplies
// "internalsize", "linkedto" and (segments) "typeseg" when those are absent.
//
// Strings are interned once each (built-in strings keep their negative
// references) in the order: arrays 0..27, objects in array order, string
// fields in offset order. The pool starts with one zero byte, as offset 0
// cannot name a string.
#pragma once

#include <nlohmann/json.hpp>

#include "dico/dico_image.h"
#include "foundation/status.h"
#include "foundation/translation.h"

namespace tavelnor::dico {

struct CompileOptions {
  int level = 0;  // 2..11 overrides the source's "level"; 0 keeps it
};

struct CompiledDico {
  DicoImage image;                // header.level = the level to write at
  TranslationFile translations;   // sections "OXADico" and "Categories"
  bool has_translations = false;  // at least one translated text was given
};

// Compiles a parsed source. InvalidArgument with the node's path and the
// attribute for any error in the source.
Result<CompiledDico> CompileDicoSource(const nlohmann::json& source, CompileOptions opts = {});

// A source (as Windows-1252 spells a dictionary's bytes) with its texts and
// member names read in `code_page` instead, and "codepage" first at its top
// level; a text with no Windows-1252 form stays as it is. Compiles to the
// same bytes. `code_page` as platform::CodePage names it.
nlohmann::ordered_json SourceInCodePage(const nlohmann::ordered_json& source, std::string_view code_page);

}  // namespace tavelnor::dico
