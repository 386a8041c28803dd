// Shared by the tests of the reader of earlier engines' data files: opening
// an image with every record collected, and the checks every file that opens
// must pass.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/legacy_reader.h"
#include "btrieve/legacy_source.h"

namespace tavelnor::btrieve::legacy_test {

struct Opened {
  int status = -1, scan = -1;  // of the open, of the scan
  std::string reason;
  std::unique_ptr<LegacySource> source;
  std::vector<std::vector<uint8_t>> records;
  std::vector<uint32_t> addresses;
  std::vector<std::vector<uint32_t>> ranks;
};

// Opens an image and reads every record; damage found past the open (in the
// duplicate chains, followed when a key is first used) sets `scan` and the
// reason.
inline Opened Open(std::vector<uint8_t> image) {
  Opened o;
  o.status = legacy::OpenLegacyImage(std::move(image), &o.source, &o.reason);
  if (o.status != 0) return o;
  std::vector<uint32_t> ranks, previous;
  for (size_t k = 0; k < o.source->spec().keys.size(); ++k) {
    if ((o.scan = o.source->DupRanks(k, &ranks, &previous, &o.reason)) != 0) return o;
  }
  o.scan = o.source->Scan([&](const LegacyRecord& r) {
    o.records.emplace_back(r.data.begin(), r.data.end());
    o.addresses.push_back(r.address);
    o.ranks.emplace_back(r.dup_rank.begin(), r.dup_rank.end());
    return 0;
  });
  return o;
}

// The key value as the engine compares it: zero-terminated strings up to the
// terminator, collating sequences applied, segments kept apart.
inline std::vector<uint8_t> KeyValue(const FileSpec& spec, const KeyDef& key,
                                     const std::vector<uint8_t>& record) {
  std::vector<uint8_t> out;
  for (const Segment& s : key.segments) {
    auto begin = record.begin() + (s.position - 1), end = begin + s.length;
    if (s.type == kTypeZstring) end = std::find(begin, end, 0);
    for (auto it = begin; it != end; ++it) {
      out.push_back(s.flags & kKeyAlternate ? spec.acs.at(s.acs)[9 + *it] : *it);
    }
    out.push_back(0xFF);
  }
  return out;
}

// Keys hold as many distinct values as counted, duplicates ranked by address;
// records read back at their addresses (only there) and vary only if variable.
inline void ExpectConsistent(const Opened& o) {
  const FileSpec& spec = o.source->spec();
  std::vector<uint8_t> again;
  EXPECT_EQ(o.source->Read(o.records.empty() ? 0x1006 : o.addresses[0] + 1, &again), 43);
  for (size_t k = 0; k < spec.keys.size(); ++k) {
    std::map<std::vector<uint8_t>, uint32_t> next;
    for (size_t i = 0; i < o.records.size(); ++i) {
      uint32_t& rank = next[KeyValue(spec, spec.keys[k], o.records[i])];
      ASSERT_EQ(o.ranks[i][k], spec.keys[k].duplicates() ? rank++ : 0) << "key " << k << " @" << i;
    }
    EXPECT_EQ(next.size(), o.source->info().unique_counts[k]) << "key " << k;
  }
  for (size_t i = 0; i < o.records.size(); ++i) {
    ASSERT_EQ(o.source->Read(o.addresses[i], &again), 0);
    EXPECT_EQ(again, o.records[i]);
    EXPECT_TRUE(i == 0 || o.addresses[i - 1] < o.addresses[i]);
    EXPECT_TRUE(again.size() == spec.record_length ||
                (spec.variable_length() && again.size() > spec.record_length));
  }
}

}  // namespace tavelnor::btrieve::legacy_test
