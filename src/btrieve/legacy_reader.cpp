// Opening a data file of an earlier engine: reads the file, tells the 5.x
// and 6.x formats apart by the first bytes, and hands over to the header
// parser of that format and then to the record collector.
#include "btrieve/legacy_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "btrieve/btrieve_codes.h"
#include "btrieve/legacy_format.h"
#include "foundation/platform/mapped_file.h"

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

bool OwnerNameSet(const uint8_t* fcr) {
  return std::any_of(fcr + kFcrOwner, fcr + kFcrOwner + kFcrOwnerSize,
                     [](uint8_t b) { return b != 0; });
}

int RefuseEncrypted(std::string* reason) {
  return Refuse(kIoError,
                "the owner name encrypts the file: its pages are enciphered and only the engine "
                "that knows the name can read them",
                reason);
}

std::span<const uint8_t> FileBytes::bytes() const {
  return mapped ? mapped->bytes() : std::span<const uint8_t>(image);
}

bool FileBytes::cut() const { return mapped && mapped->cut(); }

int OpenLegacyImage(std::vector<uint8_t> image, std::unique_ptr<LegacySource>* out,
                    std::string* reason) {
  FileBytes bytes;
  bytes.image = std::move(image);
  return OpenLegacyBytes(std::move(bytes), out, reason);
}

int OpenLegacyBytes(FileBytes bytes, std::unique_ptr<LegacySource>* out, std::string* reason) {
  const std::span<const uint8_t> image = bytes.bytes();
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
  status = MakeSource(std::move(bytes), std::move(layout), out, reason);
  return status;
}

}  // namespace legacy

int OpenLegacySource(std::shared_ptr<const platform::MappedFile> file,
                     std::unique_ptr<LegacySource>* out, std::string* reason) {
  if (!out) return legacy::Refuse(kIoError, "no place for the result", reason);
  out->reset();
  legacy::FileBytes bytes;
  bytes.mapped = std::move(file);
  return legacy::OpenLegacyBytes(std::move(bytes), out, reason);
}

int OpenLegacySource(const std::string& path, std::unique_ptr<LegacySource>* out,
                     std::string* reason) {
  if (!out) return legacy::Refuse(kIoError, "no place for the result", reason);
  out->reset();
  Result<std::unique_ptr<platform::MappedFile>> mapped =
      platform::MappedFile::Open(path, legacy::kMaxFileSize);
  if (!mapped.ok()) {
    if (mapped.status().code() == Status::Code::kNotFound) {
      return legacy::Refuse(kFileNotFound, "file not found: " + path, reason);
    }
    return legacy::Refuse(kIoError, "cannot read " + path + ": " + mapped.status().message(),
                          reason);
  }
  return OpenLegacySource(std::shared_ptr<const platform::MappedFile>(std::move(mapped).value()),
                          out, reason);
}

}  // namespace tavelnor::btrieve
