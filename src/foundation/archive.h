// The archive container: named sections, each a tree of named nodes that
// carry one 8-bit text per language identifier. Translation files use it.
//
// Layout (all integers little-endian):
//
//   Header, at offset 0:
//   | Offset | Size | Meaning                                              |
//   |--------|------|------------------------------------------------------|
//   | 0      | 4    | magic "TVAR"                                         |
//   | 4      | 2    | format version, 1                                    |
//   | 6      | 2    | flags, 0 (any other value is damage)                 |
//   | 8      | 4    | section count S                                      |
//   | 12     | ...  | S nodes, the sections (level 1)                      |
//
//   Node (a section or a child; sizes relative to the node's start):
//   | Offset   | Size | Meaning                                            |
//   |----------|------|----------------------------------------------------|
//   | 0        | 1    | name length N, 1..255                              |
//   | 1        | N    | name bytes (Windows-1252, not terminated)          |
//   | 1+N      | 1    | text count T, 0..255                               |
//   | 2+N      | ...  | T texts                                            |
//   | ...      | 4    | child count C                                      |
//   | ...      | ...  | C child nodes, one level deeper                    |
//
//   Text:
//   | Offset | Size | Meaning                                              |
//   |--------|------|------------------------------------------------------|
//   | 0      | 2    | Windows language identifier (1036 French, ...)       |
//   | 2      | 4    | text length L                                        |
//   | 6      | L    | text bytes (Windows-1252, not terminated)            |
//
// Rules, all checked by the reader: siblings (sections included) appear in
// strictly increasing byte order of their names, so names are unique among
// siblings; the texts of a node appear in strictly increasing language order;
// nesting is at most kArchiveMaxDepth levels (a section is level 1); the last
// section ends exactly at the end of the file. A valid archive therefore has
// exactly one encoding, and writing back what was read gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/byte_reader.h"
#include "foundation/status.h"

namespace tavelnor {

inline constexpr char kArchiveMagic[4] = {'T', 'V', 'A', 'R'};
inline constexpr uint16_t kArchiveVersion = 1;
inline constexpr size_t kArchiveHeaderSize = 12;
inline constexpr size_t kArchiveMaxNameLength = 255;
inline constexpr size_t kArchiveMaxTexts = 255;
inline constexpr int kArchiveMaxDepth = 64;
// Smallest encodings, used to bound counts against the bytes that remain.
inline constexpr uint64_t kArchiveMinNodeSize = 7;  // 1-byte name, no text, no child
inline constexpr uint64_t kArchiveMinTextSize = 6;  // empty text

// Buffered, bounds-checked sequential reader over a file or over bytes in
// memory. Every read either completes or fails; a read that would pass the end
// fails without moving the cursor. A file is read through one buffer of
// kBufferSize bytes; memory is read in place (the caller keeps it alive).
// Not thread-safe.
class ArchiveReader {
 public:
  static constexpr size_t kBufferSize = 4096;

  ArchiveReader() = default;
  explicit ArchiveReader(std::span<const uint8_t> bytes);
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Opens a file for reading from its start. NotFound when the file does not
  // exist, IoError when it cannot be opened or measured.
  Status Open(const std::string& path);

  uint64_t Offset() const { return base_ + pos_; }
  uint64_t Size() const { return size_; }
  uint64_t Remaining() const { return size_ - Offset(); }
  bool AtEnd() const { return Remaining() == 0; }
  // True once the file failed to deliver bytes it claimed to hold; the reader
  // is then unusable and its position undefined.
  bool io_error() const { return io_error_; }

  bool ReadU8(uint8_t* out) {
    if (pos_ < window_size_) {
      *out = window_[pos_++];
      return true;
    }
    return ReadBytes(out, 1);
  }
  bool ReadU16(uint16_t* out) {
    uint8_t b[2];
    if (window_size_ - pos_ >= 2) {
      *out = LoadLE16(window_ + pos_);
      pos_ += 2;
      return true;
    }
    if (!ReadBytes(b, 2)) return false;
    *out = LoadLE16(b);
    return true;
  }
  bool ReadU32(uint32_t* out) {
    uint8_t b[4];
    if (window_size_ - pos_ >= 4) {
      *out = LoadLE32(window_ + pos_);
      pos_ += 4;
      return true;
    }
    if (!ReadBytes(b, 4)) return false;
    *out = LoadLE32(b);
    return true;
  }
  bool ReadBytes(uint8_t* out, size_t n);
  // Replaces *out with the next n bytes.
  bool ReadString(size_t n, std::string* out);

 private:
  bool Refill();

  std::ifstream file_;
  std::vector<uint8_t> buffer_;      // kBufferSize bytes when reading a file
  const uint8_t* window_ = nullptr;  // bytes available from base_ on
  size_t window_size_ = 0;
  size_t pos_ = 0;     // cursor inside the window
  uint64_t base_ = 0;  // archive offset of window_[0]
  uint64_t size_ = 0;
  bool from_file_ = false;
  bool io_error_ = false;
};

// Receives the content of an archive in file order. Level 1 nodes are the
// sections. Called only for content that passed the checks read so far; a
// read that fails later still leaves the visitor with a partial tree, which
// the caller discards.
class ArchiveVisitor {
 public:
  virtual ~ArchiveVisitor() = default;
  // `texts` is the number of Text calls that follow for this node.
  virtual void EnterNode(std::string_view name, size_t texts) = 0;
  virtual void Text(uint16_t lang, std::string text) = 0;
  virtual void LeaveNode() = 0;
};

// Reads a whole archive from the reader's current position (its start).
// Damage is Corrupt with the offset where it was seen; an unknown format
// version is Unsupported; a failing file is IoError.
Status ReadArchive(ArchiveReader& in, ArchiveVisitor& visitor);

// Builds an archive in memory. Calls nest: BeginNode ... EndNode, with a
// node's texts before its first child; top-level nodes are the sections.
// The first misuse (bad or out-of-order name, text after a child, unbalanced
// calls, limits exceeded) is remembered and returned by Finish, so whatever
// Finish accepts reads back unchanged.
class ArchiveWriter {
 public:
  ArchiveWriter();
  void BeginNode(std::string_view name);
  void Text(uint16_t lang, std::string_view text);
  void EndNode();
  // The finished archive, or InvalidArgument for the first misuse. The writer
  // is spent afterwards.
  Result<std::vector<uint8_t>> Finish();

 private:
  struct Frame {
    size_t text_count_pos = 0;  // where the node's text count sits
    size_t child_count_pos = 0;
    uint32_t texts = 0;
    uint32_t children = 0;
    int last_lang = -1;
    bool children_started = false;
    std::string last_child;
  };
  void Fail(std::string message);
  void StartChildren(Frame& frame);

  ByteWriter out_;
  std::vector<Frame> stack_;  // stack_[0] is the archive itself
  Status error_;
  bool finished_ = false;
};

// Writes bytes to a file, replacing it. IoError when that fails.
Status WriteArchiveFile(const std::string& path, std::span<const uint8_t> bytes);

}  // namespace tavelnor
