// How record fields read the dictionary's variables: the few questions that
// binding a field and filtering the fields of a record ask, answered from the
// dictionary model in this one place.
//
//  - storage mode and "kind" of a variable: its class code ("class": 0 Bd,
//    1 DialogBox, 2 Buffer, 3 Calc, 4 Recap, 5 System, 6 VarCallBack,
//    7 Extension);
//  - plain stored variable: class 0 or 7 (stored in the data file, in the
//    record or in its extension part);
//  - first address test: the variable repeats with an array of structures
//    (it lies below a structure that is an array item), so its address
//    depends on the element and is recomputed;
//  - second address test: the variable is of the call-back class, whose
//    address is asked again before every use;
//  - dictionary addressing: either address test, the DialogBox and Recap
//    classes, and offsets beyond what a 16-bit offset holds;
//  - extension fields (class 7, or below the extension title node) lie
//    after the normal record: their offset counts from its end;
//  - flag 0x100 of the flags: hidden from the exchange of a record; flag
//    0x40000: left out of the field lists; internal flag 0x80000: an overlay
//    of other fields, taking no room of its own;
//  - the two further tests of the field lists: the variable takes room in
//    the record, and it has a size;
//  - initial value: the two words after the control characters (8 bytes),
//    when they are not all zero;
//  - display defaults: the control size (else the unit size) as width, the
//    variable's precision (else the dictionary's) as decimals.
#pragma once

#include <cstdint>

#include "dico/dico_base.h"

namespace tavelnor::dico::field_model {

inline constexpr uint32_t kClassBd = 0;
inline constexpr uint32_t kClassDialogBox = 1;
inline constexpr uint32_t kClassCalc = 3;
inline constexpr uint32_t kClassRecap = 4;
inline constexpr uint32_t kClassCallBack = 6;
inline constexpr uint32_t kClassExtension = 7;

inline constexpr uint32_t kFlagUpperCase = 0x800;
inline constexpr uint32_t kFlagHiddenFromExchange = 0x100;
inline constexpr uint32_t kFlagNotListed = 0x40000;
inline constexpr uint32_t kInternalOverlay = 0x80000;

// Dictionary kinds that bind to a field, and the variable kinds among them.
bool IsBindable(const DDicoBase& o);
bool IsVariableKind(const DDicoBase& o);
// A field of the DVariable family (the objects that carry a value type, a
// formula, limits and an initial value).
bool IsValueVariable(const DDicoBase& o);

uint32_t StorageMode(const DDicoBase& v);
bool IsPlainStored(const DDicoBase& v);
bool RepeatsWithStructure(const DDicoBase& v);  // first address test
bool IsCallBack(const DDicoBase& v);            // second address test
bool InExtension(const DDicoBase& v);
bool DictionaryAddressing(const DDicoBase& v);
bool TakesRoom(const DDicoBase& v);
bool HasSize(const DDicoBase& v);

// The type code and size a field of `v` takes (-1 for objects without a
// value type of their own: structures, arrays, user areas).
int16_t FieldTypeCode(const DDicoBase& v);
int32_t FieldSize(const DDicoBase& v);
// The offset of element 0 from the record's start (segments and link
// parts: their position in the record; extension fields: past the record).
int32_t FieldOffset(const DDicoBase& v);
// How many elements a field of `v` has: its own item count times the items
// of the structure array it repeats with.
uint32_t ElementCount(const DDicoBase& v);
// The address of element `index` for a record at `base`; null when the
// variable has no bytes of its own or `base` is null.
uint8_t* ElementAddress(const DDicoBase& v, uint8_t* base, uint32_t index);

// The variable's 8-byte initial value; null when it has none.
const uint8_t* InitialValue(const DDicoBase& v);
int32_t DisplayWidth(const DDicoBase& v);
int32_t DisplayDecimals(const DDicoBase& v);

}  // namespace tavelnor::dico::field_model
