// BtrvFile: the record operations and the transactions.
#include <algorithm>
#include <cstring>
#include <vector>

#include "data/btrv_constants.h"
#include "data/btrv_execute.h"
#include "data/btrv_file.h"
#include "data/data_context.h"

namespace tavelnor::data {

namespace {

void Put32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

int32_t Load32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) |
                              (static_cast<uint32_t>(p[3]) << 24));
}

// Record reads take the file's record length as their data length, and the
// length written back becomes the next read's. A read that delivers nothing
// answers a length of 0, which is not kept: the next read still asks for a
// whole record.
void KeepReadLength(uint16_t returned, uint16_t* record_length) {
  if (returned != 0) *record_length = returned;
}

}  // namespace

int16_t BtrvFile::Insert(void* data, uint16_t length, void* key, int16_t key_num) {
  uint16_t len = length;
  const int16_t status = Execute(btrieve::kOpInsert, data, &len, key, key_num);
  if (key_num != -1) current_key_ = key_num;
  return status;
}

int16_t BtrvFile::Update(void* data, uint16_t length, void* key, int16_t key_num) {
  uint16_t len = length;
  return Execute(btrieve::kOpUpdate, data, &len, key, key_num);
}

int16_t BtrvFile::Delete() {
  uint16_t len = 0;
  return Execute(btrieve::kOpDelete, nullptr, &len, nullptr, 0);
}

int16_t BtrvFile::Get(uint16_t operation, void* data, void* key, int16_t key_num,
                      uint16_t lock_bias, uint16_t offset, bool quiet) {
  uint8_t local_key[kKeyBufferSize] = {};
  if (key == nullptr) key = local_key;
  if (operation == btrieve::kOpGetFirst || operation == btrieve::kOpGetLast) {
    std::memset(key, 0, kKeyBufferSize);
  }
  uint16_t length = record_length_;
  const int16_t status = Execute(static_cast<uint16_t>(operation + offset), data, &length, key,
                                 key_num, lock_bias, quiet);
  KeepReadLength(length, &record_length_);
  if (key_num != -1) current_key_ = key_num;
  return status;
}

int16_t BtrvFile::Step(uint16_t operation, void* data, uint16_t lock_bias, uint16_t offset) {
  current_key_ = -1;
  uint16_t length = record_length_;
  const int16_t status =
      Execute(static_cast<uint16_t>(operation + offset), data, &length, nullptr, -1, lock_bias);
  KeepReadLength(length, &record_length_);
  return status;
}

int32_t BtrvFile::GetPosition() {
  uint8_t position[4] = {};
  uint16_t len = sizeof position;
  if (Execute(btrieve::kOpGetPosition, position, &len, nullptr, 0) != 0) return -1;
  return Load32(position);
}

int16_t BtrvFile::GetDirect(int32_t position, void* data, void* key, int16_t key_num,
                            uint16_t lock_bias) {
  int16_t status = 0;
  if (data != nullptr && record_length_ < 5) {
    uint8_t local[4] = {};
    Put32(local, position);
    uint16_t len = sizeof local;
    status = Execute(btrieve::kOpGetDirect, local, &len, key, key_num, lock_bias);
    std::memcpy(data, local, record_length_);
  } else if (data != nullptr) {
    Put32(static_cast<uint8_t*>(data), position);
    uint16_t length = record_length_;
    status = Execute(btrieve::kOpGetDirect, data, &length, key, key_num, lock_bias);
    KeepReadLength(length, &record_length_);
  } else {
    uint16_t len = RepositionLength(RecordManagerVersion(), record_length_);
    std::vector<uint8_t> scratch(std::max<size_t>(4, record_length_), 0);
    Put32(scratch.data(), position);
    status = Execute(btrieve::kOpGetDirect, scratch.data(), &len, key, key_num, lock_bias);
  }
  if (status == 0) current_key_ = key_num;
  return status;
}

int16_t BtrvFile::Unlock(bool all_multiple) {
  uint16_t len = 0;
  return Execute(btrieve::kOpUnlock, nullptr, &len, nullptr, all_multiple ? -2 : 1);
}

int16_t BtrvFile::SetOwner(std::string_view owner, int16_t access_mode) {
  char name[kKeyBufferSize] = {};
  std::memcpy(name, owner.data(), std::min<size_t>(owner.size(), 8));
  char data[9] = {};
  std::memcpy(data, name, 9);
  uint16_t len = static_cast<uint16_t>(std::strlen(data) + 1);
  return Execute(btrieve::kOpSetOwner, data, &len, name, access_mode);
}

int16_t BtrvFile::ClearOwner() {
  uint16_t len = 0;
  return Execute(btrieve::kOpClearOwner, nullptr, &len, nullptr, 0);
}

int16_t BtrvFile::CreateIndex(void* key_spec, uint16_t length, int16_t key_num) {
  uint16_t len = length;
  return Execute(btrieve::kOpCreateIndex, key_spec, &len, nullptr, key_num);
}

int16_t BtrvFile::Extended(uint16_t operation, void* data, uint32_t length, void* key,
                           int16_t key_num, uint16_t lock_bias) {
  uint16_t len = static_cast<uint16_t>(length % 65536);
  const bool step =
      operation == btrieve::kOpStepNextExtended || operation == btrieve::kOpStepPreviousExtended;
  current_key_ = -1;
  return Execute(operation, data, &len, key, step ? -1 : key_num, lock_bias);
}

int16_t BtrvFile::GetByPercentage(uint16_t percentage, void* data, void* key, int16_t key_num,
                                  uint16_t lock_bias) {
  if (data != nullptr && record_length_ >= 2) {
    auto* p = static_cast<uint8_t*>(data);
    p[0] = static_cast<uint8_t>(percentage);
    p[1] = static_cast<uint8_t>(percentage >> 8);
  }
  uint16_t length = record_length_;
  const int16_t status =
      Execute(btrieve::kOpGetByPercentage, data, &length, key, key_num, lock_bias);
  KeepReadLength(length, &record_length_);
  return status;
}

int16_t BtrvFile::FindPercentage(int32_t position, void* key, int16_t key_num) {
  uint8_t data[4] = {};
  Put32(data, position);
  uint16_t len = sizeof data;
  if (Execute(btrieve::kOpFindPercentage, data, &len, key, key_num) != 0) return 0;
  return static_cast<int16_t>(data[0] | (data[1] << 8));
}

int16_t BtrvFile::UpdateChunk(void* descriptor, uint16_t length) {
  uint16_t len = length;
  return Execute(btrieve::kOpUpdateChunk, descriptor, &len, nullptr, current_key_);
}

int16_t BtrvFile::GetDirectChunk(int32_t position, uint32_t offset, uint32_t length,
                                 uint8_t* dest, uint32_t* got) {
  constexpr uint32_t kRandomDirect = 0x80000000u;
  constexpr size_t kRequest = 20;  // position, subfunction, count, offset, length
  *got = 0;
  if (length > 0xFFFF - kRequest) return btrieve::kDataBufferTooShort;
  std::vector<uint8_t> buffer(std::max<size_t>(kRequest, length));
  Put32(buffer.data(), position);
  Put32(buffer.data() + 4, static_cast<int32_t>(kRandomDirect));
  Put32(buffer.data() + 8, 1);
  Put32(buffer.data() + 12, static_cast<int32_t>(offset));
  Put32(buffer.data() + 16, static_cast<int32_t>(length));
  auto len = static_cast<uint16_t>(buffer.size());
  const int16_t status = Execute(btrieve::kOpGetDirect, buffer.data(), &len, nullptr, -2);
  if (status == 0) {
    *got = std::min<uint32_t>(len, length);
    std::memcpy(dest, buffer.data(), *got);
  }
  return status;
}

// --- transactions --------------------------------------------------------------

int16_t BtrvFile::BeginTransaction() {
  DataContext& context = DataContext::Process();
  context.Enter();
  context.set_transaction_active(true);
  uint8_t pos_block[128] = {};
  uint8_t key[kKeyBufferSize] = {};
  uint16_t len = 0;
  return BtrvExecute(btrieve::kOpBeginConcurrentTransaction, pos_block, nullptr, &len, key, 0, 0,
                     &ProcessClientId(), file_name_.c_str(), false, false);
}

int16_t BtrvFile::EndOrAbort(uint16_t operation) {
  uint8_t pos_block[128] = {};
  uint8_t key[kKeyBufferSize] = {};
  uint16_t len = 0;
  const int16_t status = BtrvExecute(operation, pos_block, nullptr, &len, key, 0, 0,
                                     &ProcessClientId(), file_name_.c_str(), false, false);
  DataContext& context = DataContext::Process();
  if (context.transaction_active()) {
    context.set_transaction_active(false);
    context.Leave();
  }
  return status;
}

int16_t BtrvFile::EndTransaction() { return EndOrAbort(btrieve::kOpEndTransaction); }

int16_t BtrvFile::AbortTransaction() { return EndOrAbort(btrieve::kOpAbortTransaction); }

bool BtrvFile::InTransaction() { return DataContext::Process().transaction_active(); }

}  // namespace tavelnor::data
