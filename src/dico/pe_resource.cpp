// Resource lookup in, and construction of, Windows modules; see pe_resource.h.
//
// The reader trusts nothing in the file: every read goes through ByteReader,
// every count is checked against the bytes that remain, and the walk reads
// exactly one directory per tree level (three in all), so a tree whose
// entries point back at themselves ends with an error instead of a loop.
#include "dico/pe_resource.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "foundation/byte_reader.h"

namespace tavelnor::dico {
namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr size_t kDirectoryHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kSectionHeaderSize = 40;

std::string Hex(uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
  return buf;
}

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

Status Damaged(const std::string& what, uint64_t offset) {
  return Status::Corrupt("module damaged at offset " + Hex(offset) + ": " + what);
}

struct Section {
  uint32_t rva;
  uint32_t raw_size;
  uint32_t raw_offset;
};

class PeReader {
 public:
  explicit PeReader(std::span<const uint8_t> module) : module_(module) {}

  Result<PeResource> Find(std::u16string_view type, std::u16string_view name) {
    if (Status s = ReadHeaders(); !s.ok()) return s;
    Result<uint32_t> type_dir = FindNamed(0, type, "type");
    if (!type_dir.ok()) return type_dir.status();
    Result<uint32_t> name_dir = FindNamed(*type_dir, name, "name");
    if (!name_dir.ok()) {
      if (name_dir.status().code() != Status::Code::kNotFound) return name_dir.status();
      return Status::NotFound("module has no resource \"" + Narrow(name) + "\" of type \"" +
                              Narrow(type) + "\"");
    }
    return ReadFirstLanguage(*name_dir);
  }

 private:
  Status ReadHeaders() {
    ByteReader r(module_);
    uint16_t mz = 0;
    uint32_t pe_offset = 0;
    if (!r.ReadU16(&mz) || mz != 0x5A4D) return Damaged("no \"MZ\" header", 0);
    if (!r.Seek(0x3C) || !r.ReadU32(&pe_offset)) return Damaged("DOS header cut short", 0);
    uint32_t signature = 0;
    if (!r.Seek(pe_offset) || !r.ReadU32(&signature)) {
      return Damaged("PE header offset " + Hex(pe_offset) + " beyond the end", 0x3C);
    }
    if (signature != 0x00004550) return Damaged("no \"PE\" signature", pe_offset);
    uint16_t section_count = 0, optional_size = 0;
    if (!r.Skip(2) || !r.ReadU16(&section_count) || !r.Skip(12) || !r.ReadU16(&optional_size) ||
        !r.Skip(2)) {
      return Damaged("COFF header cut short", pe_offset + 4);
    }
    const size_t optional = r.Offset();
    uint16_t magic = 0;
    if (!r.ReadU16(&magic)) return Damaged("optional header cut short", optional);
    size_t count_at = 0;
    if (magic == kPe32Magic) {
      count_at = 92;
    } else if (magic == kPe32PlusMagic) {
      count_at = 108;
    } else {
      return Damaged("unknown optional header magic " + Hex(magic), optional);
    }
    uint32_t directory_count = 0;
    const size_t directory_at = optional + count_at + 4 + kResourceDirectoryIndex * 8;
    const bool has_directory = optional_size >= count_at + 4 + (kResourceDirectoryIndex + 1) * 8;
    if (has_directory) {
      if (!r.Seek(optional + count_at) || !r.ReadU32(&directory_count)) {
        return Damaged("optional header cut short", optional);
      }
    }
    if (!has_directory || directory_count <= kResourceDirectoryIndex) {
      return Status::NotFound("module has no resource table");
    }
    uint32_t rsrc_rva = 0, rsrc_size = 0;
    if (!r.Seek(directory_at) || !r.ReadU32(&rsrc_rva) || !r.ReadU32(&rsrc_size)) {
      return Damaged("data directories cut short", directory_at);
    }
    if (rsrc_rva == 0 || rsrc_size == 0) return Status::NotFound("module has no resource table");

    const size_t table = optional + optional_size;
    if (!r.Seek(table) || r.Remaining() / kSectionHeaderSize < section_count) {
      return Damaged("section table cut short", table);
    }
    sections_.reserve(section_count);
    for (uint16_t i = 0; i < section_count; ++i) {
      Section s{};
      (void)r.Skip(12);
      (void)r.ReadU32(&s.rva);
      (void)r.ReadU32(&s.raw_size);
      (void)r.ReadU32(&s.raw_offset);
      (void)r.Skip(16);
      sections_.push_back(s);
    }
    size_t rsrc_offset = 0, rsrc_extent = 0;
    if (!Map(rsrc_rva, 1, &rsrc_offset, &rsrc_extent)) {
      return Damaged("resource table RVA " + Hex(rsrc_rva) + " lies in no section", directory_at);
    }
    rsrc_base_ = rsrc_offset;
    rsrc_ = module_.subspan(rsrc_offset, rsrc_extent);
    return Status::Ok();
  }

  // Maps `size` bytes at `rva` to a file offset inside one section's raw
  // data; `*extent` receives the bytes available from there to the section's
  // end (or the file's end, whichever comes first).
  bool Map(uint32_t rva, uint32_t size, size_t* offset, size_t* extent) const {
    for (const Section& s : sections_) {
      if (rva < s.rva || rva - s.rva >= s.raw_size) continue;
      const uint64_t start = uint64_t{s.raw_offset} + (rva - s.rva);
      const uint64_t end = std::min<uint64_t>(uint64_t{s.raw_offset} + s.raw_size, module_.size());
      if (start >= end || end - start < size) return false;
      *offset = static_cast<size_t>(start);
      *extent = static_cast<size_t>(end - start);
      return true;
    }
    return false;
  }

  // Reads the directory at `dir` and positions `r` on its first entry.
  Status OpenDirectory(uint32_t dir, ByteReader* r, size_t* entries) const {
    uint16_t named = 0, ids = 0;
    if (!r->Seek(dir) || !r->Skip(kDirectoryHeaderSize - 4) || !r->ReadU16(&named) ||
        !r->ReadU16(&ids)) {
      return Damaged("resource directory cut short", rsrc_base_ + dir);
    }
    *entries = size_t{named} + ids;
    if (r->Remaining() / kEntrySize < *entries) {
      return Damaged("resource directory entries cut short", rsrc_base_ + dir);
    }
    return Status::Ok();
  }

  // Compares the length-prefixed UTF-16LE name at `at` with `want`, ignoring case.
  Result<bool> NameEquals(uint32_t at, std::u16string_view want) const {
    ByteReader r(rsrc_);
    uint16_t length = 0;
    if (!r.Seek(at) || !r.ReadU16(&length) || r.Remaining() / 2 < length) {
      return Damaged("resource name cut short", rsrc_base_ + at);
    }
    if (length != want.size()) return false;
    for (char16_t c : want) {
      uint16_t got = 0;
      (void)r.ReadU16(&got);
      if (FoldResourceChar(static_cast<char16_t>(got)) != FoldResourceChar(c)) return false;
    }
    return true;
  }

  // Finds the named entry `want` in the directory at `dir`; answers the
  // offset of the subdirectory it leads to.
  Result<uint32_t> FindNamed(uint32_t dir, std::u16string_view want, const char* level) const {
    ByteReader r(rsrc_);
    size_t entries = 0;
    if (Status s = OpenDirectory(dir, &r, &entries); !s.ok()) return s;
    for (size_t i = 0; i < entries; ++i) {
      const size_t entry_at = r.Offset();
      uint32_t id = 0, target = 0;
      (void)r.ReadU32(&id);
      (void)r.ReadU32(&target);
      if (!(id & kHighBit)) continue;
      Result<bool> same = NameEquals(id & ~kHighBit, want);
      if (!same.ok()) return same.status();
      if (!*same) continue;
      if (!(target & kHighBit)) {
        return Damaged(std::string("resource ") + level + " entry leads to data, not a directory",
                       rsrc_base_ + entry_at);
      }
      return target & ~kHighBit;
    }
    return Status::NotFound(std::string("module has no resource ") + level + " \"" + Narrow(want) +
                            "\"");
  }

  Result<PeResource> ReadFirstLanguage(uint32_t dir) const {
    ByteReader r(rsrc_);
    size_t entries = 0;
    if (Status s = OpenDirectory(dir, &r, &entries); !s.ok()) return s;
    if (entries == 0) return Damaged("resource has no language entry", rsrc_base_ + dir);
    const size_t entry_at = r.Offset();
    uint32_t id = 0, target = 0;
    (void)r.ReadU32(&id);
    (void)r.ReadU32(&target);
    if (target & kHighBit) {
      return Damaged("resource language entry leads to a directory", rsrc_base_ + entry_at);
    }
    uint32_t data_rva = 0, size = 0, code_page = 0;
    if (!r.Seek(target) || !r.ReadU32(&data_rva) || !r.ReadU32(&size) || !r.ReadU32(&code_page)) {
      return Damaged("resource data entry cut short", rsrc_base_ + target);
    }
    size_t offset = 0, extent = 0;
    if (!Map(data_rva, size, &offset, &extent)) {
      return Damaged("resource data (RVA " + Hex(data_rva) + ", " + std::to_string(size) +
                         " bytes) lies outside the file",
                     rsrc_base_ + target);
    }
    PeResource out;
    out.data = module_.subspan(offset, size);
    out.language = (id & kHighBit) ? 0 : static_cast<uint16_t>(id);
    out.code_page = code_page;
    return out;
  }

  std::span<const uint8_t> module_;
  std::vector<Section> sections_;
  std::span<const uint8_t> rsrc_;
  size_t rsrc_base_ = 0;
};

}  // namespace

char16_t FoldResourceChar(char16_t c) {
  if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
    return static_cast<char16_t>(c - 0x20);
  }
  return c;
}

bool HasModuleMark(std::span<const uint8_t> data) {
  return data.size() >= 4 && data[0] == 0x4D && data[1] == 0x5A && data[2] == 0x90 &&
         data[3] == 0x00;
}

Result<PeResource> FindPeResource(std::span<const uint8_t> module, std::u16string_view type,
                                  std::u16string_view name) {
  return PeReader(module).Find(type, name);
}

}  // namespace tavelnor::dico
