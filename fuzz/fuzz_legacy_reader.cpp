// libFuzzer target: any bytes taken as an earlier engine's data file are
// refused with 2 or 30 and a reason, or give records that Scan and Read
// agree on, and keys whose walks (Get First, then Get Next from each entry)
// visit every record with a key, once; a key that cannot be built says why.
// Nothing crashes, hangs or allocates without bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "btrieve/key_codec.h"
#include "btrieve/legacy_index.h"
#include "btrieve/legacy_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavelnor::btrieve;
  std::unique_ptr<LegacySource> source;
  std::string reason;
  const int status =
      legacy::OpenLegacyImage(std::vector<uint8_t>(data, data + size), &source, &reason);
  if (status != 0) {
    if ((status != 2 && status != 30) || reason.empty() || source) std::abort();
    return 0;
  }
  std::vector<uint32_t> addresses;
  std::vector<std::vector<uint8_t>> records;
  const size_t keys = source->spec().keys.size();
  const int scan = source->Scan([&](const LegacyRecord& r) {
    if (r.dup_rank.size() != keys || r.data.size() < source->spec().record_length) std::abort();
    addresses.push_back(r.address);
    records.emplace_back(r.data.begin(), r.data.end());
    return 0;
  });
  if (scan != 0 && scan != 2) std::abort();
  for (size_t i = 0; i < addresses.size(); ++i) {
    std::vector<uint8_t> again;
    const int st = source->Read(addresses[i], &again);
    if (st == 0 && again != records[i]) std::abort();
    if (source->Read(addresses[i] + 1, &again) != 43) std::abort();
  }
  std::shared_ptr<LegacyIndex> index;
  if (LegacyIndex::Create(std::move(source), &index, &reason) != 0) return 0;
  const FileSpec& spec = index->spec();
  for (const KeyDef& key : spec.keys) {
    uint32_t count = 0;
    if (index->CountOf(key.number, &count) != 0) {
      if (index->Warnings().empty()) std::abort();  // refused without a reason
      continue;
    }
    Entry e;
    uint32_t walked = 0;
    int st = index->Find(key.number, Seek::kFirst, {}, &e);
    for (; st == 0 && walked <= count; st = index->Find(key.number, Seek::kAbove, e.k, &e)) {
      ++walked;
    }
    if (st != 9 || walked != count) std::abort();
    if (scan != 0) continue;
    uint32_t keyed = 0;
    for (const std::vector<uint8_t>& r : records) {
      const std::string raw = ExtractKey(key, r.data());
      keyed += !IsNullKey(key, reinterpret_cast<const uint8_t*>(raw.data()));
    }
    if (keyed != count) std::abort();
  }
  return 0;
}
