// Archive container: buffered reader, validating parser and writer. The
// layout is described in archive.h.
#include "foundation/archive.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "foundation/platform/files.h"

namespace tavelnor {

// ---------------------------------------------------------------------------
// ArchiveReader

ArchiveReader::ArchiveReader(std::span<const uint8_t> bytes)
    : window_(bytes.data()), window_size_(bytes.size()), size_(bytes.size()) {}

Status ArchiveReader::Open(const std::string& path) {
  if (file_.is_open()) file_.close();
  file_.clear();
  window_ = nullptr;
  window_size_ = pos_ = 0;
  base_ = size_ = 0;
  from_file_ = io_error_ = false;

  // Our own buffer is the only one: the stream reads straight into it.
  file_.rdbuf()->pubsetbuf(nullptr, 0);
  file_.open(path, std::ios::binary | std::ios::in);
  // Through the platform seam, which reads the path in the system's 8-bit
  // encoding as the stream does (std::filesystem would not on Windows).
  if (!file_.is_open()) {
    if (!platform::FileExists(path) && !platform::DirectoryExists(path)) {
      return Status::NotFound("no file " + path);
    }
    return Status::IoError("cannot open " + path);
  }
  if (!platform::RegularFileExists(path)) {
    file_.close();
    return Status::IoError(path + " is not a regular file");
  }
  file_.seekg(0, std::ios::end);
  const std::streamoff end = file_.tellg();
  file_.seekg(0, std::ios::beg);
  if (end < 0 || !file_) {
    file_.close();
    return Status::IoError("cannot measure " + path);
  }
  buffer_.resize(kBufferSize);
  window_ = buffer_.data();
  size_ = static_cast<uint64_t>(end);
  from_file_ = true;
  return Status::Ok();
}

bool ArchiveReader::Refill() {
  base_ += window_size_;
  pos_ = 0;
  window_size_ = 0;
  if (!from_file_ || io_error_) return false;
  const auto n = static_cast<size_t>(std::min<uint64_t>(kBufferSize, size_ - base_));
  if (n == 0) return false;
  file_.read(reinterpret_cast<char*>(buffer_.data()), static_cast<std::streamsize>(n));
  if (file_.gcount() != static_cast<std::streamsize>(n)) {
    io_error_ = true;
    return false;
  }
  window_size_ = n;
  return true;
}

bool ArchiveReader::ReadBytes(uint8_t* out, size_t n) {
  if (n > Remaining()) return false;
  while (n > 0) {
    size_t avail = window_size_ - pos_;
    if (avail == 0) {
      if (from_file_ && n >= kBufferSize && !io_error_) {
        // Large read: skip the buffer and fill the caller's memory directly.
        base_ += window_size_;
        pos_ = window_size_ = 0;
        file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
        if (file_.gcount() != static_cast<std::streamsize>(n)) {
          io_error_ = true;
          return false;
        }
        base_ += n;
        return true;
      }
      if (!Refill()) {
        io_error_ = true;  // the size promised more bytes than arrived
        return false;
      }
      avail = window_size_;
    }
    const size_t take = std::min(avail, n);
    std::memcpy(out, window_ + pos_, take);
    pos_ += take;
    out += take;
    n -= take;
  }
  return true;
}

bool ArchiveReader::ReadString(size_t n, std::string* out) {
  if (n > Remaining()) return false;
  if (n == 0) {
    out->clear();
    return true;
  }
  if (window_size_ - pos_ >= n) {
    out->assign(reinterpret_cast<const char*>(window_ + pos_), n);
    pos_ += n;
    return true;
  }
  out->resize(n);
  return ReadBytes(reinterpret_cast<uint8_t*>(out->data()), n);
}

// ---------------------------------------------------------------------------
// Parser

namespace {

class Parser {
 public:
  Parser(ArchiveReader& in, ArchiveVisitor& visitor) : in_(in), visitor_(visitor) {}

  Status Run() {
    char magic[4];
    if (Status s = Bytes(magic, 4, "archive magic"); !s.ok()) return s;
    if (std::memcmp(magic, kArchiveMagic, 4) != 0) return Damage(0, "bad archive magic");
    uint16_t version = 0, flags = 0;
    if (Status s = Get(&version, "format version"); !s.ok()) return s;
    if (version != kArchiveVersion) {
      return Status::Unsupported("archive format version " + std::to_string(version) +
                                 " at offset 4");
    }
    if (Status s = Get(&flags, "archive flags"); !s.ok()) return s;
    if (flags != 0) return Damage(6, "unknown archive flags " + std::to_string(flags));
    uint32_t sections = 0;
    if (Status s = Count(&sections, kArchiveMinNodeSize, "section count"); !s.ok()) return s;
    std::string previous;
    for (uint32_t i = 0; i < sections; ++i) {
      if (Status s = Node(1, &previous); !s.ok()) return s;
    }
    if (!in_.AtEnd()) {
      return Damage(in_.Offset(), std::to_string(in_.Remaining()) + " trailing bytes");
    }
    return Status::Ok();
  }

 private:
  // One node at `level`; *previous holds the preceding sibling's name (empty
  // for the first) and receives this node's name.
  Status Node(int level, std::string* previous) {
    const uint64_t start = in_.Offset();
    uint8_t name_length = 0;
    if (Status s = Get(&name_length, "node name length"); !s.ok()) return s;
    if (name_length == 0) return Damage(start, "empty node name");
    std::string name;
    if (Status s = String(name_length, &name, "node name"); !s.ok()) return s;
    if (name <= *previous) return Damage(start, "node \"" + name + "\" out of order or repeated");

    uint8_t texts = 0;
    if (Status s = Get(&texts, "text count"); !s.ok()) return s;
    const uint64_t texts_at = in_.Offset();
    if (texts * kArchiveMinTextSize > in_.Remaining()) {
      return Damage(texts_at - 1, "text count " + std::to_string(texts) + " exceeds the " +
                                      std::to_string(in_.Remaining()) + " bytes remaining");
    }
    visitor_.EnterNode(name, texts);
    int last_lang = -1;
    std::string text;
    for (unsigned i = 0; i < texts; ++i) {
      const uint64_t text_at = in_.Offset();
      uint16_t lang = 0;
      uint32_t length = 0;
      if (Status s = Get(&lang, "language"); !s.ok()) return s;
      if (static_cast<int>(lang) <= last_lang) {
        return Damage(text_at, "language " + std::to_string(lang) + " out of order or repeated");
      }
      if (Status s = Get(&length, "text length"); !s.ok()) return s;
      if (Status s = String(length, &text, "text"); !s.ok()) return s;
      visitor_.Text(lang, std::move(text));
      text.clear();
      last_lang = lang;
    }

    uint32_t children = 0;
    if (Status s = Count(&children, kArchiveMinNodeSize, "child count"); !s.ok()) return s;
    if (children > 0 && level >= kArchiveMaxDepth) {
      return Damage(in_.Offset() - 4,
                    "nesting deeper than " + std::to_string(kArchiveMaxDepth) + " levels");
    }
    std::string previous_child;
    for (uint32_t i = 0; i < children; ++i) {
      if (Status s = Node(level + 1, &previous_child); !s.ok()) return s;
    }
    visitor_.LeaveNode();
    *previous = std::move(name);
    return Status::Ok();
  }

  Status Damage(uint64_t at, const std::string& what) {
    return Status::Corrupt(what + " at offset " + std::to_string(at));
  }

  Status ReadFailed(uint64_t at, uint64_t need, const char* what) {
    if (in_.io_error()) return Status::IoError("read failed near offset " + std::to_string(at));
    return Status::Corrupt(std::string(what) + " truncated at offset " + std::to_string(at) + " (" +
                           std::to_string(need) + " bytes needed, " +
                           std::to_string(in_.Remaining()) + " remain)");
  }

  template <typename T>
  Status Get(T* out, const char* what) {
    const uint64_t at = in_.Offset();
    bool ok;
    if constexpr (sizeof(T) == 1) {
      ok = in_.ReadU8(out);
    } else if constexpr (sizeof(T) == 2) {
      ok = in_.ReadU16(out);
    } else {
      ok = in_.ReadU32(out);
    }
    return ok ? Status::Ok() : ReadFailed(at, sizeof(T), what);
  }

  // A count of items each at least `min_size` bytes long, checked against
  // the bytes that remain so that no absurd count is ever acted on.
  Status Count(uint32_t* out, uint64_t min_size, const char* what) {
    const uint64_t at = in_.Offset();
    if (Status s = Get(out, what); !s.ok()) return s;
    if (*out * min_size > in_.Remaining()) {
      return Damage(at, std::string(what) + " " + std::to_string(*out) + " exceeds the " +
                            std::to_string(in_.Remaining()) + " bytes remaining");
    }
    return Status::Ok();
  }

  Status Bytes(char* out, size_t n, const char* what) {
    const uint64_t at = in_.Offset();
    if (in_.ReadBytes(reinterpret_cast<uint8_t*>(out), n)) return Status::Ok();
    return ReadFailed(at, n, what);
  }

  Status String(size_t n, std::string* out, const char* what) {
    const uint64_t at = in_.Offset();
    if (in_.ReadString(n, out)) return Status::Ok();
    return ReadFailed(at, n, what);
  }

  ArchiveReader& in_;
  ArchiveVisitor& visitor_;
};

}  // namespace

Status ReadArchive(ArchiveReader& in, ArchiveVisitor& visitor) { return Parser(in, visitor).Run(); }

// ---------------------------------------------------------------------------
// ArchiveWriter

ArchiveWriter::ArchiveWriter() {
  out_.buffer().reserve(4096);  // also spares GCC 12 a false -Wstringop-overflow on the first insert
  out_.Bytes(kArchiveMagic, 4);
  out_.U16(kArchiveVersion);
  out_.U16(0);
  Frame archive;
  archive.children_started = true;
  archive.child_count_pos = out_.Size();
  out_.U32(0);
  stack_.push_back(std::move(archive));
}

void ArchiveWriter::Fail(std::string message) {
  if (error_.ok()) error_ = Status::InvalidArgument(std::move(message));
}

void ArchiveWriter::StartChildren(Frame& frame) {
  if (frame.children_started) return;
  frame.children_started = true;
  frame.child_count_pos = out_.Size();
  out_.U32(0);
}

void ArchiveWriter::BeginNode(std::string_view name) {
  if (!error_.ok()) return;
  if (finished_) return Fail("archive writer already finished");
  if (name.empty() || name.size() > kArchiveMaxNameLength) {
    return Fail("node name of " + std::to_string(name.size()) + " bytes");
  }
  if (stack_.size() > static_cast<size_t>(kArchiveMaxDepth)) {
    return Fail("nesting deeper than " + std::to_string(kArchiveMaxDepth) + " levels");
  }
  Frame& parent = stack_.back();
  if (name <= std::string_view(parent.last_child)) {
    return Fail("node \"" + std::string(name) + "\" out of order or repeated");
  }
  if (parent.children == std::numeric_limits<uint32_t>::max()) return Fail("too many children");
  StartChildren(parent);
  ++parent.children;
  parent.last_child.assign(name);

  out_.U8(static_cast<uint8_t>(name.size()));
  out_.Text(name);
  Frame node;
  node.text_count_pos = out_.Size();
  out_.U8(0);
  stack_.push_back(std::move(node));
}

void ArchiveWriter::Text(uint16_t lang, std::string_view text) {
  if (!error_.ok()) return;
  if (finished_ || stack_.size() < 2) return Fail("text outside a node");
  Frame& node = stack_.back();
  if (node.children_started) return Fail("text after a child node");
  if (node.texts == kArchiveMaxTexts) return Fail("more than 255 texts in one node");
  if (static_cast<int>(lang) <= node.last_lang) {
    return Fail("language " + std::to_string(lang) + " out of order or repeated");
  }
  if (text.size() > std::numeric_limits<uint32_t>::max()) return Fail("text too long");
  out_.U16(lang);
  out_.U32(static_cast<uint32_t>(text.size()));
  out_.Text(text);
  ++node.texts;
  node.last_lang = lang;
}

void ArchiveWriter::EndNode() {
  if (!error_.ok()) return;
  if (finished_ || stack_.size() < 2) return Fail("EndNode without BeginNode");
  Frame& node = stack_.back();
  StartChildren(node);
  out_.buffer()[node.text_count_pos] = static_cast<uint8_t>(node.texts);
  StoreLE32(out_.buffer().data() + node.child_count_pos, node.children);
  stack_.pop_back();
}

Result<std::vector<uint8_t>> ArchiveWriter::Finish() {
  if (finished_) return Status::InvalidArgument("archive writer already finished");
  finished_ = true;
  if (!error_.ok()) return error_;
  if (stack_.size() != 1) {
    return Status::InvalidArgument(std::to_string(stack_.size() - 1) + " nodes left open");
  }
  StoreLE32(out_.buffer().data() + stack_[0].child_count_pos, stack_[0].children);
  stack_.clear();
  return out_.Take();
}

Status WriteArchiveFile(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!file.is_open()) return Status::IoError("cannot create " + path);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) return Status::IoError("cannot write " + path);
  return Status::Ok();
}

}  // namespace tavelnor
