// The exported entry points of the record manager: the Btrieve call interface.
//
// BTRCALL(op, posBlock, dataBuf, dataLen, keyBuf, keyLen, keyNum) runs one
// operation for the process's default client; BTRCALLID does the same for the
// 16-byte client identifier `clientId` (null = the default client). The return
// value is the Btrieve status, 0 on success. `posBlock` is the caller's
// 128-byte position block; `dataLen` is the capacity of `dataBuf` on input and
// the bytes returned on output; `keyBuf` holds at least `keyLen` bytes
// (callers pass 255). Every pointer may be null; a missing buffer gives the
// status of a too-short one.
#pragma once

#include <stdint.h>

#include "foundation/platform/export_abi.h"

// On Windows exported by ordinal through win32/w3btrv7.def only, so that the
// record manager linked into Tavelnor.dll exports nothing there.
#define TAVELNOR_BTR_CALL TAVELNOR_STDCALL
#define TAVELNOR_BTR_API TAVELNOR_EXPORT_DEFAULT

#ifdef __cplusplus
extern "C" {
#endif

TAVELNOR_BTR_API int16_t TAVELNOR_BTR_CALL BTRCALL(uint16_t op, void* posBlock, void* dataBuf,
                                                   uint32_t* dataLen, void* keyBuf, uint8_t keyLen,
                                                   int8_t keyNum);

TAVELNOR_BTR_API int16_t TAVELNOR_BTR_CALL BTRCALLID(uint16_t op, void* posBlock, void* dataBuf,
                                                     uint32_t* dataLen, void* keyBuf,
                                                     uint8_t keyLen, int8_t keyNum,
                                                     const uint8_t* clientId);

#ifdef __cplusplus
}
#endif
