// Two clients of the record manager (two client ids), each with a position
// block on each of two data files seeded with records 1..5 (three-key layout
// of record_fixture.h), for the lock and transaction tests.
#pragma once

#include "record_fixture.h"

namespace tavelnor::btrieve::testing {

struct ClientIdBytes {
  uint8_t bytes[16] = {};
  explicit ClientIdBytes(uint8_t n) {
    bytes[12] = 'T';
    bytes[13] = 'V';
    bytes[14] = n;
  }
};

class TwoClients : public ::testing::Test {
 protected:
  void SetUp() override {
    path_a_ = dir_.File("a.btr");
    path_b_ = dir_.File("b.btr");
    for (const std::string& path : {path_a_, path_b_}) {
      CreateSeeded(path);
      if (HasFatalFailure()) return;
    }
    for (Block* b : {&xa_, &xb_}) b->client = x_.bytes;
    for (Block* b : {&ya_, &yb_, &ya2_}) b->client = y_.bytes;
    xa2_.client = x_.bytes;
    for (Block* b : {&xa_, &xa2_, &ya_, &ya2_}) ASSERT_EQ(b->Open(path_a_), 0);
    for (Block* b : {&xb_, &yb_}) ASSERT_EQ(b->Open(path_b_), 0);
  }
  void TearDown() override {
    // Reset ends each client's transaction and closes its blocks.
    for (Block* b : {&xa_, &ya_}) EXPECT_EQ(Simple(*b, kOpReset), 0);
  }

  // An operation without buffers: Begin, End, Abort, Reset.
  static int16_t Simple(Block& b, int op) {
    b.len = 0;
    return b.Call(op, nullptr, &b.len, 0);
  }
  // Get Equal on key 0 with a bias; the record lands in `out` when given.
  static int16_t GetEqual(Block& b, int32_t id, int bias = 0,
                          std::vector<uint8_t>* out = nullptr) {
    auto r = Rec(id, "", 0);
    b.SetKey(r.data(), 4);
    std::vector<uint8_t> buf;
    int16_t st = b.Read(kOpGetEqual + bias, &buf, 0);
    if (out != nullptr) *out = buf;
    return st;
  }
  static int16_t Insert(Block& b, int32_t id, uint8_t payload = 0) {
    auto r = Rec(id, "new", static_cast<int16_t>(id * 10), payload);
    return b.Write(kOpInsert, r, 0);
  }
  // Rewrites the block's current record with a new payload.
  static int16_t UpdatePayload(Block& b, int32_t id, uint8_t payload) {
    auto r = Rec(id, "n" + std::to_string(id % 2), static_cast<int16_t>(id * 10), payload);
    return b.Write(kOpUpdate, r, 0);
  }
  static int16_t Unlock(Block& b, int key_num, uint32_t pos = 0) {
    uint8_t buf[4] = {static_cast<uint8_t>(pos), static_cast<uint8_t>(pos >> 8),
                      static_cast<uint8_t>(pos >> 16), static_cast<uint8_t>(pos >> 24)};
    b.len = 4;
    return b.Call(kOpUnlock, buf, &b.len, key_num);
  }
  // Every record's id and payload byte, in physical order.
  static std::vector<std::pair<int32_t, int>> Contents(Block& b) {
    std::vector<std::pair<int32_t, int>> out;
    std::vector<uint8_t> r;
    for (int16_t st = b.Read(kOpStepFirst, &r, 0); st == 0; st = b.Read(kOpStepNext, &r, 0)) {
      out.emplace_back(IdOf(r), r[kRecLen - 1]);
    }
    return out;
  }

  ScratchDir dir_;
  std::string path_a_, path_b_;
  ClientIdBytes x_{1}, y_{2};
  Block xa_, xa2_, xb_, ya_, ya2_, yb_;
};

}  // namespace tavelnor::btrieve::testing
