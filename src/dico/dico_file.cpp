// CInternalDicoFile: container detection and reading; see dico_file.h.
#include "dico/dico_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "dico/pe_resource.h"
#include "foundation/platform/files.h"

namespace tavelnor::dico {
namespace {

constexpr size_t kReadChunk = 256 * 1024;

Status OpenError(const std::string& path, int err) {
  return Status::IoError("cannot open \"" + path + "\": " + std::strerror(err));
}

// Reads the rest of `file` into `out`; Corrupt when it holds more than `max`.
Status ReadRest(std::FILE* file, uint64_t max, std::vector<uint8_t>* out) {
  for (;;) {
    const size_t old = out->size();
    out->resize(old + kReadChunk);
    const size_t got = std::fread(out->data() + old, 1, kReadChunk, file);
    out->resize(old + got);
    if (out->size() > max) {
      return Status::Corrupt("file larger than " + std::to_string(max) + " bytes");
    }
    if (got < kReadChunk) break;
  }
  if (std::ferror(file)) return Status::IoError("read error");
  return Status::Ok();
}

}  // namespace

CInternalDicoFile::CInternalDicoFile(std::string path, bool for_reading, bool compressed)
    : path_(std::move(path)), compressed_(compressed), mode_(for_reading ? kModeRead : kModeWrite) {
  status_ = OpenNow();
}

CInternalDicoFile::~CInternalDicoFile() { Close(); }

Result<std::unique_ptr<CInternalDicoFile>> CInternalDicoFile::Open(std::string path,
                                                                   bool for_reading,
                                                                   bool compressed) {
  auto file = std::make_unique<CInternalDicoFile>(std::move(path), for_reading, compressed);
  if (!file->status().ok()) return file->status();
  return file;
}

void CInternalDicoFile::Close() {
  gzip_.reset();  // Its source reads file_.
  if (file_) std::fclose(file_);
  file_ = nullptr;
  memory_.clear();
  memory_.shrink_to_fit();
  memory_pos_ = 0;
  container_ = DicoContainer::kPlain;
  open_ = false;
}

Status CInternalDicoFile::OpenNow() {
  Close();
  if (mode_ == kModeRead) return OpenForReading();
  // Read-write never truncates; the writing modes create (or empty) the file.
  const char* how = mode_ == kModeReadWrite ? "r+b" : "wb";
  file_ = std::fopen(path_.c_str(), how);
  if (!file_) return OpenError(path_, errno);
  open_ = true;
  return Status::Ok();
}

Status CInternalDicoFile::OpenForReading() {
  // A directory, a FIFO or a device fails here at once: nothing waits for
  // a writer or reads without end.
  auto opened = platform::OpenRegularFile(path_);
  if (!opened.ok()) {
    return Status::IoError("cannot open " + opened.status().message());
  }
  std::FILE* file = opened.value();
  uint8_t head[4] = {};
  const size_t got = std::fread(head, 1, sizeof head, file);
  if (HasModuleMark({head, got})) {
    Status s = LoadModule(file);
    std::fclose(file);
    if (!s.ok()) return s;
    container_ = DicoContainer::kModule;
    open_ = true;
    return Status::Ok();
  }
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    std::fclose(file);
    return Status::IoError("cannot seek in \"" + path_ + "\"");
  }
  std::clearerr(file);
  file_ = file;
  open_ = true;
  if (compressed_) {
    auto reader = std::make_unique<GzipReader>(
        [file](uint8_t* buf, size_t capacity, size_t* n) {
          *n = std::fread(buf, 1, capacity, file);
          return std::ferror(file) == 0;
        },
        kMaxInflatedSize);
    // A reader that cannot be set up leaves the plain file.
    if (reader->status().ok()) {
      gzip_ = std::move(reader);
      container_ = DicoContainer::kGzip;
    }
  }
  return Status::Ok();
}

Status CInternalDicoFile::LoadModule(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_SET) != 0) {
    return Status::IoError("cannot seek in \"" + path_ + "\"");
  }
  std::vector<uint8_t> module;
  // The resource is at most the image cap; allow its module some headroom.
  if (Status s = ReadRest(file, kMaxDicoImageSize + (uint64_t{1} << 20), &module); !s.ok()) {
    return Status(s.code() == Status::Code::kIoError
                      ? Status::IoError("\"" + path_ + "\": " + s.message())
                      : Status::Corrupt("module \"" + path_ + "\": " + s.message()));
  }
  Result<PeResource> found = FindPeResource(module, u"DICO", u"DICO");
  if (!found.ok()) {
    const Status& s = found.status();
    const std::string text = "\"" + path_ + "\": " + s.message();
    return s.code() == Status::Code::kNotFound ? Status::NotFound(text) : Status::Corrupt(text);
  }
  memory_.assign(found->data.begin(), found->data.end());
  memory_pos_ = 0;
  return Status::Ok();
}

size_t CInternalDicoFile::Read(void* buf, size_t n) {
  if (!open_ || buf == nullptr || n == 0) return 0;
  switch (container_) {
    case DicoContainer::kModule: {
      const size_t take = std::min(n, memory_.size() - memory_pos_);
      if (take) std::memcpy(buf, memory_.data() + memory_pos_, take);
      memory_pos_ += take;
      return take;
    }
    case DicoContainer::kGzip: {
      const size_t got = gzip_->Read(buf, n);
      if (!gzip_->status().ok() && status_.ok()) status_ = gzip_->status();
      return got;
    }
    case DicoContainer::kPlain: {
      const size_t got = std::fread(buf, 1, n, file_);
      if (got < n && std::ferror(file_) && status_.ok()) {
        status_ = Status::IoError("read error in \"" + path_ + "\"");
      }
      return got;
    }
  }
  return 0;
}

Status CInternalDicoFile::Rewind() {
  if (!open_ || container_ == DicoContainer::kGzip) return Reopen(mode_);
  if (container_ == DicoContainer::kModule) {
    memory_pos_ = 0;
    return Status::Ok();
  }
  std::clearerr(file_);
  if (std::fseek(file_, 0, SEEK_SET) != 0) {
    status_ = Status::IoError("cannot seek in \"" + path_ + "\"");
    return status_;
  }
  status_ = Status::Ok();
  return status_;
}

Status CInternalDicoFile::Reopen(int mode) {
  if (mode < kModeRead || mode > kModeWrite) {
    return Status::InvalidArgument("file mode " + std::to_string(mode) + " out of range");
  }
  mode_ = mode;
  status_ = OpenNow();
  return status_;
}

bool CInternalDicoFile::ReopenForUpdate(bool write, bool create) {
  if (!write) return true;
  if (Reopen(create ? kModeCreate : kModeReadWrite).ok()) return true;
  (void)Reopen(kModeRead);
  return false;
}

Status CInternalDicoFile::SettleAfterLoad() {
  if (mode_ == kModeCreate || mode_ == kModeWrite) return Reopen(kModeRead);
  if (mode_ == kModeCreateReadWrite) return Reopen(kModeReadWrite);
  return Status::Ok();
}

Result<ImageBuffer> CInternalDicoFile::ReadImage(uint64_t max_size) {
  if (Status s = Rewind(); !s.ok()) return s;
  if (container_ == DicoContainer::kModule) {
    if (memory_.size() > max_size) {
      return Status::Corrupt("dictionary image larger than " + std::to_string(max_size) + " bytes");
    }
    memory_pos_ = memory_.size();
    std::vector<uint8_t> copy = memory_;
    return ImageBuffer::FromVector(std::move(copy));
  }
  uint64_t reserve = 0;
  if (file_) {
    // A file read as it stands (plain, or not gzip after all) comes in one
    // read; a gzip stream's output is reserved from its length trailer.
    uint8_t head[2] = {0, 0};
    const size_t peeked = std::fread(head, 1, 2, file_);
    const bool gzip_data = peeked == 2 && head[0] == 0x1F && head[1] == 0x8B;
    if (std::fseek(file_, 0, SEEK_END) == 0) {
      const long size = std::ftell(file_);
      if (size >= 0 && !gzip_data) {
        if (static_cast<uint64_t>(size) > max_size) {
          return Status::Corrupt("dictionary image in \"" + path_ + "\" larger than " +
                                 std::to_string(max_size) + " bytes");
        }
        ImageBuffer out = ImageBuffer::ForOverwrite(static_cast<size_t>(size));
        std::rewind(file_);
        if (std::fread(out.data.get(), 1, out.size, file_) != out.size) {
          return Status::IoError("read error in \"" + path_ + "\"");
        }
        return out;
      }
      if (size >= 4 && gzip_data && std::fseek(file_, size - 4, SEEK_SET) == 0) {
        uint8_t trailer[4];
        if (std::fread(trailer, 1, 4, file_) == 4) {
          const uint64_t hint = static_cast<uint64_t>(trailer[0]) | (uint64_t{trailer[1]} << 8) |
                                (uint64_t{trailer[2]} << 16) | (uint64_t{trailer[3]} << 24);
          // The trailer is only a hint: a damaged one must not make us
          // reserve more than the stream could plausibly inflate to.
          const uint64_t plausible = static_cast<uint64_t>(size) * 64 + kReadChunk;
          reserve = std::min({hint + kReadChunk, plausible, max_size});
        }
      }
    }
    std::rewind(file_);
  }
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(reserve));
  for (;;) {
    const size_t old = out.size();
    out.resize(old + kReadChunk);
    const size_t got = Read(out.data() + old, kReadChunk);
    out.resize(old + got);
    if (!status_.ok()) return status_;
    if (out.size() > max_size) {
      return Status::Corrupt("dictionary image in \"" + path_ + "\" larger than " +
                             std::to_string(max_size) + " bytes");
    }
    if (got < kReadChunk) break;
  }
  return ImageBuffer::FromVector(std::move(out));
}

Result<std::vector<uint8_t>> CInternalDicoFile::ReadAll(uint64_t max_size) {
  auto image = ReadImage(max_size);
  if (!image.ok()) return image.status();
  const auto bytes = image->bytes();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace tavelnor::dico
