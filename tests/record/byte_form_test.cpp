// Little-endian number forms: every width, signedness and float kind.
#include "record/byte_form.h"

#include <gtest/gtest.h>

#include <limits>

namespace tavelnor::record {
namespace {

template <typename T>
class ByteFormTest : public testing::Test {};

using NumberTypes = testing::Types<int8_t, uint8_t, int16_t, uint16_t, int32_t, uint32_t, int64_t,
                                   uint64_t, float, double>;
TYPED_TEST_SUITE(ByteFormTest, NumberTypes);

TYPED_TEST(ByteFormTest, ExtremesRoundTrip) {
  using T = TypeParam;
  for (T v : {std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max(), T{0}, T{1}}) {
    uint8_t bytes[sizeof(T) + 1];
    bytes[sizeof(T)] = 0xAB;
    StoreLittle<T>(bytes, v);
    EXPECT_EQ(LoadLittle<T>(bytes), v);
    EXPECT_EQ(bytes[sizeof(T)], 0xAB);
  }
}

TEST(ByteFormTest, ByteOrderIsLittleEndian) {
  const uint8_t b[8] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x88};
  EXPECT_EQ(LoadLittle<uint16_t>(b), 0x0201);
  EXPECT_EQ(LoadLittle<int32_t>(b), 0x04030201);
  EXPECT_EQ(LoadLittle<int64_t>(b), static_cast<int64_t>(0x8807060504030201ULL));
  EXPECT_EQ(LoadLittle<int16_t>(b + 6), static_cast<int16_t>(0x8807));
  EXPECT_EQ(LoadLittle<int8_t>(b + 7), static_cast<int8_t>(0x88));
  const uint8_t one[8] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
  EXPECT_EQ(LoadLittle<double>(one), 1.0);
  const uint8_t onef[4] = {0, 0, 0x80, 0x3F};
  EXPECT_EQ(LoadLittle<float>(onef), 1.0f);
}

}  // namespace
}  // namespace tavelnor::record
