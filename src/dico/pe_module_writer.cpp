// Construction of a resource-only 32-bit Windows library; see pe_resource.h.
//
// File layout produced:
//
//   file offset  RVA     content
//   0x000        -       DOS header (4D 5A 90 00 ...), e_lfanew = 0x80
//   0x040        -       DOS stub printing a notice and exiting
//   0x080        -       "PE\0\0", COFF header (i386, 1 section, DLL)
//   0x098        -       PE32 optional header, 16 data directories
//   0x178        -       section header ".rsrc"
//   0x200        0x1000  .rsrc: type, name and language directories, one data
//                        entry, the two names, the resource bytes (8-aligned)
//
// No code, no imports, no relocations (nothing needs fixing up) and a zero
// time stamp, so the same input always gives the same bytes.
#include <stdexcept>

#include "dico/pe_resource.h"
#include "foundation/byte_reader.h"

namespace tavelnor::dico {
namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kOptionalHeaderSize = 0xE0;
constexpr uint32_t kOptionalHeaderAt = kPeOffset + 24;
constexpr uint32_t kSectionTableAt = kOptionalHeaderAt + kOptionalHeaderSize;
constexpr uint32_t kHeadersSize = kFileAlignment;
constexpr uint32_t kRsrcRva = kSectionAlignment;
constexpr uint32_t kImageBase = 0x10000000;
constexpr size_t kMaxData = size_t{1} << 30;
constexpr uint32_t kHighBit = 0x80000000u;
static_assert(kSectionTableAt + 40 <= kHeadersSize, "headers must fit before the section");

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

void DosHeader(ByteWriter& w) {
  // MZ header of a small real-mode program: 3 pages, 0x90 bytes in the last,
  // a 4-paragraph header, relocation table at 0x40, stack at 0xB8.
  const uint16_t fields[] = {0x5A4D, 0x0090, 3, 0, 4, 0, 0xFFFF, 0, 0x00B8, 0, 0, 0, 0x0040};
  for (uint16_t f : fields) w.U16(f);
  w.Zeros(0x3C - w.Size());
  w.U32(kPeOffset);
  // push cs; pop ds; mov dx, 0Eh; mov ah, 9; int 21h; mov ax, 4C01h; int 21h
  const uint8_t stub[] = {0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09,
                          0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
  w.Bytes(stub, sizeof stub);
  w.Text("This program cannot be run in DOS mode.\r\r\n$");
  w.Zeros(kPeOffset - w.Size());
}

void WriteName(ByteWriter& w, std::u16string_view name) {
  w.U16(static_cast<uint16_t>(name.size()));
  for (char16_t c : name) w.U16(FoldResourceChar(c));
}

// The .rsrc section content, addressed from RVA kRsrcRva.
std::vector<uint8_t> ResourceSection(std::u16string_view type, std::u16string_view name,
                                     uint16_t lang, std::span<const uint8_t> data) {
  constexpr uint32_t kNameDir = 0x18, kLangDir = 0x30, kDataEntry = 0x48, kStrings = 0x58;
  const uint32_t name_at = kStrings + 2 + static_cast<uint32_t>(type.size()) * 2;
  const uint32_t data_at = AlignUp(name_at + 2 + static_cast<uint32_t>(name.size()) * 2, 8);
  auto directory = [](ByteWriter& w, uint16_t named, uint16_t ids) {
    w.U32(0);  // characteristics
    w.U32(0);  // time stamp
    w.U32(0);  // major, minor version
    w.U16(named);
    w.U16(ids);
  };
  ByteWriter w;
  directory(w, 1, 0);
  w.U32(kHighBit | kStrings);
  w.U32(kHighBit | kNameDir);
  directory(w, 1, 0);
  w.U32(kHighBit | name_at);
  w.U32(kHighBit | kLangDir);
  directory(w, 0, 1);
  w.U32(lang);
  w.U32(kDataEntry);
  w.U32(kRsrcRva + data_at);
  w.U32(static_cast<uint32_t>(data.size()));
  w.U32(0);  // code page
  w.U32(0);  // reserved
  WriteName(w, type);
  WriteName(w, name);
  w.Zeros(data_at - w.Size());
  w.Bytes(data);
  return w.Take();
}

// The checksum of the optional header: 16-bit one's-complement-style sum of
// the file with the checksum field itself counted as zero, plus the length.
uint32_t PeChecksum(const std::vector<uint8_t>& file, size_t checksum_at) {
  uint64_t sum = 0;
  for (size_t i = 0; i < file.size(); i += 2) {
    if (i == checksum_at || i == checksum_at + 2) continue;
    uint32_t word = file[i];
    if (i + 1 < file.size()) word |= uint32_t{file[i + 1]} << 8;
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + file.size());
}

}  // namespace

std::vector<uint8_t> BuildPeModuleWithResource(std::u16string_view type, std::u16string_view name,
                                               uint16_t lang, std::span<const uint8_t> data) {
  if (data.size() > kMaxData) throw std::length_error("resource data larger than 1 GiB");
  if (type.size() > 0xFFFF || name.size() > 0xFFFF) {
    throw std::length_error("resource name longer than 65535 characters");
  }
  const std::vector<uint8_t> rsrc = ResourceSection(type, name, lang, data);
  const auto rsrc_size = static_cast<uint32_t>(rsrc.size());
  const uint32_t raw_size = AlignUp(rsrc_size, kFileAlignment);

  ByteWriter w;
  DosHeader(w);
  w.U32(0x00004550);  // "PE\0\0"
  w.U16(0x014C);      // machine: i386
  w.U16(1);           // sections
  w.U32(0);           // time stamp
  w.U32(0);           // symbol table
  w.U32(0);           // symbols
  w.U16(kOptionalHeaderSize);
  w.U16(0x2102);  // executable image, 32-bit machine, DLL

  w.U16(0x10B);  // PE32
  w.U8(14);      // linker version
  w.U8(0);
  w.U32(0);         // size of code
  w.U32(raw_size);  // size of initialized data
  w.U32(0);         // size of uninitialized data
  w.U32(0);         // entry point: none
  w.U32(kRsrcRva);  // base of code
  w.U32(kRsrcRva);  // base of data
  w.U32(kImageBase);
  w.U32(kSectionAlignment);
  w.U32(kFileAlignment);
  for (uint16_t v : {5, 1, 0, 0, 5, 1}) w.U16(v);           // OS, image, subsystem versions
  w.U32(0);                                                 // Win32 version value
  w.U32(kRsrcRva + AlignUp(rsrc_size, kSectionAlignment));  // size of image
  w.U32(kHeadersSize);
  const size_t checksum_at = w.Size();
  w.U32(0);
  w.U16(2);       // subsystem: Windows GUI
  w.U16(0x0500);  // DLL characteristics: NX compatible, no SEH
  for (uint32_t v : {0x100000u, 0x1000u, 0x100000u, 0x1000u}) w.U32(v);  // stack, heap
  w.U32(0);                                                              // loader flags
  w.U32(16);                                                             // data directories
  for (uint32_t i = 0; i < 16; ++i) {
    w.U32(i == 2 ? kRsrcRva : 0);
    w.U32(i == 2 ? rsrc_size : 0);
  }

  w.Text(std::string_view(".rsrc\0\0\0", 8));
  w.U32(rsrc_size);  // virtual size
  w.U32(kRsrcRva);
  w.U32(raw_size);
  w.U32(kHeadersSize);  // raw data offset
  w.U32(0);             // relocations
  w.U32(0);             // line numbers
  w.U32(0);             // relocation and line-number counts
  w.U32(0x40000040);    // initialized data, readable
  w.Zeros(kHeadersSize - w.Size());

  w.Bytes(rsrc);
  w.Zeros(kHeadersSize + raw_size - w.Size());
  std::vector<uint8_t> file = w.Take();
  StoreLE32(file.data() + checksum_at, PeChecksum(file, checksum_at));
  return file;
}

}  // namespace tavelnor::dico
