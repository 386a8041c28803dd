// Builds data files in the earlier engines' 5.x and 6.0 layouts for tests,
// the fuzz seeds and the benchmark: header, collating sequences, empty index
// roots, data pages with duplicate chains in insertion order, variable pages
// with fragment chains, and (6.0) page-allocation tables in as many groups as
// the records need. Not an engine: index pages stay empty.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "btrieve/file_spec.h"

namespace tavelnor::btrieve::synth {

struct SynthSegment {
  uint16_t offset = 0;  // from 0 in the record
  uint16_t length = 0;
  uint16_t flags = 0;  // the segmented flag is added between segments
  uint8_t type = kTypeString;
};

struct SynthKey {
  std::vector<SynthSegment> segments;
  uint8_t acs = 0;  // 6.0: which of the file's collating sequences
};

struct SynthFile {
  uint16_t record_length = 0;
  uint16_t page_size = 4096;
  bool variable = false;
  std::vector<SynthKey> keys;
  std::vector<std::array<uint8_t, kAcsBlockSize>> acs;
  // Each record: fixed part, then the variable part (variable files only).
  std::vector<std::vector<uint8_t>> records;
  // Records written as deleted slots (5.x: on the free chain) and not counted.
  std::vector<size_t> deleted;
  // The order the records were inserted in, as indexes into `records` (empty:
  // their own order): duplicate chains link them in this order.
  std::vector<size_t> inserted;
  // 6.0: the stale header and table copies describe an older state with a
  // stale data page holding one more record.
  bool stale_copies = false;
  // Longest fragment written (capped at what fits a variable page); longer
  // variable parts become chains.
  uint16_t max_fragment = 1000;
};

// The address the reader must give record `index` of `file` (deleted ones
// included in the numbering).
struct Written {
  std::vector<uint8_t> image;
  std::vector<uint32_t> addresses;  // per record; 0 for deleted ones
};

// An empty image when the file cannot be laid out: a page size other than
// 512..4096 in steps of 512, a record slot larger than a data page, or key
// descriptors (6.0: and the key attribute table) that overflow the header page.
Written WriteVersion6(const SynthFile& file);
Written WriteVersion5(const SynthFile& file);

// A 265-byte collating sequence that upper-cases a..z.
std::array<uint8_t, kAcsBlockSize> UpperCaseAcs(const char* name);

}  // namespace tavelnor::btrieve::synth
