// The dictionary image: the byte layout of a dictionary file and of the
// record images of its 28 object kinds.
//
// A dictionary file is a run of sections read strictly in order (all integers
// little-endian, texts Windows-1252):
//
//   section  content
//   1        header: 'D','8' or 'E','D'; version byte (< 11); format level L;
//            u32 versionsystem; u32 versionuser (L >= 8)
//   2        u32 last identifier; i32 lowest added user identifier (L >= 5;
//            0xCDCDCDCD and absent read as -1)
//   3        name index (L >= 11): u32 N, then N x {i32 value, u32 length, bytes};
//            "@name" enters macro `name` with code value-14, others a country
//   4        record header size: 56 (L <= 5), 64 (L 6..10), else a u32 (67)
//   5        28 element counts (u16 for L <= 10, u32 from 11; levels 2 and 3
//            hold 26 and 27 arrays), then for each non-empty array a u32
//            element size S and count x S bytes of record images
//   6        string pool: u32 size P, P bytes of zero-terminated strings
//   7        categories: u32 count M; L <= 4: M x 36 bytes; else u32 entry size
//            E and M x E bytes, kept as 257-byte entries
//
// Record images start with the 67-byte base part:
//
//   offset size field                     offset size field
//   0      4    object-class slot         36     4    header text (string ref)
//   4      4    owner slot                40     4    description (string ref)
//   8      4    identifier                44     4    internal flags
//   12     4    first child id            48     4    flags (low 16: Btrieve flags)
//   16     4    next sibling id           52     4    unit size
//   20     4    parent id                 56     4    reserved
//   24     4    linked-to id              60     4    reserved (alternate identifier)
//   28     4    name (string ref)         64     2    countries bit set
//   32     4    file-definition name      66     1    macros bit set
//
// Class parts follow at offset 67; their fields are listed in kFields below.
// A string reference is 0 (absent), -1 (empty), -2..-22 (built-in string
// number -2-ref) or a byte offset in the pool.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tavelnor::dico {

inline constexpr int kKindCount = 28;
inline constexpr uint32_t kBaseSize = 67;
inline constexpr uint32_t kCategorySize = 257;
inline constexpr uint32_t kOldCategorySize = 36;
inline constexpr uint32_t kCategoryNameLength = 30;

enum Kind : uint8_t {
  kDico = 0, kRubricTable, kSystem, kStruct, kClass, kDialogBox, kTitleVar, kTitleKey,
  kTitleLink, kTitleData, kKey, kLink, kVarPerso, kVarStruct, kVarStructInNode,
  kVarStructInArray, kVarArray, kVarArrayInStruct, kVariable, kVarInNode, kVarInArray,
  kVarInPerso, kSegment, kSegmentAttached, kSubLink, kSubLinkAttached, kVarInSystem,
  kTitleMemory
};

// The record image family of a kind: which class part follows the base part.
enum class ImageType : uint8_t {
  kDico, kRubricTable, kPlain, kLink, kVarPerso, kVarStruct, kVarArray, kVariable, kSegment,
  kSubLink
};

struct KindInfo {
  const char* class_name;    // "DRubricTable"
  const char* node_name;     // "Rubric": the attribute export's "isa"
  const char* default_name;  // name of a new object of the kind
  ImageType image_type;
  uint8_t group;             // name group ("usertype")
  uint16_t image_size;       // current image size (level 11 and later)
};

const KindInfo& GetKindInfo(int kind);  // kind in [0, 27]
// Image size of a kind as written at a format level: the level's record
// header size plus the class part (the current size from level 11; before
// it the root's class part lacks the native language, 69 bytes in all).
uint32_t ImageSizeForLevel(int kind, int level);
// Number of object arrays a file of this level holds: 26 at level 2, 27 at
// level 3, 28 at every other level (0 and 1 included).
int ArrayCountForLevel(int level);
// Record header size implied by a level (56 or 64; 67 from level 11).
uint32_t HeaderSizeForLevel(int level);
// The kind whose node name is `node_name`, or -1.
int KindFromNodeName(std::string_view node_name);
bool IsContainerKind(int kind);  // kinds 1 to 5

// Base part offsets.
namespace base {
inline constexpr uint32_t kClassSlot = 0, kOwner = 4, kId = 8, kFirstChild = 12,
                          kNextSibling = 16, kParent = 20, kLinkedTo = 24, kName = 28,
                          kDdfName = 32, kHeader = 36, kDesc = 40, kInternalFlags = 44,
                          kFlags = 48, kUnitSize = 52, kReserved56 = 56, kAltId = 60,
                          kCountries = 64, kMacros = 66;
}  // namespace base

// Internal flag bits.
namespace iflag {
inline constexpr uint32_t kRuntimeLow = 0x1F;  // bits 0..4: run-time state
inline constexpr uint32_t kOwnName = 0x2, kOwnDdfName = 0x4, kOwnTypeText = 0x400,
                          kOwnFormula = 0x800, kOwnMask = 0x1000, kOwnCategory = 0x2000,
                          kNoDdfPrefix = 0x10000, kFromFile = 0x20000,
                          kOwnControlChar = 0x40000, kNoSize = 0x80000,
                          kOwnDefExtension = 0x100000, kOwnDefFileName = 0x200000,
                          kStructureModified = 0x01000000, kUserModified = 0x02000000;
inline constexpr uint32_t kOwnershipBits = kOwnName | kOwnDdfName | kOwnTypeText | kOwnFormula |
                                           kOwnMask | kOwnCategory | kOwnControlChar |
                                           kOwnDefExtension | kOwnDefFileName;
}  // namespace iflag

// How a class-part field is stored.
enum class FieldForm : uint8_t {
  kU8, kI8, kU16, kU32, kI32,
  kString,  // string reference
  kId,      // identifier of another object
  kText8,   // 8 bytes of zero-padded text, not necessarily terminated
  kHex32,   // u32 written as "0x%x"
};

// One stored field of a record image with its attribute name. The table
// below is the single description that the loader, the attribute export and
// the dictionary compiler share.
struct FieldDesc {
  ImageType image_type;
  const char* attribute;  // attribute name in the export and the JSON source
  uint16_t offset;
  FieldForm form;
  uint32_t ownership_bit;  // internal flag bit owning the string, 0 if none
};

std::span<const FieldDesc> ClassFields(ImageType type);
// Every string-reference field of an image type, base part included.
std::span<const uint16_t> StringRefOffsets(ImageType type);

// Built-in strings, referenced as -2 - number.
inline constexpr int kBuiltinStringCount = 21;
const char* BuiltinString(int number);  // "Les donn\xE9" "es" ... "Filler"
// The reference of a built-in string equal to `text` (byte-exact), or 0.
int32_t BuiltinStringRef(std::string_view text);

// Class codes ("class").
const char* ClassCodeName(uint32_t code);  // "Bd" ... "Extension", null beyond 7

}  // namespace tavelnor::dico
