// Reading and writing dictionary images section by section.
#include "dico/dico_image.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/byte_reader.h"

namespace tavelnor::dico {
namespace {

constexpr uint32_t kMinRecordHeader = 56;
constexpr uint32_t kMaxRecordHeader = 1024;
constexpr int32_t kUnsetUserId = static_cast<int32_t>(0xCDCDCDCDu);

Status Truncated(const ByteReader& r, const char* what) {
  return Status::Corrupt(std::string("dictionary image ends inside ") + what + " at offset " +
                         std::to_string(r.Offset()));
}

Status Damaged(size_t offset, const std::string& what) {
  return Status::Corrupt(what + " at offset " + std::to_string(offset));
}

Status ReadHeader(ByteReader& r, DicoHeader* h) {
  uint8_t b[4];
  if (!r.ReadBytes(4, b)) return Truncated(r, "the header");
  const bool sig_ok = (b[0] == 'D' && b[1] == '8') || (b[0] == 'E' && b[1] == 'D');
  if (!sig_ok) return Status::Unsupported("not a dictionary file (bad signature)");
  if (b[2] >= 11) return Status::Unsupported("dictionary version byte " + std::to_string(b[2]));
  h->signature[0] = b[0];
  h->signature[1] = b[1];
  h->version_byte = b[2];
  h->level = b[3];
  if (!r.ReadU32(&h->version_system)) return Truncated(r, "the header");
  h->version_user = 0;
  if (h->level >= 8 && !r.ReadU32(&h->version_user)) return Truncated(r, "the header");
  return Status::Ok();
}

// Converts `count` images of `stored` bytes into current-size images.
void ConvertImages(std::span<const uint8_t> src, uint32_t count, uint32_t stored,
                   uint32_t header, uint32_t current, std::vector<uint8_t>* out) {
  out->assign(static_cast<size_t>(count) * current, 0);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* s = src.data() + static_cast<size_t>(i) * stored;
    uint8_t* d = out->data() + static_cast<size_t>(i) * current;
    if (header == kBaseSize) {
      std::memcpy(d, s, std::min(stored, current));
      continue;
    }
    std::memcpy(d, s, std::min({header, stored, current}));
    if (stored > header) {
      const uint32_t tail = std::min(stored - header, current - kBaseSize);
      std::memcpy(d + kBaseSize, s + header, tail);
    }
  }
}

Status ReadArrays(ByteReader& r, int level, bool in_place, const uint8_t* start, DicoImage* img) {
  const int n = ArrayCountForLevel(level);
  std::array<uint32_t, kKindCount> counts{};
  for (int k = 0; k < n; ++k) {
    if (level <= 10) {
      uint16_t c;
      if (!r.ReadU16(&c)) return Truncated(r, "the element counts");
      counts[static_cast<size_t>(k)] = c;
    } else if (!r.ReadU32(&counts[static_cast<size_t>(k)])) {
      return Truncated(r, "the element counts");
    }
  }
  for (int k = 0; k < n; ++k) {
    const uint32_t count = counts[static_cast<size_t>(k)];
    if (count == 0) continue;
    const size_t at = r.Offset();
    uint32_t size;
    if (!r.ReadU32(&size)) return Truncated(r, "an element size");
    if (size < img->record_header_size) {
      return Damaged(at, "element size " + std::to_string(size) + " of array " +
                             std::to_string(k) + " is smaller than a record header");
    }
    const uint64_t bytes = static_cast<uint64_t>(count) * size;
    std::span<const uint8_t> src;
    if (bytes > r.Remaining() || !r.ReadSpan(static_cast<size_t>(bytes), &src)) {
      return Damaged(at, "array " + std::to_string(k) + " of " + std::to_string(count) +
                             " elements of " + std::to_string(size) +
                             " bytes runs past the end of the image");
    }
    const uint32_t current = GetKindInfo(k).image_size;
    auto& dst = img->arrays[static_cast<size_t>(k)];
    if (size == current && img->record_header_size == kBaseSize && in_place) {
      img->in_place[static_cast<size_t>(k)] = {true, static_cast<size_t>(src.data() - start), count};
    } else if (size == current && img->record_header_size == kBaseSize) {
      dst.assign(src.begin(), src.end());
    } else {
      ConvertImages(src, count, size, img->record_header_size, current, &dst);
    }
  }
  return Status::Ok();
}

Status ReadCategories(ByteReader& r, int level, DicoImage* img) {
  uint32_t count;
  if (!r.ReadU32(&count)) return Truncated(r, "the category count");
  uint32_t entry = kOldCategorySize;
  const size_t at = r.Offset();
  if (level >= 5 && count > 0 && !r.ReadU32(&entry)) return Truncated(r, "the category size");
  if (level >= 5 && count == 0) {
    // An empty table may or may not carry its entry size; take it when present.
    uint32_t ignored;
    if (r.Remaining() >= 4) (void)r.ReadU32(&ignored);
    return Status::Ok();
  }
  if (entry < kOldCategorySize) {
    return Damaged(at, "category entry size " + std::to_string(entry) + " is too small");
  }
  const uint64_t bytes = static_cast<uint64_t>(count) * entry;
  std::span<const uint8_t> src;
  if (bytes > r.Remaining() || !r.ReadSpan(static_cast<size_t>(bytes), &src)) {
    return Damaged(at, std::to_string(count) + " categories run past the end of the image");
  }
  img->categories.assign(static_cast<size_t>(count) * kCategorySize, 0);
  const uint32_t keep = std::min(entry, kCategorySize);
  for (uint32_t i = 0; i < count; ++i) {
    std::memcpy(img->categories.data() + static_cast<size_t>(i) * kCategorySize,
                src.data() + static_cast<size_t>(i) * entry, keep);
  }
  return Status::Ok();
}

}  // namespace

Status ParseDicoHeader(std::span<const uint8_t> bytes, DicoHeader* header) {
  ByteReader r(bytes);
  return ReadHeader(r, header);
}

Result<DicoImage> ParseDicoImage(std::span<const uint8_t> bytes, ParseOptions options) {
  ByteReader r(bytes);
  DicoImage img;
  if (Status s = ReadHeader(r, &img.header); !s.ok()) return s;
  // Every level is read; only the version byte is refused.
  const int level = img.header.level;
  if (!r.ReadU32(&img.last_id)) return Truncated(r, "the header words");
  img.lowest_user_id = -1;
  if (level >= 5) {
    if (!r.ReadI32(&img.lowest_user_id)) return Truncated(r, "the header words");
    if (img.lowest_user_id == kUnsetUserId) img.lowest_user_id = -1;
  }
  if (level >= 11) {
    uint32_t n;
    const size_t at = r.Offset();
    if (!r.ReadU32(&n)) return Truncated(r, "the name index");
    if (n > r.Remaining() / 8) return Damaged(at, "name index count " + std::to_string(n));
    img.name_index.reserve(n);
    for (uint32_t i = 0; i < n; ++i) {
      NameIndexEntry e;
      uint32_t len;
      if (!r.ReadI32(&e.value) || !r.ReadU32(&len)) return Truncated(r, "the name index");
      if (!r.ReadString(len, &e.name)) return Truncated(r, "a name index entry");
      img.name_index.push_back(std::move(e));
    }
  }
  img.record_header_size = HeaderSizeForLevel(level);
  if (level >= 11) {
    const size_t at = r.Offset();
    if (!r.ReadU32(&img.record_header_size)) return Truncated(r, "the record header size");
    if (img.record_header_size < kMinRecordHeader || img.record_header_size > kMaxRecordHeader) {
      return Damaged(at, "record header size " + std::to_string(img.record_header_size));
    }
  }
  if (Status s = ReadArrays(r, level, options.in_place, bytes.data(), &img); !s.ok()) return s;
  uint32_t pool_size;
  const size_t pool_at = r.Offset();
  if (!r.ReadU32(&pool_size)) return Truncated(r, "the string pool size");
  std::span<const uint8_t> pool;
  if (!r.ReadSpan(pool_size, &pool)) {
    return Damaged(pool_at, "string pool of " + std::to_string(pool_size) +
                                " bytes runs past the end of the image");
  }
  if (options.in_place) {
    img.pool_in_place = {true, static_cast<size_t>(pool.data() - bytes.data()), pool_size};
  } else {
    img.pool.assign(pool.begin(), pool.end());
  }
  if (Status s = ReadCategories(r, level, &img); !s.ok()) return s;
  return img;
}

std::vector<uint8_t> WriteDicoImage(const DicoImage& img, int level) {
  ByteWriter w;
  w.U8(img.header.signature[0]);
  w.U8(img.header.signature[1]);
  w.U8(img.header.version_byte);
  w.U8(static_cast<uint8_t>(level));
  w.U32(img.header.version_system);
  if (level >= 8) w.U32(img.header.version_user);
  w.U32(img.last_id);
  if (level >= 5) w.I32(img.lowest_user_id);
  if (level >= 11) {
    w.U32(static_cast<uint32_t>(img.name_index.size()));
    for (const auto& e : img.name_index) {
      w.I32(e.value);
      w.U32(static_cast<uint32_t>(e.name.size()));
      w.Text(e.name);
    }
    w.U32(kBaseSize);
  }
  const int n = ArrayCountForLevel(level);
  for (int k = 0; k < n; ++k) {
    if (level <= 10) {
      w.U16(static_cast<uint16_t>(img.Count(k)));
    } else {
      w.U32(img.Count(k));
    }
  }
  const uint32_t header = HeaderSizeForLevel(level);
  for (int k = 0; k < n; ++k) {
    const uint32_t count = img.Count(k);
    if (count == 0) continue;
    const uint32_t current = GetKindInfo(k).image_size;
    const uint32_t stored = ImageSizeForLevel(k, level);
    w.U32(stored);
    const auto& src = img.arrays[static_cast<size_t>(k)];
    if (stored == current) {
      w.Bytes(src.data(), static_cast<size_t>(count) * current);
      continue;
    }
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* s = src.data() + static_cast<size_t>(i) * current;
      w.Bytes(s, header);
      w.Bytes(s + kBaseSize, stored - header);
    }
  }
  w.U32(static_cast<uint32_t>(img.pool.size()));
  w.Bytes(img.pool);
  const uint32_t cats = img.CategoryCount();
  w.U32(cats);
  if (level >= 5) {
    w.U32(kCategorySize);
    w.Bytes(img.categories);
  } else {
    for (uint32_t i = 0; i < cats; ++i) {
      w.Bytes(img.categories.data() + static_cast<size_t>(i) * kCategorySize, kOldCategorySize);
    }
  }
  return w.Take();
}

}  // namespace tavelnor::dico
