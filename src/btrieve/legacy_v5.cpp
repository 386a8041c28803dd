// The 5.x header (also written by 3.x/4.x engines): page 0 is the only
// header, page numbers are physical, page 1 holds the collating sequence
// when the file has one, and deleted slots form a chain from FCR 0x10.
#include <algorithm>
#include <cstdio>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"

namespace tavelnor::btrieve::legacy {

namespace {

std::string Hex16(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

// Whether any page after the header carries its own number, as every index,
// data and collating-sequence page of a plain file does. Encryption by the
// owner name leaves none that does.
bool SomePageNamesItself(std::span<const uint8_t> file, uint32_t page_size) {
  const size_t pages = file.size() / page_size;
  if (pages < 2) return true;  // nothing to judge by
  for (size_t p = 1; p < pages; ++p) {
    if (LoadSwapped(file.data() + p * page_size) == p) return true;
  }
  return false;
}

// Page 1 as a collating-sequence page: its own number, usage 0, then 0xAC.
bool HasAcsPage(std::span<const uint8_t> file, uint32_t page_size, uint32_t pages) {
  if (pages < 2) return false;
  const uint8_t* p = file.data() + page_size;
  return LoadSwapped(p) == 1 && LoadLE16(p + 4) == 0 && p[6] == kAcsMark;
}

// The free-slot chain: every link must be a slot of a data page; a repeated
// link is a cycle.
int ReadFreeChain(std::span<const uint8_t> file, const uint8_t* fcr, Layout* out,
                  std::string* reason) {
  const uint32_t ps = out->spec.page_size;
  const uint32_t physical = out->info.physical_length;
  const uint64_t end = uint64_t{out->info.page_count} * ps;
  uint32_t link = LoadSwapped(fcr + kFcrFreeSlot);
  while (link != kNone) {
    if (out->free_slots.size() > file.size() / physical) {
      return Refuse(kIoError, "the chain of deleted records does not end", reason);
    }
    uint32_t offset = link % ps;
    if (link < ps || link >= end || offset < kPageHeader || (offset - kPageHeader) % physical ||
        offset + physical > ps || !(LoadLE16(file.data() + (link - offset) + 4) & kDataPageBit)) {
      return Refuse(kIoError, "the chain of deleted records leaves the data pages", reason);
    }
    out->free_slots.push_back(link);
    link = LoadSwapped(file.data() + link);
  }
  std::sort(out->free_slots.begin(), out->free_slots.end());
  if (std::adjacent_find(out->free_slots.begin(), out->free_slots.end()) != out->free_slots.end()) {
    return Refuse(kIoError, "the chain of deleted records runs in a circle", reason);
  }
  return kOk;
}

}  // namespace

int ParseV5(std::span<const uint8_t> file, Layout* out, std::string* reason) {
  const uint8_t* fcr = file.data();
  const uint16_t word = LoadLE16(fcr + kFcrVersion5);
  const int16_t signed_word = static_cast<int16_t>(word);
  const uint16_t level_word = static_cast<uint16_t>(signed_word < 0 ? -signed_word : signed_word);
  const int level = level_word >> 8;
  if ((level_word & 0xFF) != 0 || level < 3 || level > 5) {
    return Refuse(kNotOurFile, "version word " + Hex16(word) + " is not a 5.x data file", reason);
  }
  const uint16_t ps = LoadLE16(fcr + kFcrPageSize);
  if (ps == 0 || ps % 512 != 0 || ps > 4096) {
    return Refuse(kIoError, "page size " + std::to_string(ps) + " is not valid", reason);
  }
  if (file.size() < ps) return Refuse(kIoError, "the header page is cut short", reason);
  // A negative version word says an owner name is set. Without encryption
  // the pages stay plain and the file reads without the name (the reader
  // never writes); with it, nothing past the header can be read.
  if (signed_word < 0 && !SomePageNamesItself(file, ps)) return RefuseEncrypted(reason);
  if (LoadLE16(fcr + kFcrAccel) != 0) {
    return Refuse(kIoError, "header flags at 0x0A are set; their meaning is unknown", reason);
  }
  if (LoadLE16(fcr + kFcrRecovery5) == 0xFFFF) {
    return Refuse(kIoError, "the file is marked inconsistent and needs recovery", reason);
  }
  const uint16_t flags = LoadLE16(fcr + kFcrFlags);
  if (int st = CheckFileFlags(flags, fcr[kFcrVariable], reason); st != kOk) return st;

  LegacyInfo& info = out->info;
  info.major = 5;
  info.format_level = level;
  info.version_word = signed_word;
  info.owner_protected = signed_word < 0;
  info.page_size = ps;
  info.page_count = LoadSwapped(fcr + kFcrPages);
  info.file_size = file.size();
  info.record_count = LoadSwapped(fcr + kFcrRecords);
  info.physical_length = LoadLE16(fcr + kFcrPhysicalLength);
  if (info.page_count == 0 || uint64_t{info.page_count} * ps > file.size()) {
    return Refuse(
        kIoError,
        "the header counts " + std::to_string(info.page_count) + " pages; the file is shorter",
        reason);
  }
  FileSpec& spec = out->spec;
  spec.record_length = LoadLE16(fcr + kFcrRecordLength);
  spec.page_size = ps;
  spec.version = 0x50;
  spec.flags = flags;
  if (spec.record_length == 0) return Refuse(kIoError, "record length 0", reason);
  if (info.physical_length == 0) return Refuse(kIoError, "record slot size 0", reason);

  std::vector<uint32_t> acs_pages;
  if (HasAcsPage(file, ps, info.page_count)) {
    std::array<uint8_t, kAcsBlockSize> block;
    std::copy_n(file.data() + ps + kPageHeader, kAcsBlockSize, block.begin());
    spec.acs.push_back(block);
    acs_pages.push_back(1);
  }
  const uint16_t keys = LoadLE16(fcr + kFcrKeys);
  if (keys > kMaxKeys) return Refuse(kIoError, "more keys than a file can hold", reason);
  const std::span<const uint8_t> page0 = file.first(ps);
  size_t offset = kFirstDescriptor;
  for (int k = 0; k < keys; ++k) {
    if (int st = ReadKey(page0, offset, k, acs_pages, out, &offset, reason); st != kOk) {
      return st;
    }
  }
  if (int st = CheckRecordLayout(page0, out, reason); st != kOk) return st;

  for (uint32_t p = 1; p < info.page_count; ++p) {
    const uint8_t* page = file.data() + size_t{p} * ps;
    if (!(LoadLE16(page + 4) & kDataPageBit)) continue;
    if (LoadSwapped(page) != p) {
      return Refuse(kIoError, "data page " + std::to_string(p) + " carries another number", reason);
    }
    out->data_physical.push_back(p);
    out->data_logical.push_back(p);
  }
  return ReadFreeChain(file, fcr, out, reason);
}

}  // namespace tavelnor::btrieve::legacy
