// Gzip reader and writer: round trips, pass-through, members, damage, caps.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dico/gzip_stream.h"

namespace tavelnor::dico {
namespace {

using Bytes = std::vector<uint8_t>;

// `n` bytes; `alphabet` limits the byte values so the data compresses.
Bytes MakeBytes(size_t n, unsigned seed, int alphabet = 256) {
  std::mt19937 gen(seed);
  Bytes out(n);
  for (auto& b : out) b = static_cast<uint8_t>(gen() % alphabet);
  return out;
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Reads `data` through a GzipReader `step` bytes at a time.
Bytes ReadInSteps(const Bytes& data, size_t step, Status* status) {
  size_t pos = 0;
  GzipReader reader([&](uint8_t* buf, size_t cap, size_t* got) {
    // Hand out the input in small, odd-sized pieces to exercise refills.
    *got = std::min({cap, data.size() - pos, size_t{13}});
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(pos), *got, buf);
    pos += *got;
    return true;
  });
  Bytes out;
  std::vector<uint8_t> buf(step);
  for (;;) {
    const size_t got = reader.Read(buf.data(), step);
    out.insert(out.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < step) break;
  }
  *status = reader.status();
  return out;
}

struct RoundTripCase {
  const char* name;
  size_t size;
  int alphabet;
};

class GzipRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(GzipRoundTrip, InflatesToTheOriginal) {
  const Bytes original = MakeBytes(GetParam().size, 7, GetParam().alphabet);
  const Bytes packed = GzipCompress(original);
  ASSERT_TRUE(HasGzipMagic(packed));
  Result<Bytes> back = GzipDecompress(packed);
  ASSERT_TRUE(back.ok()) << back.status().ToString();
  EXPECT_EQ(*back, original);
  for (size_t step : {size_t{1}, size_t{7}, size_t{70000}}) {
    if (step == 1 && original.size() > 100000) continue;
    Status status;
    EXPECT_EQ(ReadInSteps(packed, step, &status), original) << "step " << step;
    EXPECT_TRUE(status.ok()) << status.ToString();
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, GzipRoundTrip,
                         ::testing::Values(RoundTripCase{"Empty", 0, 256},
                                           RoundTripCase{"OneByte", 1, 256},
                                           RoundTripCase{"Incompressible", 5000, 256},
                                           RoundTripCase{"Text", 300000, 16},
                                           RoundTripCase{"LargerThanBuffers", 3 * 1024 * 1024, 4}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GzipPassthrough, NonGzipBytesComeBackUnchanged) {
  const std::vector<Bytes> inputs = {{},
                                     {0x1F},
                                     {0x1F, 0x00, 0x8B},
                                     {0x8B, 0x1F},
                                     {'D', '8', 2, 11, 0, 0, 0, 0},
                                     MakeBytes(200000, 3)};
  for (const Bytes& input : inputs) {
    if (HasGzipMagic(input)) continue;
    Result<Bytes> out = GzipDecompress(input);
    ASSERT_TRUE(out.ok());
    EXPECT_EQ(*out, input);
    Status status;
    EXPECT_EQ(ReadInSteps(input, 5, &status), input);
    EXPECT_TRUE(status.ok());
  }
}

TEST(GzipMembers, ConcatenatedMembersReadAsOneStream) {
  const Bytes a = MakeBytes(1000, 1, 8), b = MakeBytes(70000, 2, 8), c = {};
  const Bytes packed = Concat(Concat(GzipCompress(a), GzipCompress(b)), GzipCompress(c));
  Result<Bytes> out = GzipDecompress(packed);
  ASSERT_TRUE(out.ok()) << out.status().ToString();
  EXPECT_EQ(*out, Concat(a, b));
  Status status;
  EXPECT_EQ(ReadInSteps(packed, 3, &status), Concat(a, b));
  EXPECT_TRUE(status.ok());
}

TEST(GzipMembers, TrailingBytesAfterAMemberAreIgnored) {
  const Bytes a = MakeBytes(500, 4, 8);
  for (const Bytes& tail : {Bytes{0}, Bytes{0, 0, 0, 0}, Bytes{'x', 'y', 'z'}, Bytes{0x1F}}) {
    Result<Bytes> out = GzipDecompress(Concat(GzipCompress(a), tail));
    ASSERT_TRUE(out.ok()) << out.status().ToString();
    EXPECT_EQ(*out, a);
  }
}

TEST(GzipDamage, EveryTruncationIsAnError) {
  const Bytes original = MakeBytes(3000, 5, 32);
  const Bytes packed = GzipCompress(original);
  for (size_t cut = 2; cut < packed.size(); ++cut) {
    Result<Bytes> out = GzipDecompress(std::span(packed).first(cut));
    ASSERT_FALSE(out.ok()) << "cut at " << cut;
    EXPECT_EQ(out.status().code(), Status::Code::kCorrupt);
  }
}

TEST(GzipDamage, ChangedBodyOrTrailerIsAnError) {
  const Bytes original = MakeBytes(4000, 8, 64);
  const Bytes packed = GzipCompress(original);
  // Bytes 4 to 9 (time, flags, system) are not checked; everything after is.
  for (size_t at = 10; at < packed.size(); ++at) {
    Bytes damaged = packed;
    damaged[at] ^= 0xFF;
    Result<Bytes> out = GzipDecompress(damaged);
    EXPECT_FALSE(out.ok()) << "byte " << at;
  }
}

TEST(GzipDamage, ReadErrorOfTheSourceIsReported) {
  GzipReader reader([](uint8_t*, size_t, size_t* got) {
    *got = 0;
    return false;
  });
  uint8_t buf[4];
  EXPECT_EQ(reader.Read(buf, sizeof buf), 0u);
  EXPECT_EQ(reader.status().code(), Status::Code::kIoError);
}

TEST(GzipCap, OutputBeyondTheCapOfAllMembersStops) {
  const Bytes zeros(4 * 1024 * 1024, 0);
  const Bytes packed = GzipCompress(zeros);
  ASSERT_LT(packed.size(), 64 * 1024u);  // A small file that inflates far.

  Result<Bytes> capped = GzipDecompress(packed, 1024 * 1024);
  ASSERT_FALSE(capped.ok());
  EXPECT_EQ(capped.status().code(), Status::Code::kCorrupt);
  EXPECT_NE(capped.status().message().find("beyond"), std::string::npos);

  Result<Bytes> exact = GzipDecompress(packed, zeros.size());
  ASSERT_TRUE(exact.ok()) << exact.status().ToString();
  EXPECT_EQ(exact->size(), zeros.size());
  // The cap counts the output of all members together.
  const Bytes a(600, 'a');
  const Bytes two = Concat(GzipCompress(a), GzipCompress(a));
  EXPECT_FALSE(GzipDecompress(two, 1000).ok());
  EXPECT_TRUE(GzipDecompress(two, 1200).ok());
}

}  // namespace
}  // namespace tavelnor::dico
