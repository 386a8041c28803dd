// A file of an earlier record manager as the tests see it: a source made in
// memory from a description and records (with their addresses and duplicate
// chain ranks), plugged into DataFile::Open for one path.
//
// The sample file of LegacyFile (32-byte records):
//   0  id     INTEGER 4          key 0, unique
//   4  name   STRING 6           key 1, duplicates, case-insensitive
//   10 level  INTEGER 2          key 2, duplicates, descending, null when 0
//   12 code   STRING 4           key 3, duplicates, reversed ACS
//   16 amount UNSIGNED BINARY 4  key 4, segment 1, unique
//   20 tag    ZSTRING 4          key 4, segment 2
//   24 payload
#pragma once

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_source.h"
#include "btrieve/open_diagnosis.h"
#include "btrieve_test_util.h"

namespace tavelnor::btrieve::testing {

struct FakeRecord {
  uint32_t address;
  std::vector<uint8_t> data;
  std::vector<uint32_t> dup_rank;  // per key
};

class FakeSource : public LegacySource {
 public:
  FakeSource(FileSpec spec, LegacyInfo info, std::vector<FakeRecord> records)
      : spec_(std::move(spec)), info_(std::move(info)), records_(std::move(records)) {}
  const FileSpec& spec() const override { return spec_; }
  const LegacyInfo& info() const override { return info_; }
  int Scan(const std::function<int(const LegacyRecord&)>& visit) override {
    for (size_t i = 0; i < records_.size(); ++i) {
      if (i == fail_at_) return kIoError;
      const FakeRecord& r = records_[i];
      int st = visit(LegacyRecord{r.address, r.data, r.dup_rank});
      if (st != 0) return st;
    }
    return kOk;
  }
  int Read(uint32_t address, std::vector<uint8_t>* data) override {
    ++reads_;
    for (const FakeRecord& r : records_) {
      if (r.address == address) {
        *data = r.data;
        return kOk;
      }
    }
    return kInvalidRecordAddress;
  }
  size_t fail_at_ = SIZE_MAX;  // Scan reports damage at this record
  static inline std::atomic<int> reads_{0};

 private:
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<FakeRecord> records_;
};

// Answers OpenLegacy for one path with a copy of the given source, or with
// a refusal; other paths get 30. Restores the real reader when it goes.
class FakeOpener {
 public:
  FakeOpener() {
    SetLegacyOpenerForTesting([this](const std::string& path, std::unique_ptr<LegacySource>* out,
                                     std::string* reason) {
      ++calls;
      if (path != path_) {
        *reason = "not the test's file";
        return int{kNotOurFile};
      }
      if (status_ != kOk) {
        *reason = reason_;
        return status_;
      }
      auto source = std::make_unique<FakeSource>(spec_, info_, records_);
      source->fail_at_ = fail_at_;
      *out = std::move(source);
      return int{kOk};
    });
  }
  ~FakeOpener() { SetLegacyOpenerForTesting({}); }

  void Serve(const std::string& path, FileSpec spec, LegacyInfo info,
             std::vector<FakeRecord> records) {
    path_ = path;
    spec_ = std::move(spec);
    info_ = std::move(info);
    records_ = std::move(records);
  }
  void Refuse(const std::string& path, int status, std::string reason) {
    path_ = path;
    status_ = status;
    reason_ = std::move(reason);
  }
  size_t fail_at_ = SIZE_MAX;
  int calls = 0;

 private:
  std::string path_;
  int status_ = kOk;
  std::string reason_;
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<FakeRecord> records_;
};

// The sample file's description, parsed as a Create buffer would be.
inline FileSpec SampleSpec() {
  std::vector<uint8_t> raw =
      MakeSpec(32, {{{1, 4, 0, kTypeInteger}},
                    {{5, 6, kKeyDup | kKeyNoCase, kTypeString}},
                    {{11, 2, kKeyDup | kKeyDescending | kKeyNullAll, kTypeInteger, 0}},
                    {{13, 4, kKeyDup | kKeyAlternate, kTypeString}},
                    {{17, 4, 0, kTypeUnsignedBinary}, {21, 4, 0, kTypeZstring}}},
               0, 2048);
  std::vector<uint8_t> acs = ReverseAcs("REVERSE");
  raw.insert(raw.end(), acs.begin(), acs.end());
  FileSpec spec;
  EXPECT_EQ(ParseFileSpec(raw, &spec), 0);
  return spec;
}

// One record of the sample file, its fields as numbers and text.
struct Sample {
  int32_t id;
  std::string name;  // up to 6, blank-padded
  int16_t level;
  std::string code;  // 4
  uint32_t amount;
  std::string tag;   // up to 3, NUL-ended, then junk
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> r(32, 0);
    std::memcpy(r.data(), &id, 4);
    std::memset(r.data() + 4, ' ', 6);
    std::memcpy(r.data() + 4, name.data(), std::min<size_t>(6, name.size()));
    std::memcpy(r.data() + 10, &level, 2);
    std::memcpy(r.data() + 12, code.data(), std::min<size_t>(4, code.size()));
    std::memcpy(r.data() + 16, &amount, 4);
    std::memset(r.data() + 20, '#', 4);  // junk after the terminator
    std::memcpy(r.data() + 20, tag.c_str(), std::min<size_t>(3, tag.size()) + 1);
    for (size_t i = 24; i < 32; ++i) r[i] = static_cast<uint8_t>(id * 7 + i);
    return r;
  }
};

}  // namespace tavelnor::btrieve::testing
