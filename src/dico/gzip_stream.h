// Gzip (RFC 1952) reading and writing over zlib.
//
// GzipReader inflates a byte source pulled on demand. A source that does not
// start with the gzip magic 1F 8B is passed through unchanged, so the same
// reader serves compressed and plain dictionaries. Concatenated members are
// read one after the other; bytes after a complete member that do not start a
// new member are ignored, as gzip tools do. A member cut short, a damaged
// deflate stream or a wrong CRC/length trailer stops the reader with a Corrupt
// status. Inflated output is capped: past the cap the reader stops with a
// Corrupt status instead of filling memory (a "gzip bomb").
//
// Thread-safety: none; one reader belongs to one caller.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::dico {

// Default cap on the inflated size of one stream: 1 GiB.
inline constexpr uint64_t kMaxInflatedSize = uint64_t{1} << 30;

// True when `data` starts with the gzip magic bytes 1F 8B.
bool HasGzipMagic(std::span<const uint8_t> data);

// Compresses `data` into one gzip member (deflate, zlib's default level).
// Throws std::bad_alloc when zlib cannot get memory.
std::vector<uint8_t> GzipCompress(std::span<const uint8_t> data);

// Inflates every gzip member of `data`, or returns `data` unchanged when it
// does not start with the gzip magic. Corrupt when the stream is damaged,
// truncated or inflates beyond `max_output` bytes.
Result<std::vector<uint8_t>> GzipDecompress(std::span<const uint8_t> data,
                                            uint64_t max_output = kMaxInflatedSize);

class GzipReader {
 public:
  // Fills `buf` with up to `capacity` bytes, stores the count in `*got` (0 at
  // the end of the source) and answers false on a read error.
  using Source = std::function<bool(uint8_t* buf, size_t capacity, size_t* got)>;

  // The source is pulled only from Read(); nothing is read here. Check
  // status() after construction: it is an error when zlib could not be set up.
  explicit GzipReader(Source source, uint64_t max_output = kMaxInflatedSize);
  ~GzipReader();
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  // Reads up to `n` bytes of output into `buf` and returns the count. A count
  // below `n` means the end of the stream or an error; status() tells which.
  size_t Read(void* buf, size_t n);

  // Ok until an error stopped the reader; an error stays.
  const Status& status() const { return status_; }
  // True once the source was found to hold no gzip member (pass-through).
  bool passthrough() const { return state_ == State::kPassthrough; }
  // Output bytes handed out so far.
  uint64_t produced() const { return produced_; }

 private:
  enum class State { kStart, kMember, kBetweenMembers, kPassthrough, kDone, kFailed };

  bool Fill();                 // Pulls more input; false at end or on error.
  bool EnsureInput(size_t n);  // Tries to hold at least n unread input bytes.
  void DecideStart();          // Chooses gzip or pass-through.
  void DecideNextMember();     // After a member: next member or end.
  size_t ReadPassthrough(uint8_t* out, size_t n);
  size_t ReadInflate(uint8_t* out, size_t n);
  void Fail(Status status);

  struct Inflater;
  Source source_;
  uint64_t max_output_;
  std::unique_ptr<Inflater> z_;
  std::vector<uint8_t> in_;  // Input buffer; [in_pos_, in_len_) is unread.
  size_t in_pos_ = 0;
  size_t in_len_ = 0;
  uint64_t consumed_ = 0;  // Input bytes before in_[0], for error offsets.
  bool source_end_ = false;
  uint64_t produced_ = 0;
  State state_ = State::kStart;
  Status status_;
};

}  // namespace tavelnor::dico
