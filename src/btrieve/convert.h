// Converting a data file into one of our own: a file of an earlier record
// manager (or any file DataFile::Open reads) becomes a writable file with the
// same description -- record length, page size, file flags, keys and their
// segments, collating sequences -- the same records at the same positions
// (Get Position and Get Direct answer as before) and the same index entries,
// duplicates in their original order. The source is only read.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor::btrieve {

struct ConvertSummary {
  uint32_t records = 0;
  size_t keys = 0;
  // The original has an owner name its reader does not give (an earlier
  // engine's file): the new file has none. One of our own keeps its owner.
  bool owner_dropped = false;
};

// Writes `to` from `from`. 0 and `summary` filled; otherwise a status and one
// line in `reason`, and `to` does not exist afterwards (a conversion that
// fails half way removes what it wrote, with SQLite's companion files):
//   59     `to` exists (it is never replaced)
//   11     a name is empty
//   12, 30, 2 ...  `from` cannot be read (the reader's reason)
//   2      `from` is damaged: a unique key holds a value twice, an entry
//          does not match its record
//   other  the status of the write that failed
int ConvertDataFile(const std::string& from, const std::string& to, ConvertSummary* summary,
                    std::string* reason);

}  // namespace tavelnor::btrieve
