// Portable reading and writing of resources in Windows modules (PE files).
//
// A dictionary may travel inside an executable or library as the resource
// "DICO" of type "DICO". FindPeResource walks the module's resource tree from
// the file bytes alone; BuildPeModuleWithResource makes a resource-only
// 32-bit library that carries one resource (the dictionary compiler uses it).
//
// File layout read here (all integers little-endian):
//
//   where                     size  field
//   0                         2     "MZ"
//   0x3C                      4     e_lfanew: offset of the PE signature
//   e_lfanew                  4     "PE\0\0"
//   e_lfanew+4                20    COFF header: machine, section count (+2),
//                                   optional header size (+16), characteristics
//   e_lfanew+24               var   optional header: magic 0x10B (PE32) keeps its
//                                   data directories at +96, 0x20B (PE32+) at +112;
//                                   directory count just before them
//   directories[2]            8     resource table: RVA, size
//   e_lfanew+24+opt size      40*n  section table: virtual size (+8), RVA (+12),
//                                   raw size (+16), raw file offset (+20)
//
// Resource tree (offsets relative to the start of the resource table):
//
//   directory   16 bytes: ..., named entry count (+12), id entry count (+14),
//               then 8-byte entries {name-or-id, target}
//   name-or-id  high bit set: offset of {u16 length, UTF-16LE chars};
//               else a 16-bit numeric id
//   target      high bit set: offset of a subdirectory; else offset of a data
//               entry {RVA of the bytes, size, code page, reserved}
//
// The tree has three levels: type, name, language.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::dico {

// True when `data` starts with 4D 5A 90 00, the mark by which a dictionary
// path is recognised as a Windows module.
bool HasModuleMark(std::span<const uint8_t> data);

// Upper-cases ASCII and Latin-1 letters, the folding under which resource
// names compare equal.
char16_t FoldResourceChar(char16_t c);

struct PeResource {
  std::span<const uint8_t> data;  // Borrowed from the module bytes.
  uint16_t language = 0;
  uint32_t code_page = 0;
};

// Finds the resource named `name` of type `type`, both compared without
// regard to case (Windows stores them upper-case), and answers its first
// language. NotFound when the module holds no such resource (or no resource
// table); Corrupt, naming the file offset, when the module is damaged.
Result<PeResource> FindPeResource(std::span<const uint8_t> module, std::u16string_view type,
                                  std::u16string_view name);

// Builds (pe_module_writer.cpp) a resource-only 32-bit (i386) library: DOS header and stub, PE
// header, one ".rsrc" section holding `data` as resource `name` of type
// `type` in language `lang`, no code, no entry point, a valid checksum.
// Names are stored upper-case. Throws std::length_error when `data` or a name
// is too large for the format (data beyond 1 GiB, names beyond 65535 chars).
std::vector<uint8_t> BuildPeModuleWithResource(std::u16string_view type, std::u16string_view name,
                                               uint16_t lang, std::span<const uint8_t> data);

}  // namespace tavelnor::dico
