// Inside the reader of earlier engines' data files: the layout the
// format-specific header parsers (legacy_v5.cpp, legacy_v6.cpp) hand to the
// record collector (legacy_records.cpp), and the in-memory entry point the
// fuzz target and the tests use.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_spec.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve::legacy {

// Per key of spec.keys: where the key's duplicate-pointer pair sits in a slot
// (kNoDupPair for keys without one).
inline constexpr uint32_t kNoDupPair = 0xFFFFFFFF;

// What a header parser found. Checked before records are collected.
struct Layout {
  FileSpec spec;
  LegacyInfo info;
  bool v6 = false;
  uint32_t usage_bytes = 0;  // 6.x: 2-byte record usage count before the record
  // Data pages in address order: physical page and address base (5.x the
  // physical page, 6.x the logical page).
  std::vector<uint32_t> data_physical;
  std::vector<uint32_t> data_logical;
  // 6.x: physical page of each logical page and its type (index = logical).
  std::vector<uint32_t> logical_physical;
  std::vector<uint8_t> logical_type;
  std::vector<uint32_t> dup_offsets;
  std::vector<uint32_t> free_slots;  // 5.x: file offsets on the free chain, sorted
};

// Sets *reason and returns `status`; a one-line helper for the parsers.
int Refuse(int status, std::string text, std::string* reason);

// An owner name with encryption leaves the pages unreadable without the
// engine: whether the FCR at `fcr` names an owner, and the refusal that says
// the pages are enciphered.
bool OwnerNameSet(const uint8_t* fcr);
int RefuseEncrypted(std::string* reason);

// Header parsers: 0 with *out filled, 2 or 30 with a reason.
int ParseV5(std::span<const uint8_t> file, Layout* out, std::string* reason);
int ParseV6(std::span<const uint8_t> file, Layout* out, std::string* reason);

// Refuses file flags and record-format bytes (FCR 0x38) we cannot read.
int CheckFileFlags(uint16_t flags, uint8_t variable_byte, std::string* reason);

// Reads the key descriptors of one key starting at `offset` in the FCR page:
// segments up to the first without the segmented flag. Appends the key to
// out->spec.keys, its distinct count and its duplicate-pair offset. 6.x
// descriptors also give the key number and ACS page (acs_pages lists the
// logical ACS pages in the order of spec.acs).
int ReadKey(std::span<const uint8_t> fcr, size_t offset, int ordinal,
            const std::vector<uint32_t>& acs_pages, Layout* out, size_t* end, std::string* reason);
// Checks the key set against the record layout: physical length, flags we do
// not read, duplicate-pair places. Called once all keys are read.
int CheckRecordLayout(std::span<const uint8_t> fcr, Layout* out, std::string* reason);

// The bytes a source reads: a mapped file, or a whole image in memory.
struct FileBytes {
  std::shared_ptr<const platform::MappedFile> mapped;
  std::vector<uint8_t> image;
  std::span<const uint8_t> bytes() const;
  bool cut() const;
};

// Builds the source over a whole file image.
int OpenLegacyImage(std::vector<uint8_t> image, std::unique_ptr<LegacySource>* out,
                    std::string* reason);
int OpenLegacyBytes(FileBytes bytes, std::unique_ptr<LegacySource>* out, std::string* reason);

// Collects the live records of a checked layout (legacy_records.cpp).
int MakeSource(FileBytes bytes, Layout layout, std::unique_ptr<LegacySource>* out,
               std::string* reason);

}  // namespace tavelnor::btrieve::legacy
