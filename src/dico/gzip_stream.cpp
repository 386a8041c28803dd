// Gzip reading and writing over zlib; see gzip_stream.h.
#include "dico/gzip_stream.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

namespace tavelnor::dico {
namespace {

constexpr size_t kInputBufferSize = 64 * 1024;
constexpr size_t kDeflateChunk = 64 * 1024;
constexpr int kGzipWindowBits = 16 + MAX_WBITS;  // gzip wrapper only, 32 KiB window

std::string OffsetText(uint64_t offset) { return "at input offset " + std::to_string(offset); }

}  // namespace

bool HasGzipMagic(std::span<const uint8_t> data) {
  return data.size() >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}

std::vector<uint8_t> GzipCompress(std::span<const uint8_t> data) {
  z_stream zs{};
  if (deflateInit2(&zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, 8,
                   Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::bad_alloc();
  }
  std::vector<uint8_t> out;
  size_t pos = 0;
  int flush = Z_NO_FLUSH;
  // zlib counts in uInt; feed large inputs in slices.
  constexpr size_t kMaxSlice = size_t{1} << 30;
  while (flush != Z_FINISH) {
    const size_t take = std::min(data.size() - pos, kMaxSlice);
    zs.next_in = const_cast<Bytef*>(data.data() + pos);
    zs.avail_in = static_cast<uInt>(take);
    pos += take;
    flush = pos == data.size() ? Z_FINISH : Z_NO_FLUSH;
    do {
      const size_t old = out.size();
      out.resize(old + kDeflateChunk);
      zs.next_out = out.data() + old;
      zs.avail_out = static_cast<uInt>(kDeflateChunk);
      const int rc = deflate(&zs, flush);
      out.resize(old + kDeflateChunk - zs.avail_out);
      if (rc == Z_STREAM_ERROR) {
        deflateEnd(&zs);
        throw std::bad_alloc();
      }
    } while (zs.avail_out == 0);
  }
  deflateEnd(&zs);
  return out;
}

Result<std::vector<uint8_t>> GzipDecompress(std::span<const uint8_t> data, uint64_t max_output) {
  if (!HasGzipMagic(data)) return std::vector<uint8_t>(data.begin(), data.end());
  size_t pos = 0;
  GzipReader reader(
      [&](uint8_t* buf, size_t capacity, size_t* got) {
        *got = std::min(capacity, data.size() - pos);
        if (*got) std::memcpy(buf, data.data() + pos, *got);
        pos += *got;
        return true;
      },
      max_output);
  std::vector<uint8_t> out;
  // Start near the likely inflated size; larger outputs grow in big steps.
  size_t chunk = std::clamp<size_t>(data.size() * 4, 4096, 256 * 1024);
  for (;;) {
    const size_t old = out.size();
    out.resize(old + chunk);
    const size_t got = reader.Read(out.data() + old, chunk);
    out.resize(old + got);
    if (got < chunk) break;
    chunk = 256 * 1024;
  }
  if (!reader.status().ok()) return reader.status();
  out.shrink_to_fit();
  return out;
}

struct GzipReader::Inflater {
  z_stream zs{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&zs);
  }
};

GzipReader::GzipReader(Source source, uint64_t max_output)
    : source_(std::move(source)), max_output_(max_output), z_(std::make_unique<Inflater>()) {
  if (inflateInit2(&z_->zs, kGzipWindowBits) != Z_OK) {
    Fail(Status::IoError("gzip reader could not be set up"));
    return;
  }
  z_->ready = true;
}

GzipReader::~GzipReader() = default;

void GzipReader::Fail(Status status) {
  if (state_ == State::kFailed) return;
  status_ = std::move(status);
  state_ = State::kFailed;
}

bool GzipReader::Fill() {
  if (source_end_ || state_ == State::kFailed) return false;
  if (in_.empty()) in_.resize(kInputBufferSize);  // only once something is read
  if (in_pos_ == in_len_) {
    consumed_ += in_len_;
    in_pos_ = in_len_ = 0;
  } else if (in_pos_ > 0) {
    std::memmove(in_.data(), in_.data() + in_pos_, in_len_ - in_pos_);
    consumed_ += in_pos_;
    in_len_ -= in_pos_;
    in_pos_ = 0;
  }
  size_t got = 0;
  if (!source_(in_.data() + in_len_, in_.size() - in_len_, &got)) {
    Fail(Status::IoError("read error " + OffsetText(consumed_ + in_len_)));
    return false;
  }
  if (got == 0) {
    source_end_ = true;
    return false;
  }
  in_len_ += std::min(got, in_.size() - in_len_);
  return true;
}

bool GzipReader::EnsureInput(size_t n) {
  while (in_len_ - in_pos_ < n) {
    if (!Fill()) return false;
  }
  return true;
}

void GzipReader::DecideStart() {
  const bool have = EnsureInput(2);
  if (state_ == State::kFailed) return;
  state_ = have && HasGzipMagic({in_.data() + in_pos_, 2}) ? State::kMember : State::kPassthrough;
}

void GzipReader::DecideNextMember() {
  const bool have = EnsureInput(2);
  if (state_ == State::kFailed) return;
  if (have && HasGzipMagic({in_.data() + in_pos_, 2})) {
    inflateReset(&z_->zs);
    state_ = State::kMember;
  } else {
    state_ = State::kDone;  // Trailing bytes that start no member are ignored.
  }
}

size_t GzipReader::Read(void* buf, size_t n) {
  if (n == 0 || buf == nullptr) return 0;
  if (state_ == State::kStart) DecideStart();
  auto* out = static_cast<uint8_t*>(buf);
  switch (state_) {
    case State::kPassthrough:
      return ReadPassthrough(out, n);
    case State::kMember:
      return ReadInflate(out, n);
    default:
      return 0;
  }
}

size_t GzipReader::ReadPassthrough(uint8_t* out, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (in_pos_ == in_len_ && !Fill()) break;
    const size_t take = std::min(n - done, in_len_ - in_pos_);
    std::memcpy(out + done, in_.data() + in_pos_, take);
    in_pos_ += take;
    done += take;
  }
  produced_ += done;
  return done;
}

size_t GzipReader::ReadInflate(uint8_t* out, size_t n) {
  z_stream& zs = z_->zs;
  size_t done = 0;
  uint8_t probe = 0;
  while (done < n && state_ == State::kMember) {
    if (in_pos_ == in_len_ && !Fill()) {
      if (state_ != State::kFailed) {
        Fail(Status::Corrupt("gzip stream truncated " + OffsetText(consumed_ + in_len_)));
      }
      break;
    }
    // Past the cap, inflate into a one-byte probe: any output is too much.
    const uint64_t allowed = max_output_ - std::min(max_output_, produced_ + done);
    const bool probing = allowed == 0;
    const size_t room = probing ? 1 : static_cast<size_t>(std::min<uint64_t>(n - done, allowed));
    const size_t slice = std::min<size_t>(room, UINT32_MAX);
    zs.next_in = in_.data() + in_pos_;
    zs.avail_in = static_cast<uInt>(in_len_ - in_pos_);
    zs.next_out = probing ? &probe : out + done;
    zs.avail_out = static_cast<uInt>(slice);
    const size_t before = in_pos_;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const size_t made = slice - zs.avail_out;
    in_pos_ = in_len_ - zs.avail_in;
    if (rc == Z_BUF_ERROR && made == 0 && in_pos_ == before) {
      Fail(Status::Corrupt("gzip stream stalled " + OffsetText(consumed_ + in_pos_)));
      break;
    }
    if (probing && made > 0) {
      Fail(
          Status::Corrupt("gzip stream inflates beyond " + std::to_string(max_output_) + " bytes"));
      break;
    }
    if (!probing) done += made;
    if (rc == Z_STREAM_END) {
      DecideNextMember();
    } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
      const char* why = zs.msg ? zs.msg : "invalid deflate data";
      Fail(Status::Corrupt(std::string("gzip stream damaged ") + OffsetText(consumed_ + in_pos_) +
                           ": " + why));
    } else if (rc == Z_MEM_ERROR) {
      Fail(Status::IoError("out of memory while inflating"));
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      Fail(Status::Corrupt("gzip stream damaged " + OffsetText(consumed_ + in_pos_)));
    }
  }
  produced_ += done;
  return done;
}

}  // namespace tavelnor::dico
