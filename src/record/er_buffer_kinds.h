// The makers of the buffer families, one per source file; CreateBuffer asks
// each in turn. A maker answers null for a kind that is not of its family.
#pragma once

#include <cstdint>
#include <memory>

#include "record/buffer_kinds.h"
#include "record/er_buffer.h"

namespace tavelnor::record {

std::unique_ptr<ErBuffer> MakeNumberBuffer(BufferKind kind, int32_t size, bool upper_case);
std::unique_ptr<ErBuffer> MakeTextBuffer(BufferKind kind, int32_t size, bool upper_case);
std::unique_ptr<ErBuffer> MakeCalendarBuffer(BufferKind kind, int32_t size, bool upper_case);
std::unique_ptr<ErBuffer> MakeBlobBuffer(BufferKind kind, int32_t size, bool upper_case);

// "9" repeated min(width, 9) times, 9 times for width 0.
Chaine IntegerEditMask(int32_t width);

}  // namespace tavelnor::record
