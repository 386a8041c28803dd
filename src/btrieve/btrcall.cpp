// The exported entry points: no exception crosses them.
#include "btrieve/btrcall.h"

#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"

namespace {

int16_t Run(uint16_t op, void* pos_block, void* data, uint32_t* data_len, void* key,
            uint8_t key_len, int8_t key_num, const uint8_t* client) {
  using tavelnor::btrieve::Call;
  Call call;
  call.op = op;
  call.pos_block = static_cast<uint8_t*>(pos_block);
  call.data = static_cast<uint8_t*>(data);
  call.data_len = data_len;
  call.key = static_cast<uint8_t*>(key);
  call.key_len = key_len;
  call.key_num = key_num;
  if (client != nullptr) std::memcpy(call.client.data(), client, call.client.size());
  try {
    return tavelnor::btrieve::Dispatch(call);
  } catch (...) {
    return tavelnor::btrieve::kIoError;
  }
}

}  // namespace

extern "C" {

int16_t TAVELNOR_BTR_CALL BTRCALL(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen,
                                  void* keyBuf, uint8_t keyLen, int8_t keyNum) {
  return Run(op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum, nullptr);
}

int16_t TAVELNOR_BTR_CALL BTRCALLID(uint16_t op, void* posBlock, void* dataBuf, uint32_t* dataLen,
                                    void* keyBuf, uint8_t keyLen, int8_t keyNum,
                                    const uint8_t* clientId) {
  return Run(op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum, clientId);
}

}  // extern "C"
