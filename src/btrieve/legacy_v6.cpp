// The 6.0/6.1 header: a pair of header pages (the one with the higher usage
// count is current), page allocation tables in pairs mapping logical pages to
// physical ones, keys through the key attribute table, and collating
// sequences on pages of their own. Every page the reader uses must name
// itself (type and logical number) as the current table says; anything else
// is damage, not something to work around. Pages are 512 to 4096 bytes in
// steps of 512; everything below is in terms of the page size.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "btrieve/legacy_reader.h"

namespace tavelnor::btrieve::legacy {

namespace {

// From the 31st table group on (physical page 2 + 30 x page size / 4), one
// source reports physical pages shifted by 4096 bytes; unconfirmed, so files
// whose logical pages need a 31st group, or whose tables map a page there,
// are refused. At 512-byte pages that point is under 2 MiB into the file.
constexpr uint32_t kMaxTableGroups = 30;

// A collating-sequence page holds its block after the page header.
static_assert(kPageHeader + kAcsBlockSize <= 512);

std::string BeyondGroups(const std::string& what, uint32_t ps) {
  const uint64_t from = (2 + uint64_t{kMaxTableGroups} * (ps / 4)) * ps;
  return what + " beyond " + std::to_string(kMaxTableGroups) + " page-allocation groups (past " +
         std::to_string(from / 1024) + " KiB at " + std::to_string(ps) +
         "-byte pages), where the page layout is unverified";
}

std::string Hex16(uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

// The current page of a pair by its 32-bit usage count; null when equal.
const uint8_t* CurrentOfPair(const uint8_t* a, const uint8_t* b) {
  uint32_t ua = LoadLE32(a + 4);
  uint32_t ub = LoadLE32(b + 4);
  if (ua == ub) return nullptr;
  return ua > ub ? a : b;
}

bool IsTablePage(uint32_t physical, uint32_t stride) {
  return physical >= 2 && (physical - 2) % stride < 2;
}

// Reads the current copy of every table pair into out->logical_*.
int ReadPageTables(std::span<const uint8_t> file, Layout* out, std::string* reason) {
  const uint32_t ps = out->spec.page_size;
  const uint32_t stride = ps / 4;
  const uint32_t per_table = stride - 2;
  const uint32_t logical_pages = out->info.page_count;
  const uint64_t file_pages = file.size() / ps;
  if (logical_pages > file_pages) {
    return Refuse(kIoError, "the header counts more pages than the file holds", reason);
  }
  uint32_t groups = logical_pages <= 1 ? 1 : (logical_pages - 2) / per_table + 1;
  if (groups > kMaxTableGroups) {
    return Refuse(kIoError, BeyondGroups("the file's " + std::to_string(logical_pages) +
                                             " logical pages reach",
                                         ps),
                  reason);
  }
  const uint64_t first_unverified = 2 + uint64_t{kMaxTableGroups} * stride;
  out->logical_physical.assign(logical_pages, kNone);
  out->logical_type.assign(logical_pages, kPageFree);
  for (uint32_t g = 0; g < groups; ++g) {
    uint64_t first = 2 + uint64_t{g} * stride;
    if (first + 2 > file_pages) {
      return Refuse(kIoError, "page-allocation table " + std::to_string(g + 1) + " missing",
                    reason);
    }
    const uint8_t* a = file.data() + first * ps;
    const uint8_t* b = a + ps;
    if (a[0] != 'P' || a[1] != 'P' || b[0] != 'P' || b[1] != 'P') {
      return Refuse(kIoError,
                    "page-allocation table " + std::to_string(g + 1) + " not where expected",
                    reason);
    }
    const uint8_t* table = CurrentOfPair(a, b);
    if (!table) {
      return Refuse(kIoError, "both copies of a page-allocation table have the same usage count",
                    reason);
    }
    for (uint32_t n = 0; n < per_table; ++n) {
      uint64_t logical = uint64_t{g} * per_table + n + 1;
      if (logical >= logical_pages) break;
      PageRef ref = LoadPageRef(table + 8 + 4 * n);
      out->logical_physical[logical] = ref.page;
      out->logical_type[logical] = ref.type;
    }
  }
  // Pages the reader uses: inside the file, not a header or table page, used
  // once, and naming themselves as the table does.
  std::vector<uint8_t> used(static_cast<size_t>(file_pages), 0);
  for (uint32_t logical = 1; logical < logical_pages; ++logical) {
    uint8_t type = out->logical_type[logical];
    if (type != kPageData && type != kPageVariable && type != kPageAcs) continue;
    uint32_t physical = out->logical_physical[logical];
    std::string where = "logical page " + std::to_string(logical);
    if (physical >= first_unverified && physical < file_pages) {
      return Refuse(kIoError, BeyondGroups(where + " lies", ps), reason);
    }
    if (physical >= file_pages || physical < 2 || IsTablePage(physical, stride)) {
      return Refuse(kIoError, where + " maps outside the file's pages", reason);
    }
    if (used[physical]++) return Refuse(kIoError, where + " shares its page", reason);
    const uint8_t* page = file.data() + size_t{physical} * ps;
    PageRef self = LoadPageRef(page);
    if (self.page != logical || self.type != type) {
      return Refuse(kIoError, where + " does not carry its own reference", reason);
    }
    bool data_bit = (LoadLE16(page + 4) & kDataPageBit) != 0;
    if (data_bit != (type == kPageData)) {
      return Refuse(kIoError, where + " has a wrong usage word", reason);
    }
    if (type == kPageData) {
      out->data_physical.push_back(physical);
      out->data_logical.push_back(logical);
    }
  }
  return kOk;
}

int ReadAcsPages(std::span<const uint8_t> file, Layout* out, std::vector<uint32_t>* pages,
                 std::string* reason) {
  const uint32_t ps = out->spec.page_size;
  for (uint32_t logical = 1; logical < out->logical_type.size(); ++logical) {
    if (out->logical_type[logical] != kPageAcs) continue;
    const uint8_t* page = file.data() + size_t{out->logical_physical[logical]} * ps;
    if (page[kPageHeader] != kAcsMark) {
      return Refuse(kIoError, "locale or international collating sequences are not supported",
                    reason);
    }
    std::array<uint8_t, kAcsBlockSize> block;
    std::copy_n(page + kPageHeader, kAcsBlockSize, block.begin());
    out->spec.acs.push_back(block);
    pages->push_back(logical);
  }
  return kOk;
}

}  // namespace

int ParseV6(std::span<const uint8_t> file, Layout* out, std::string* reason) {
  const uint16_t ps = LoadLE16(file.data() + kFcrPageSize);
  if (ps == 0 || ps % 512 != 0 || ps > 4096) {
    // Later formats keep the page size elsewhere: judge by the version first.
    const uint16_t first_version = LoadLE16(file.data() + kFcrVersion6);
    if (first_version != kVersion60 && first_version != kVersion61) {
      return Refuse(kNotOurFile, "file format " + Hex16(first_version) + " is not read", reason);
    }
    return Refuse(kIoError, "page size " + std::to_string(ps) + " is not valid", reason);
  }
  if (file.size() < size_t{4} * ps) return Refuse(kIoError, "the file is cut short", reason);
  const uint8_t* second = file.data() + ps;
  if (std::memcmp(second, "FC\0\0", 4) != 0 || LoadLE16(second + kFcrPageSize) != ps) {
    return Refuse(kIoError, "the second header page is damaged", reason);
  }
  const uint8_t* fcr = CurrentOfPair(file.data(), second);
  if (!fcr) {
    return Refuse(kIoError, "both header pages have the same usage count", reason);
  }
  const uint16_t version = LoadLE16(fcr + kFcrVersion6);
  if (version != kVersion60 && version != kVersion61) {
    return Refuse(kNotOurFile, "file format " + Hex16(version) + " is not read", reason);
  }
  if (LoadLE16(fcr + kFcrAccel) != 0) {
    return Refuse(kIoError, "header flags at 0x0A are set; their meaning is unknown", reason);
  }
  // An owner name set with encryption leaves no page-allocation table
  // readable; without encryption the file reads as any other.
  const bool owned = OwnerNameSet(fcr);
  const uint8_t* table = file.data() + size_t{2} * ps;
  if (owned && !(table[0] == 'P' && table[1] == 'P') && !(table[ps] == 'P' && table[ps + 1] == 'P')) {
    return RefuseEncrypted(reason);
  }
  const uint16_t flags = LoadLE16(fcr + kFcrFlags);
  if (int st = CheckFileFlags(flags, fcr[kFcrVariable], reason); st != kOk) return st;

  out->v6 = true;
  out->usage_bytes = 2;
  LegacyInfo& info = out->info;
  info.major = 6;
  info.format_level = version == kVersion61 ? 1 : 0;
  info.version_word = static_cast<int16_t>(version);
  info.owner_protected = owned;
  info.page_size = ps;
  info.page_count = LoadSwapped(fcr + kFcrPages);
  info.file_size = file.size();
  info.record_count = LoadSwapped(fcr + kFcrRecords);
  info.physical_length = LoadLE16(fcr + kFcrPhysicalLength);
  FileSpec& spec = out->spec;
  spec.record_length = LoadLE16(fcr + kFcrRecordLength);
  spec.page_size = ps;
  spec.version = static_cast<uint8_t>(version >> 4);
  spec.flags = flags;
  if (spec.record_length == 0) return Refuse(kIoError, "record length 0", reason);

  if (int st = ReadPageTables(file, out, reason); st != kOk) return st;
  std::vector<uint32_t> acs_pages;
  if (int st = ReadAcsPages(file, out, &acs_pages, reason); st != kOk) return st;

  const std::span<const uint8_t> page(fcr, ps);
  const uint16_t keys = LoadLE16(fcr + kFcrKeys);
  const uint16_t kat = LoadLE16(fcr + kFcrKatOffset);
  if (keys > kMaxKeys || fcr[kFcrKatEntries] != keys || (keys && size_t{kat} + 2u * keys > ps)) {
    return Refuse(kIoError, "the key attribute table is damaged", reason);
  }
  for (int k = 0; k < keys; ++k) {
    size_t end = 0;
    int st = ReadKey(page, LoadLE16(fcr + kat + 2 * k), k, acs_pages, out, &end, reason);
    if (st != kOk) return st;
  }
  return CheckRecordLayout(page, out, reason);
}

}  // namespace tavelnor::btrieve::legacy
