// Tables describing the dictionary image: kinds, image sizes, class fields.
#include "dico/image_format.h"

#include <array>
#include <cstring>

namespace tavelnor::dico {
namespace {

using IT = ImageType;

constexpr std::array<KindInfo, kKindCount> kKinds = {{
    {"DDico", "Dico", "Dico", IT::kDico, 7, 74},
    {"DRubricTable", "Rubric", "Rub", IT::kRubricTable, 1, 95},
    {"DSystem", "System", "System", IT::kPlain, 1, 67},
    {"DStruct", "Struct", "Struct", IT::kPlain, 4, 67},
    {"DClass", "Class", "Class", IT::kPlain, 4, 67},
    {"DDialogBox", "DialogBox", "DialogBox", IT::kPlain, 1, 67},
    {"DTitleVar", "TitleVar", "Les variables", IT::kPlain, 7, 67},
    {"DTitleKey", "TitleKey", "Les clefs", IT::kPlain, 7, 67},
    {"DTitleLink", "TitleLink", "Les liens", IT::kPlain, 7, 67},
    {"DTitleData", "TitleData", "Lesdonnees", IT::kPlain, 7, 67},
    {"DKey", "Key", "Key", IT::kPlain, 7, 67},
    {"DLink", "Link", "Link", IT::kLink, 7, 71},
    {"DVarPerso", "VarPerso", "ChampPerso", IT::kVarPerso, 3, 79},
    {"DVarStruct", "VarStruct", "VS", IT::kVarStruct, 5, 73},
    {"DVarStructInNode", "VarStructInNode", "VS", IT::kVarStruct, 5, 73},
    {"DVarStructInArray", "VarStructInArray", "VS", IT::kVarStruct, 5, 73},
    {"DVarArray", "VarArray", "VA", IT::kVarArray, 7, 73},
    {"DVarArrayInStruct", "VarArrayInStruct", "VA", IT::kVarArray, 7, 73},
    {"DVariable", "Variable", "Var", IT::kVariable, 2, 136},
    {"DVarInNode", "VarInNode", "Var", IT::kVariable, 2, 136},
    {"DVarInArray", "VarInArray", "Var", IT::kVariable, 2, 136},
    {"DVarInPerso", "VarInPerso", "VarPerso", IT::kVariable, 2, 136},
    {"DSegment", "Segment", "Seg", IT::kSegment, 6, 76},
    {"DSegmentAttached", "SegmentAttached", "SegAttach", IT::kSegment, 6, 76},
    {"DSubLink", "SubLink", "Sub", IT::kSubLink, 6, 71},
    {"DSubLinkAttached", "SubLinkAttached", "SubAttach", IT::kSubLink, 6, 71},
    {"DVarInSystem", "VarInSystem", "Var", IT::kVariable, 2, 136},
    {"DTitleMemory", "TitleMemory", "Les extensions", IT::kPlain, 7, 67},
}};

using F = FieldForm;
constexpr FieldDesc kDicoFields[] = {
    {IT::kDico, "defprecision", 67, F::kI8, 0},
    {IT::kDico, "defextension", 68, F::kString, iflag::kOwnDefExtension},
    {IT::kDico, "nativelanguage", 72, F::kU16, 0},
};
constexpr FieldDesc kRubricFields[] = {
    {IT::kRubricTable, "pagesize", 67, F::kU32, 0},
    {IT::kRubricTable, "memorysize", 71, F::kU32, 0},
    {IT::kRubricTable, "reserved75", 75, F::kU32, 0},
    {IT::kRubricTable, "reserved79", 79, F::kU32, 0},
    {IT::kRubricTable, "deffilename", 83, F::kString, iflag::kOwnDefFileName},
    {IT::kRubricTable, "versionsystem", 87, F::kU32, 0},
    {IT::kRubricTable, "versionuser", 91, F::kU32, 0},
};
constexpr FieldDesc kLinkFields[] = {{IT::kLink, "linkedkey", 67, F::kId, 0}};
constexpr FieldDesc kSubLinkFields[] = {{IT::kSubLink, "offset", 67, F::kU32, 0}};
constexpr FieldDesc kVarPersoFields[] = {
    {IT::kVarPerso, "maxpersosize", 67, F::kU32, 0},
    {IT::kVarPerso, "nbvarperso", 71, F::kU32, 0},
    {IT::kVarPerso, "offset", 75, F::kU32, 0},
};
constexpr FieldDesc kVarStructFields[] = {
    {IT::kVarStruct, "nbitems", 67, F::kU16, 0},
    {IT::kVarStruct, "classarray", 69, F::kU32, 0},
};
constexpr FieldDesc kVarArrayFields[] = {
    {IT::kVarArray, "nbitems", 67, F::kU16, 0},
    {IT::kVarArray, "classarray", 69, F::kU32, 0},
};
constexpr FieldDesc kSegmentFields[] = {
    {IT::kSegment, "offset", 67, F::kU32, 0},
    {IT::kSegment, "typesegstr", 71, F::kString, iflag::kOwnTypeText},
    {IT::kSegment, "typeseg", 75, F::kU8, 0},
};
constexpr FieldDesc kVariableFields[] = {
    {IT::kVariable, "formula", 67, F::kString, iflag::kOwnFormula},
    {IT::kVariable, "typestr", 71, F::kString, iflag::kOwnTypeText},
    {IT::kVariable, "mask", 75, F::kString, iflag::kOwnMask},
    {IT::kVariable, "type", 79, F::kU8, 0},
    {IT::kVariable, "class", 80, F::kU32, 0},
    {IT::kVariable, "precision", 84, F::kI8, 0},
    {IT::kVariable, "category", 85, F::kString, iflag::kOwnCategory},
    {IT::kVariable, "nbitems", 89, F::kU16, 0},
    {IT::kVariable, "diskoffset", 91, F::kU32, 0},
    {IT::kVariable, "stringtable", 95, F::kString, 0},
    {IT::kVariable, "masterindex", 99, F::kI8, 0},
    {IT::kVariable, "numfunc", 100, F::kU8, 0},
    {IT::kVariable, "format", 101, F::kU8, 0},
    {IT::kVariable, "fieldid", 102, F::kU16, 0},
    {IT::kVariable, "controlsize", 104, F::kU32, 0},
    {IT::kVariable, "min", 108, F::kText8, 0},
    {IT::kVariable, "max", 116, F::kText8, 0},
    {IT::kVariable, "controlchar", 124, F::kString, iflag::kOwnControlChar},
    {IT::kVariable, "reserved128", 128, F::kU32, 0},
    {IT::kVariable, "reserved132", 132, F::kU32, 0},
};

constexpr uint16_t kBaseRefs[] = {base::kName, base::kDdfName, base::kHeader, base::kDesc};
constexpr uint16_t kDicoRefs[] = {base::kName, base::kDdfName, base::kHeader, base::kDesc, 68};
constexpr uint16_t kRubricRefs[] = {base::kName, base::kDdfName, base::kHeader, base::kDesc, 83};
constexpr uint16_t kSegmentRefs[] = {base::kName, base::kDdfName, base::kHeader, base::kDesc, 71};
constexpr uint16_t kVariableRefs[] = {base::kName, base::kDdfName, base::kHeader, base::kDesc,
                                      67, 71, 75, 85, 95, 124};

constexpr const char* kBuiltins[kBuiltinStringCount] = {
    "Les donn\xE9\x65s", "Lesdonnees", "Lesdonnes", "Les extensions", "Lesextensions",
    "Les variables", "Lesvariables", "Les clefs", "Lesclefs", "Les liens", "Lesliens", "Dico",
    "Systeme", "Syst\xE8me", "Date", "Heure", "Page", "Utilisateur", "Code", "Nom", "Filler"};

constexpr const char* kClassCodes[] = {"Bd", "DialogBox", "Buffer", "Calc", "Recap",
                                       "System", "VarCallBack", "Extension"};

}  // namespace

const KindInfo& GetKindInfo(int kind) { return kKinds[static_cast<size_t>(kind)]; }

uint32_t ImageSizeForLevel(int kind, int level) {
  uint32_t class_part = GetKindInfo(kind).image_size - kBaseSize;
  // The root's native language (its last two bytes) came with level 11.
  if (kind == kDico && level < 11) class_part -= 2;
  return HeaderSizeForLevel(level) + class_part;
}

int ArrayCountForLevel(int level) {
  // Levels 2 and 3 lack the last arrays; the earliest levels 0 and 1, like
  // every later one, hold all of them.
  if (level == 2) return 26;
  if (level == 3) return 27;
  return kKindCount;
}

uint32_t HeaderSizeForLevel(int level) {
  if (level <= 5) return 56;
  if (level <= 10) return 64;
  return kBaseSize;
}

int KindFromNodeName(std::string_view node_name) {
  for (int k = 0; k < kKindCount; ++k) {
    if (node_name == kKinds[static_cast<size_t>(k)].node_name) return k;
  }
  return -1;
}

bool IsContainerKind(int kind) { return kind >= kRubricTable && kind <= kDialogBox; }

std::span<const FieldDesc> ClassFields(ImageType type) {
  switch (type) {
    case IT::kDico: return kDicoFields;
    case IT::kRubricTable: return kRubricFields;
    case IT::kLink: return kLinkFields;
    case IT::kSubLink: return kSubLinkFields;
    case IT::kVarPerso: return kVarPersoFields;
    case IT::kVarStruct: return kVarStructFields;
    case IT::kVarArray: return kVarArrayFields;
    case IT::kSegment: return kSegmentFields;
    case IT::kVariable: return kVariableFields;
    case IT::kPlain: break;
  }
  return {};
}

std::span<const uint16_t> StringRefOffsets(ImageType type) {
  switch (type) {
    case IT::kDico: return kDicoRefs;
    case IT::kRubricTable: return kRubricRefs;
    case IT::kSegment: return kSegmentRefs;
    case IT::kVariable: return kVariableRefs;
    default: return kBaseRefs;
  }
}

const char* BuiltinString(int number) {
  if (number < 0 || number >= kBuiltinStringCount) return nullptr;
  return kBuiltins[number];
}

int32_t BuiltinStringRef(std::string_view text) {
  for (int i = 0; i < kBuiltinStringCount; ++i) {
    if (text == kBuiltins[i]) return -2 - i;
  }
  return 0;
}

const char* ClassCodeName(uint32_t code) { return code < 8 ? kClassCodes[code] : nullptr; }

}  // namespace tavelnor::dico
