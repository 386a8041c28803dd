// Writer of 5.x and 6.0 data files for tests; see legacy_synth.h.
#include "legacy_synth.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "btrieve/legacy_format.h"

namespace tavelnor::btrieve::synth {

using namespace legacy;

namespace {

struct Fragment {
  uint32_t page = 0;  // index among the variable pages
  uint32_t slot = 0;
  size_t record = 0;
  size_t from = 0, length = 0;
  bool last = false;
};

class Builder {
 public:
  Builder(const SynthFile& f, bool v6) : f_(f), v6_(v6), ps_(f.page_size) {}
  Written Build();

 private:
  uint32_t PageNumber(uint32_t ordinal) const { return first_page_ + ordinal; }
  // Physical page of page number `n` (6.0: logical, placed after its table pair).
  uint32_t Physical(uint32_t n) const {
    if (!v6_) return n;
    uint32_t per = ps_ / 4 - 2;
    return 2 + (n - 1) / per * (ps_ / 4) + 2 + (n - 1) % per;
  }
  uint8_t* Page(uint32_t n) { return image_.data() + size_t{Physical(n)} * ps_; }
  void Header(uint32_t n, uint8_t type, uint16_t usage) {
    uint8_t* p = Page(n);
    if (v6_) {
      StorePageRef(p, PageRef{n, type});
    } else {
      StoreSwapped(p, n);
    }
    StoreLE16(p + 4, usage);
  }
  void PlanFragments();
  void WriteVariablePages();
  void WriteRecords();
  // Where the key attribute table goes; 0 when descriptors and table do not
  // fit the header page.
  uint32_t KatOffset() const;
  void WriteHeader(uint8_t* fcr, uint32_t usage, uint32_t records);
  void WriteTables();

  const SynthFile& f_;
  bool v6_;
  uint32_t ps_;
  uint32_t usage_ = 0, physical_ = 0, per_page_ = 0, first_page_ = 0;
  uint32_t data_first_ = 0, data_pages_ = 0, var_first_ = 0, var_pages_ = 0, pages_ = 0;
  std::vector<uint32_t> dup_at_;
  std::vector<bool> deleted_;
  std::vector<Fragment> fragments_;
  std::vector<size_t> first_fragment_;  // per record, or SIZE_MAX
  std::vector<uint32_t> addresses_;
  std::vector<uint8_t> image_;
  uint32_t live_ = 0;
  uint32_t free_head_ = kNone;
  uint32_t acs_first_ = 1, index_first_ = 0, stale_page_ = 0;
};

void Builder::PlanFragments() {
  first_fragment_.assign(f_.records.size(), SIZE_MAX);
  if (!f_.variable) return;
  // A fragment must fit an empty page with its next-fragment pointer, its
  // table entry and the free-space entry; fragment numbers are one byte and
  // 0xFF ends a chain.
  const size_t longest = std::min<size_t>(f_.max_fragment, ps_ - kFragmentsStart - 4 - 4);
  const uint32_t max_count = kNoFragment;
  uint32_t page = 0, count = 0, end = kFragmentsStart;
  bool any = false;
  for (size_t r = 0; r < f_.records.size(); ++r) {
    size_t total = f_.records[r].size() - f_.record_length;
    if (deleted_[r] || total == 0) continue;
    first_fragment_[r] = fragments_.size();
    for (size_t from = 0; from < total; from += longest) {
      size_t length = std::min<size_t>(longest, total - from);
      bool last = from + length == total;
      size_t need = length + ((v6_ || !last) ? 4 : 0);
      if (any && (end + need > ps_ - 2 * (count + 2) || count == max_count)) {
        ++page;
        count = 0;
        end = kFragmentsStart;
      }
      any = true;
      fragments_.push_back(Fragment{page, count++, r, from, length, last});
      end += static_cast<uint32_t>(need);
    }
  }
  var_pages_ = any ? page + 1 : 0;
}

void Builder::WriteVariablePages() {
  std::vector<uint32_t> end(var_pages_, kFragmentsStart), count(var_pages_, 0);
  for (size_t i = 0; i < fragments_.size(); ++i) {
    const Fragment& fr = fragments_[i];
    uint32_t n = var_first_ + fr.page;
    uint8_t* p = Page(n);
    StoreLE16(p + ps_ - 2 * (fr.slot + 1),
              static_cast<uint16_t>(end[fr.page] | (!v6_ && !fr.last ? 0x8000 : 0)));
    uint8_t* at = p + end[fr.page];
    if (v6_ || !fr.last) {
      VarPointer next;
      if (!fr.last)
        next = VarPointer{var_first_ + fragments_[i + 1].page,
                          static_cast<uint8_t>(fragments_[i + 1].slot)};
      StoreVarPointer(at, next);
      at += 4;
    }
    std::memcpy(at, f_.records[fr.record].data() + f_.record_length + fr.from, fr.length);
    end[fr.page] = static_cast<uint32_t>(at + fr.length - p);
    count[fr.page] = fr.slot + 1;
  }
  for (uint32_t v = 0; v < var_pages_; ++v) {
    uint8_t* p = Page(var_first_ + v);
    Header(var_first_ + v, kPageVariable, 1);
    StoreLE32(p + 6, kNone);
    StoreLE16(p + 0x0A, static_cast<uint16_t>(count[v]));
    StoreLE16(p + ps_ - 2 * (count[v] + 1), static_cast<uint16_t>(end[v]));
  }
}

void Builder::WriteRecords() {
  std::vector<std::map<std::vector<uint8_t>, size_t>> last(f_.keys.size());
  uint32_t free_link = kNone;
  for (size_t r = f_.records.size(); r-- > 0;) {
    uint32_t n = data_first_ + static_cast<uint32_t>(r / per_page_);
    uint32_t offset = kPageHeader + static_cast<uint32_t>(r % per_page_) * physical_;
    addresses_[r] = v6_ ? n * ps_ + offset : Physical(n) * ps_ + offset;
    if (!deleted_[r] || v6_) continue;
    StoreSwapped(Page(n) + offset, free_link);
    free_link = addresses_[r];
  }
  free_head_ = free_link;
  for (size_t r = 0; r < f_.records.size(); ++r) {
    uint32_t n = data_first_ + static_cast<uint32_t>(r / per_page_);
    uint8_t* slot = Page(n) + kPageHeader + (r % per_page_) * physical_;
    if (deleted_[r] && !v6_) continue;
    if (v6_) StoreLE16(slot, deleted_[r] ? 0 : 1);
    std::memcpy(slot + usage_, f_.records[r].data(), f_.record_length);
    if (deleted_[r]) continue;
    uint8_t* tail = slot + usage_ + f_.record_length;
    if (f_.variable) {
      VarPointer ptr;
      if (first_fragment_[r] != SIZE_MAX) {
        const Fragment& fr = fragments_[first_fragment_[r]];
        ptr = VarPointer{var_first_ + fr.page, static_cast<uint8_t>(fr.slot)};
      }
      StoreVarPointer(tail, ptr);
    }
    for (size_t k = 0; k < f_.keys.size(); ++k) {
      if (dup_at_[k] == 0) continue;
      StoreSwapped(slot + dup_at_[k], kNone);
      StoreSwapped(slot + dup_at_[k] + 4, kNone);
    }
  }
  // Duplicate chains: each record after the last one inserted before it with
  // the same value.
  auto slot_of = [this](size_t r) {
    return Page(data_first_ + static_cast<uint32_t>(r / per_page_)) + kPageHeader +
           (r % per_page_) * physical_;
  };
  for (size_t i = 0; i < f_.records.size(); ++i) {
    const size_t r = f_.inserted.empty() ? i : f_.inserted.at(i);
    if (deleted_[r]) continue;
    for (size_t k = 0; k < f_.keys.size(); ++k) {
      if (dup_at_[k] == 0) continue;
      std::vector<uint8_t> value;
      for (const SynthSegment& s : f_.keys[k].segments) {
        value.insert(value.end(), f_.records[r].begin() + s.offset,
                     f_.records[r].begin() + s.offset + s.length);
      }
      auto it = last[k].find(value);
      if (it != last[k].end()) {
        StoreSwapped(slot_of(it->second) + dup_at_[k] + 4, addresses_[r]);
        StoreSwapped(slot_of(r) + dup_at_[k], addresses_[it->second]);
      }
      last[k][value] = r;
    }
  }
  for (uint32_t d = 0; d < data_pages_; ++d) Header(data_first_ + d, kPageData, 0x8001);
}

void Builder::WriteHeader(uint8_t* fcr, uint32_t usage, uint32_t records) {
  if (v6_) {
    std::memcpy(fcr, "FC\0\0", 4);
    StoreLE32(fcr + kFcrUsage, usage);
    StoreLE16(fcr + 0x22, 0xFFFF);
    StoreLE16(fcr + kFcrVersion6, kVersion60);
  } else {
    StoreLE16(fcr + kFcrVersion5, 0x0400);
  }
  StoreLE16(fcr + kFcrPageSize, static_cast<uint16_t>(ps_));
  StoreSwapped(fcr + kFcrFreeSlot, free_head_);
  StoreLE16(fcr + kFcrKeys, static_cast<uint16_t>(f_.keys.size()));
  StoreLE16(fcr + kFcrRecordLength, f_.record_length);
  StoreLE16(fcr + kFcrPhysicalLength, static_cast<uint16_t>(physical_));
  StoreSwapped(fcr + kFcrRecords, records);
  StoreSwapped(fcr + kFcrPages, pages_);
  fcr[kFcrVariable] = f_.variable ? 0xFF : 0;
  if (!f_.acs.empty()) std::memcpy(fcr + kFcrAcsName, f_.acs[0].data() + 1, 8);
  StoreLE16(fcr + kFcrFlags, f_.variable ? kFileVarRecs : 0);
  const uint32_t kat = KatOffset();
  size_t at = kFirstDescriptor;
  uint32_t dups = 0, segments = 0, first_dup = 0;
  for (size_t k = 0; k < f_.keys.size(); ++k) {
    const SynthKey& key = f_.keys[k];
    std::set<std::vector<uint8_t>> distinct;
    uint16_t total = 0;
    for (const SynthSegment& s : key.segments) total = static_cast<uint16_t>(total + s.length);
    for (size_t r = 0; r < f_.records.size(); ++r) {
      if (deleted_[r]) continue;
      std::vector<uint8_t> value;
      for (const SynthSegment& s : key.segments) {
        value.insert(value.end(), f_.records[r].begin() + s.offset,
                     f_.records[r].begin() + s.offset + s.length);
      }
      distinct.insert(value);
    }
    if (v6_) StoreLE16(fcr + kat + 2 * k, static_cast<uint16_t>(at));
    for (size_t i = 0; i < key.segments.size(); ++i, at += kDescriptorSize) {
      const SynthSegment& s = key.segments[i];
      uint8_t* d = fcr + at;
      uint16_t flags =
          static_cast<uint16_t>(s.flags | (i + 1 < key.segments.size() ? kKeySegmented : 0));
      if (i == 0) {
        uint32_t root = index_first_ + static_cast<uint32_t>(k);
        if (v6_) {
          StorePageRef(d, PageRef{root, static_cast<uint8_t>(kPageIndex + k)});
          d[kDescIndexType] = static_cast<uint8_t>(kPageIndex + k);
        } else {
          StoreSwapped(d, root);
        }
        StoreSwapped(d + kDescUnique, static_cast<uint32_t>(distinct.size()));
        StoreLE16(d + 0x0A, total);
        StoreLE16(d + 0x0C, static_cast<uint16_t>(total + (dup_at_[k] ? 12 : 8)));
        StoreLE16(d + kDescDupOffset, static_cast<uint16_t>(dup_at_[k]));
        if (dup_at_[k] && !dups++) first_dup = dup_at_[k];
      }
      StoreLE16(d + kDescFlags, flags);
      StoreLE16(d + kDescPosition, static_cast<uint16_t>(s.offset + usage_));
      StoreLE16(d + kDescLength, s.length);
      if (v6_ && (flags & kKeyAlternate)) {
        uint32_t page = acs_first_ + key.acs;
        d[kDescAcsPage] = static_cast<uint8_t>(page >> 16);
        StoreLE16(d + kDescAcsPage + 1, static_cast<uint16_t>(page));
      }
      d[kDescType] = s.type;
      ++segments;
    }
  }
  if (v6_) {
    StoreLE16(fcr + kFcrDupOffset, static_cast<uint16_t>(first_dup));
    fcr[kFcrDupCount] = static_cast<uint8_t>(dups);
    fcr[kFcrKatEntries] = static_cast<uint8_t>(f_.keys.size());
    fcr[kFcrSegments] = static_cast<uint8_t>(segments);
    StoreLE16(fcr + kFcrKatOffset, static_cast<uint16_t>(kat));
  }
}

uint32_t Builder::KatOffset() const {
  size_t segments = 0;
  for (const SynthKey& key : f_.keys) segments += key.segments.size();
  const size_t end = kFirstDescriptor + kDescriptorSize * segments;
  const size_t table = v6_ ? 2 * f_.keys.size() : 0;
  // 0xF0 before the page end as in 4 KiB-page files, else after the descriptors.
  const size_t kat = end + table <= ps_ - 0xF0 ? ps_ - 0xF0 : end;
  return kat + table <= ps_ ? static_cast<uint32_t>(kat) : 0;
}

void Builder::WriteTables() {
  const uint32_t stride = ps_ / 4, per = stride - 2;
  const uint32_t groups = pages_ <= 1 ? 1 : (pages_ - 2) / per + 1;
  for (uint32_t g = 0; g < groups; ++g) {
    for (uint32_t copy = 0; copy < 2; ++copy) {
      uint8_t* p = image_.data() + size_t{2 + g * stride + copy} * ps_;
      p[0] = p[1] = 'P';
      StoreLE16(p + 2, 1);
      StoreLE32(p + 4, copy + 1);
      for (uint32_t i = 0; i < per && g * per + i + 1 < pages_; ++i) {
        uint32_t n = g * per + i + 1;
        uint8_t type = n < index_first_  ? kPageAcs
                       : n < data_first_ ? static_cast<uint8_t>(kPageIndex + n - index_first_)
                       : n < var_first_  ? kPageData
                                         : kPageVariable;
        uint32_t physical = Physical(n);
        if (copy == 0 && f_.stale_copies && n == data_first_) physical = stale_page_;
        StorePageRef(p + 8 + 4 * i, PageRef{physical, type});
      }
    }
  }
}

Written Builder::Build() {
  deleted_.assign(f_.records.size(), false);
  for (size_t r : f_.deleted) deleted_[r] = true;
  live_ = static_cast<uint32_t>(std::count(deleted_.begin(), deleted_.end(), false));
  usage_ = v6_ ? 2 : 0;
  uint32_t fixed = usage_ + f_.record_length + (f_.variable ? 4 : 0);
  dup_at_.assign(f_.keys.size(), 0);
  uint32_t dups = 0;
  for (size_t k = 0; k < f_.keys.size(); ++k) {
    if (f_.keys[k].segments[0].flags & kKeyDup) dup_at_[k] = fixed + 8 * dups++;
  }
  physical_ = fixed + 8 * dups;
  if (ps_ == 0 || ps_ % 512 || ps_ > 4096 || physical_ + kPageHeader > ps_ || KatOffset() == 0) {
    return Written{};
  }
  per_page_ = (ps_ - kPageHeader) / physical_;
  data_pages_ =
      std::max<uint32_t>(1, static_cast<uint32_t>((f_.records.size() + per_page_ - 1) / per_page_));
  index_first_ = acs_first_ + static_cast<uint32_t>(v6_ ? f_.acs.size() : !f_.acs.empty());
  data_first_ = index_first_ + static_cast<uint32_t>(f_.keys.size());
  PlanFragments();
  var_first_ = data_first_ + data_pages_;
  pages_ = var_first_ + var_pages_;
  uint32_t physical_pages = v6_ ? Physical(pages_ - 1) + 1 : pages_;
  if (v6_ && f_.stale_copies) stale_page_ = physical_pages++;
  image_.assign(size_t{physical_pages} * ps_, 0);
  addresses_.assign(f_.records.size(), 0);

  for (size_t a = 0; a < (v6_ ? f_.acs.size() : std::min<size_t>(1, f_.acs.size())); ++a) {
    Header(acs_first_ + static_cast<uint32_t>(a), kPageAcs, 0);
    std::memcpy(Page(acs_first_ + static_cast<uint32_t>(a)) + kPageHeader, f_.acs[a].data(),
                kAcsBlockSize);
  }
  for (size_t k = 0; k < f_.keys.size(); ++k) {
    Header(index_first_ + static_cast<uint32_t>(k), static_cast<uint8_t>(kPageIndex + k), 1);
  }
  WriteVariablePages();
  WriteRecords();
  if (v6_) {
    WriteTables();
    if (f_.stale_copies) {
      uint8_t* stale = image_.data() + size_t{stale_page_} * ps_;
      std::memcpy(stale, Page(data_first_), ps_);
      for (uint32_t s = 0; s < per_page_; ++s) stale[kPageHeader + s * physical_ + usage_] ^= 0x5A;
    }
    WriteHeader(image_.data() + ps_, 2, live_);
  }
  WriteHeader(image_.data(), 1, v6_ && f_.stale_copies ? live_ + 1 : live_);
  for (size_t r : f_.deleted) addresses_[r] = 0;
  return Written{std::move(image_), std::move(addresses_)};
}

}  // namespace

Written WriteVersion6(const SynthFile& file) { return Builder(file, true).Build(); }
Written WriteVersion5(const SynthFile& file) { return Builder(file, false).Build(); }

std::array<uint8_t, kAcsBlockSize> UpperCaseAcs(const char* name) {
  std::array<uint8_t, kAcsBlockSize> block{};
  block[0] = kAcsMark;
  std::memset(block.data() + 1, ' ', 8);
  std::memcpy(block.data() + 1, name, std::min<size_t>(8, std::strlen(name)));
  for (int c = 0; c < 256; ++c) {
    block[9 + c] = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
  }
  return block;
}

}  // namespace tavelnor::btrieve::synth
