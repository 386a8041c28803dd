// Helpers of the record manager's tests: a scratch folder, creation
// specifications built field by field, and a position block with typed calls.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "btrieve/btrcall.h"
#include "btrieve/btrieve_codes.h"
#include "btrieve/file_spec.h"
#include "foundation/platform/process.h"

namespace tavelnor::btrieve::testing {

struct SegmentDef {
  uint16_t position;  // from 1
  uint16_t length;
  uint16_t flags;
  uint8_t type;
  uint8_t null_byte = 0;
};

// A creation specification: keys are lists of segments (the SEG flag is added).
inline std::vector<uint8_t> MakeSpec(uint16_t record_length,
                                     const std::vector<std::vector<SegmentDef>>& keys,
                                     uint16_t file_flags = 0, uint16_t page_size = 1024) {
  std::vector<uint8_t> out(16, 0);
  out[0] = static_cast<uint8_t>(record_length);
  out[1] = static_cast<uint8_t>(record_length >> 8);
  out[2] = static_cast<uint8_t>(page_size);
  out[3] = static_cast<uint8_t>(page_size >> 8);
  out[4] = static_cast<uint8_t>(keys.size());
  out[10] = static_cast<uint8_t>(file_flags);
  out[11] = static_cast<uint8_t>(file_flags >> 8);
  for (const auto& key : keys) {
    for (size_t i = 0; i < key.size(); ++i) {
      const SegmentDef& s = key[i];
      uint16_t flags =
          static_cast<uint16_t>(s.flags | kKeyExtType | (i + 1 < key.size() ? kKeySegmented : 0));
      uint8_t seg[16] = {static_cast<uint8_t>(s.position), static_cast<uint8_t>(s.position >> 8),
                         static_cast<uint8_t>(s.length), static_cast<uint8_t>(s.length >> 8),
                         static_cast<uint8_t>(flags), static_cast<uint8_t>(flags >> 8),
                         0, 0, 0, 0, s.type, s.null_byte};
      out.insert(out.end(), seg, seg + 16);
    }
  }
  return out;
}

// An alternate collating sequence block named `name` that reverses byte order.
inline std::vector<uint8_t> ReverseAcs(const char* name) {
  std::vector<uint8_t> block(kAcsBlockSize, 0);
  block[0] = 0xAC;
  std::memcpy(block.data() + 1, name, std::strlen(name));
  for (int i = 0; i < 256; ++i) block[9 + i] = static_cast<uint8_t>(255 - i);
  return block;
}

// A scratch folder removed at the end of the test. It lives in memory where
// the system offers a RAM file system: every write syncs, and these tests
// check behaviour, not durability.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::error_code ec;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                     ? std::filesystem::path("/dev/shm")
                                     : std::filesystem::temp_directory_path();
    // The process id keeps concurrent runs of the suite (other build trees)
    // out of each other's files.
    std::string name = "tavelnor-btr-" + std::to_string(platform::CurrentProcessId()) + "-" +
                       info->test_suite_name() + "-" + info->name();
    std::replace(name.begin(), name.end(), '/', '_');  // parameterised names hold slashes
    path_ = base / name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// One position block and the calls a test makes through it.
class Block {
 public:
  uint8_t pos[128] = {};
  uint8_t key[255] = {};
  uint32_t len = 0;
  const uint8_t* client = nullptr;  // 16-byte client id (BTRCALLID); null: BTRCALL

  int16_t Call(int op, void* data, uint32_t* data_len, int key_num, uint8_t key_len = 255) {
    if (client != nullptr) {
      return BTRCALLID(static_cast<uint16_t>(op), pos, data, data_len, key, key_len,
                       static_cast<int8_t>(key_num), client);
    }
    return BTRCALL(static_cast<uint16_t>(op), pos, data, data_len, key, key_len,
                   static_cast<int8_t>(key_num));
  }
  void SetKey(const void* p, size_t n) {
    std::memset(key, 0, sizeof key);
    std::memcpy(key, p, n);
  }
  void SetPath(const std::string& path) { SetKey(path.c_str(), path.size() + 1); }

  int16_t Create(const std::string& path, std::vector<uint8_t> spec, int mode = 0) {
    SetPath(path);
    len = static_cast<uint32_t>(spec.size());
    return Call(kOpCreate, spec.data(), &len, mode);
  }
  int16_t Open(const std::string& path, int mode = 0, const std::string& owner = "") {
    SetPath(path);
    std::vector<char> name(owner.begin(), owner.end());
    name.push_back('\0');
    len = owner.empty() ? 0 : static_cast<uint32_t>(name.size());
    return Call(kOpOpen, name.data(), &len, mode);
  }
  int16_t Close() {
    len = 0;
    return Call(kOpClose, nullptr, &len, 0);
  }
  // Writes with a record of the file's length.
  int16_t Write(int op, std::vector<uint8_t>& record, int key_num) {
    len = static_cast<uint32_t>(record.size());
    return Call(op, record.data(), &len, key_num);
  }
  // Reads into `record` (resized to `capacity` first, then to the length).
  int16_t Read(int op, std::vector<uint8_t>* record, int key_num, size_t capacity = 512) {
    record->assign(capacity, 0);
    len = static_cast<uint32_t>(capacity);
    int16_t st = Call(op, record->data(), &len, key_num);
    if (st == 0) record->resize(len);
    return st;
  }
  // Stat into a buffer cut to the length returned; the call must succeed.
  std::vector<uint8_t> Stat(int key_num = -1) {
    std::vector<uint8_t> out(4096);
    len = static_cast<uint32_t>(out.size());
    EXPECT_EQ(Call(kOpStat, out.data(), &len, key_num), 0);
    out.resize(len);
    return out;
  }
  uint32_t Position() {
    uint8_t b[4] = {};
    len = 4;
    EXPECT_EQ(Call(kOpGetPosition, b, &len, 0), 0);
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
  }
};

}  // namespace tavelnor::btrieve::testing
