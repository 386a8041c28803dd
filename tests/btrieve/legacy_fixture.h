// Files of an earlier record manager for the tests: a source made in memory
// from a description and records (addresses, duplicate chain ranks), and an
// opener that hands it to DataFile::Open.
#pragma once

#include <functional>
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
  FakeSource(FileSpec spec, LegacyInfo info, std::vector<FakeRecord> records,
             size_t fail_at = SIZE_MAX)
      : spec_(std::move(spec)), info_(info), records_(std::move(records)), fail_at_(fail_at) {}
  const FileSpec& spec() const override { return spec_; }
  const LegacyInfo& info() const override { return info_; }
  int Scan(const std::function<int(const LegacyRecord&)>& visit) override {
    for (size_t i = 0; i < records_.size(); ++i) {
      if (i == fail_at_) return kIoError;
      if (int st = visit({records_[i].address, records_[i].data, records_[i].dup_rank})) return st;
    }
    return kOk;
  }
  int Read(uint32_t address, std::vector<uint8_t>* data) override {
    for (const FakeRecord& r : records_) {
      if (r.address != address) continue;
      *data = r.data;
      return kOk;
    }
    return kInvalidRecordAddress;
  }

 private:
  FileSpec spec_;
  LegacyInfo info_;
  std::vector<FakeRecord> records_;
  size_t fail_at_;
};

// Answers every open of a file that is not ours with `make`, and counts the
// calls; the real reader answers again once it goes.
class FakeOpener {
 public:
  using Make = std::function<int(std::unique_ptr<LegacySource>*, std::string*)>;
  explicit FakeOpener(Make make = {}) : make(std::move(make)) {
    SetLegacyOpenerForTesting(
        [this](const std::string&, std::unique_ptr<LegacySource>* out, std::string* reason) {
          ++calls;
          return this->make(out, reason);
        });
  }
  ~FakeOpener() { SetLegacyOpenerForTesting({}); }
  FakeOpener(const FakeOpener&) = delete;
  FakeOpener& operator=(const FakeOpener&) = delete;

  // Serves a fresh source over `records` at every open.
  void Serve(const FileSpec& spec, const LegacyInfo& info, const std::vector<FakeRecord>& records,
             size_t fail_at = SIZE_MAX) {
    make = [=](std::unique_ptr<LegacySource>* out, std::string*) {
      *out = std::make_unique<FakeSource>(spec, info, records, fail_at);
      return int{kOk};
    };
  }

  Make make;
  int calls = 0;
};

}  // namespace tavelnor::btrieve::testing
