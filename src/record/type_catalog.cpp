// The type catalog rows and the per-code descriptor table.
#include "record/type_catalog.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace tavelnor::record {
namespace {

// Sorted by code. Labels are Windows-1252.
constexpr TypeDescRow kRows[] = {
    // code, type name, label,
    // category, general type, dynamic, fixed array, sortable, property 7
    {TYPE_ZSTRING, "char *", "Cha\356ne de caract\350res",
     25, 25, false, true, true, true},
    {TYPE_LONG, "long", "Entier (32 bits)",
     26, 2, false, false, true, true},
    {TYPE_DOUBLE, "double", "Flottant (64 bits)",
     2, 2, false, false, true, true},
    {TYPE_DATE, "sDate", "Date",
     4, 26, false, false, true, true},
    {TYPE_TIME, "sTime", "Heure",
     5, 26, false, false, true, true},
    {TYPE_OLDBOOL, "bdBool", "Bool\351en (vieux)",
     19, 2, false, false, false, true},
    {TYPE_STR, "char *", "Cha\356ne de longueur fixe",
     25, 25, false, true, true, true},
    {TYPE_AUTRE, "char *", "Cha\356ne de caract\350res",
     25, 25, false, true, true, true},
    {TYPE_DECIMAL32, "EDecimal32", "Nombre \340 virgule fixe (32 bits)",
     29, 2, false, false, true, false},
    {TYPE_INT8, "__int8", "Petit entier (8 bits)",
     26, 2, false, false, true, true},
    {TYPE_UINT8, "unsigned __int8", "Petit entier non sign\351 (8 bits)",
     27, 2, false, false, true, false},
    {TYPE_INT16, "short", "Entier (16 bits)",
     26, 2, false, false, true, true},
    {TYPE_UINT16, "unsigned short", "Entier non sign\351 (16 bits)",
     27, 2, false, false, true, true},
    {TYPE_UINT32, "unsigned long", "Entier non sign\351 (32 bits)",
     27, 2, false, false, true, true},
    {TYPE_BOOL, "bool", "Bool\351en",
     19, 2, false, false, false, true},
    {TYPE_DECIMAL64, "EDecimal64", "Nombre \340 virgule fixe (64 bits, pr\351cision 7)",
     29, 2, false, false, true, false},
    {TYPE_CHARACTER, "char", "Caract\350re",
     25, 25, false, false, true, true},
    {TYPE_INT, "int", "Entier",
     26, 2, false, false, true, true},
    {TYPE_FLOAT, "float", "Flottant (32 bits)",
     2, 2, false, false, true, true},
    {TYPE_CSTRING, "CString", "Cha\356ne de caract\350re",
     25, 25, true, false, true, false},
    {TYPE_CHAINE, "Chaine", "Cha\356ne de caract\350re",
     25, 25, true, false, true, false},
    {TYPE_INT64, "__int64", "Entier (64 bits)",
     26, 2, false, false, true, true},
    {TYPE_UINT64, "unsigned __int64", "Entier non sign\351 (64 bits)",
     27, 2, false, false, true, true},
    {TYPE_TIMESTAMP, "ETimeStamp", "TimeStamp",
     28, 26, false, false, true, true},
    {TYPE_CURRENCY, "ECurrency", "Monnaie (64 bits, pr\351cision 4)",
     29, 2, false, false, true, true},
    {TYPE_GUID, "EGuid", "Guid",
     30, -1, false, true, false, true},
    {TYPE_BLOB, "sBlob", "Donn\351es binaires",
     32, -1, true, false, false, false},
    {TYPE_BLOBTEXT, "sBlobText", "Texte m\351mo",
     25, 25, true, false, false, true},
    {TYPE_BLOBRICHTEXT, "sBlobRichText", "Texte m\351mo RTF",
     34, 25, true, false, false, false},
    {TYPE_BLOBIMAGE, "sBlobImage", "Image",
     35, 32, true, false, false, false},
    {TYPE_BLOBSOUND, "sBlobSound", "Son",
     36, 32, true, false, false, false},
    {TYPE_BLOBVIDEO, "sBlobVideo", "Vid\351o",
     37, 32, true, false, false, false},
    {TYPE_UP_ZSTRING, "char *", "Cha\356ne de caract\350res majuscules",
     25, 25, false, true, true, true},
    {TYPE_UP_STR, "char *", "Cha\356ne de longueur fixe en majuscules",
     25, 25, false, true, true, true},
    {TYPE_NC_ZSTRING, "char *", "Cha\356ne de caract\350res SC",
     161, 25, false, true, true, true},
    {TYPE_UP_AUTRE, "char *", "Cha\356ne de caract\350res majuscules",
     25, 25, false, true, true, true},
    {TYPE_NC_STR, "char *", "Cha\356ne de longueur fixe en SC",
     161, 25, false, true, true, true},
    {TYPE_NC_AUTRE, "char *", "Cha\356ne de caract\350res SC",
     161, 25, false, true, true, true},
    {TYPE_UP_CHARACTER, "char", "Caract\350re majuscule",
     25, 25, false, false, true, true},
    {TYPE_UP_CHAINE, "Chaine", "Cha\356ne de caract\350res majuscules",
     25, 25, false, false, true, true},
    {TYPE_NC_CHARACTER, "char", "Caract\350re SC",
     161, 25, false, false, true, true},
    {TYPE_NC_CHAINE, "Chaine", "Cha\356ne de caract\350res SC",
     161, 25, false, false, true, true},
};

template <uint16_t... kCodes>
struct KindList {};

using AllKinds =
    KindList<TYPE_ZSTRING, TYPE_LONG, TYPE_DOUBLE, TYPE_DATE, TYPE_TIME, TYPE_OLDBOOL, TYPE_STR,
             TYPE_AUTRE, TYPE_DECIMAL32, TYPE_INT8, TYPE_UINT8, TYPE_INT16, TYPE_UINT16,
             TYPE_UINT32, TYPE_BOOL, TYPE_DECIMAL64, TYPE_CHARACTER, TYPE_INT, TYPE_FLOAT,
             TYPE_CSTRING, TYPE_CHAINE, TYPE_INT64, TYPE_UINT64, TYPE_TIMESTAMP, TYPE_CURRENCY,
             TYPE_GUID, TYPE_BLOB, TYPE_BLOBTEXT, TYPE_BLOBRICHTEXT, TYPE_BLOBIMAGE, TYPE_BLOBSOUND,
             TYPE_BLOBVIDEO, TYPE_UP_ZSTRING, TYPE_UP_STR, TYPE_NC_ZSTRING, TYPE_UP_AUTRE,
             TYPE_NC_STR, TYPE_NC_AUTRE, TYPE_UP_CHARACTER, TYPE_UP_CHAINE, TYPE_NC_CHARACTER,
             TYPE_NC_CHAINE>;

constexpr size_t kTableSize = TYPE_NC_CHAINE + 1;
using DescTable = std::array<const BdDynTypeDesc*, kTableSize>;

template <uint16_t kCode>
const BdDynTypeDesc* KindInstance() {
  static const BdDynTypeDescKind<kCode> instance;
  return &instance;
}

const BdDynTypeDesc& BaseDesc() {
  static const BdDynTypeDesc base;
  return base;
}

template <uint16_t... kCodes>
DescTable MakeTable(KindList<kCodes...>) {
  DescTable table;
  table.fill(&BaseDesc());
  ((table[kCodes] = KindInstance<kCodes>()), ...);
  return table;
}

}  // namespace

const TypeDescRow* FindTypeDescRow(uint32_t code) {
  auto it = std::lower_bound(std::begin(kRows), std::end(kRows), code,
                             [](const TypeDescRow& r, uint32_t c) { return r.code < c; });
  return it != std::end(kRows) && it->code == code ? it : nullptr;
}

const BdDynTypeDesc* GetTypeDesc(uint32_t code) {
  // Every descriptor is built once, on first use, and lives until exit.
  static const DescTable table = MakeTable(AllKinds{});
  if (code < kTableSize) return table[code];
  return &BaseDesc();
}

}  // namespace tavelnor::record
