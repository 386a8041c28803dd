// Opening a data file of an earlier engine: reads the file, tells the 5.x
// and 6.x formats apart by the first bytes, and hands over to the header
// parser of that format and then to the record collector.
#include "btrieve/legacy_reader.h"

#include <cstring>
#include <utility>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "foundation/platform/files.h"

namespace tavelnor::btrieve {
namespace legacy {

namespace {

// Files larger than this cannot be addressed by 32-bit record addresses.
constexpr size_t kMaxFileSize = size_t{0xFFFFFFFF};
// The smallest page the formats allow; a shorter file is not one of them.
constexpr size_t kMinFileSize = 512;

}  // namespace

int Refuse(int status, std::string text, std::string* reason) {
  if (reason) *reason = std::move(text);
  return status;
}

int OpenLegacyImage(std::vector<uint8_t> image, std::unique_ptr<LegacySource>* out,
                    std::string* reason) {
  if (image.size() < kMinFileSize) {
    return Refuse(kNotOurFile, "too short for a record manager data file", reason);
  }
  static constexpr uint8_t kZero[4] = {0, 0, 0, 0};
  static constexpr uint8_t kFc[4] = {'F', 'C', 0, 0};
  Layout layout;
  int status;
  if (std::memcmp(image.data(), kZero, 4) == 0) {
    status = ParseV5(image, &layout, reason);
  } else if (std::memcmp(image.data(), kFc, 4) == 0) {
    status = ParseV6(image, &layout, reason);
  } else {
    return Refuse(kNotOurFile, "not a record manager data file (unknown signature)", reason);
  }
  if (status != kOk) return status;
  return MakeSource(std::move(image), std::move(layout), out, reason);
}

}  // namespace legacy

int OpenLegacySource(const std::string& path, std::unique_ptr<LegacySource>* out,
                     std::string* reason) {
  if (!out) return legacy::Refuse(kIoError, "no place for the result", reason);
  out->reset();
  Result<std::vector<uint8_t>> bytes = platform::ReadWholeFile(path, legacy::kMaxFileSize);
  if (!bytes.ok()) {
    if (bytes.status().code() == Status::Code::kNotFound) {
      return legacy::Refuse(kFileNotFound, "file not found: " + path, reason);
    }
    return legacy::Refuse(kIoError, "cannot read " + path + ": " + bytes.status().message(),
                          reason);
  }
  return legacy::OpenLegacyImage(std::move(bytes).value(), out, reason);
}

}  // namespace tavelnor::btrieve
