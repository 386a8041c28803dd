// The generator's building blocks: the random source and its ranges, the
// calendar, the registration numbers and their check digits, the names and
// the pictures.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "data/bmp_image.h"
#include "demo/generator/demo_build.h"
#include "demo/generator/demo_names.h"
#include "demo/generator/demo_picture.h"
#include "demo/generator/demo_random.h"

namespace tavelnor::demo {
namespace {

TEST(DemoRandom, FollowsTheStandardEngineAndStaysInRange) {
  // The engine's sequence is fixed by the standard: its first output for
  // the default seed 5489.
  DemoRandom standard(5489);
  EXPECT_EQ(standard.Raw(), 3499211612u);

  DemoRandom a(7), b(7), c(8);
  std::vector<uint32_t> sa, sb, sc;
  for (int i = 0; i < 50; ++i)
    sa.push_back(a.Below(1000)), sb.push_back(b.Below(1000)), sc.push_back(c.Below(1000));
  EXPECT_EQ(sa, sb);
  EXPECT_NE(sa, sc);

  DemoRandom rng(1);
  std::map<int64_t, int> seen;
  for (int i = 0; i < 4000; ++i) {
    const int64_t v = rng.Between(-3, 3);
    ASSERT_GE(v, -3);
    ASSERT_LE(v, 3);
    ++seen[v];
    ASSERT_LT(rng.Below(7), 7u);
    ASSERT_LT(rng.Skewed(5), 5u);
  }
  EXPECT_EQ(seen.size(), 7u) << "both bounds are reached";
  for (const auto& [v, n] : seen) EXPECT_GT(n, 400) << v << ": roughly uniform";
  EXPECT_EQ(rng.Below(0), 0u);
  EXPECT_EQ(rng.Below(1), 0u);
  EXPECT_EQ(rng.Between(5, 5), 5);
  EXPECT_EQ(rng.Between(9, 2), 9) << "an empty range gives its low end";
  const int64_t wide = rng.Between(0, int64_t{1} << 40);
  EXPECT_GE(wide, 0);

  int low = 0;
  for (int i = 0; i < 2000; ++i) low += rng.Skewed(10) < 5;
  EXPECT_GT(low, 1300) << "the low half takes three quarters of the draws";
}

TEST(DemoCalendar, CountsDaysFromNineteenSeventy) {
  struct Case {
    int y, m, d;
    int32_t n;
  };
  for (const Case& c : {Case{1970, 1, 1, 0},
                        {1969, 12, 31, -1},
                        {2000, 3, 1, 11017},
                        {2000, 2, 29, 11016},
                        {2024, 12, 31, 20088},
                        {1900, 3, 1, -25508}}) {
    EXPECT_EQ(DayNumber(c.y, c.m, c.d), c.n) << c.y << "-" << c.m << "-" << c.d;
    const record::sDate back = CivilDate(c.n);
    EXPECT_EQ(back.year, c.y);
    EXPECT_EQ(back.month, c.m);
    EXPECT_EQ(back.day, c.d);
  }
  for (int32_t n = DayNumber(2019, 1, 1); n < DayNumber(2026, 1, 1); ++n) {
    const record::sDate d = CivilDate(n);
    ASSERT_EQ(DayNumber(d.year, d.month, d.day), n);
  }
  EXPECT_EQ(CivilDate(EndOfMonth(DayNumber(2024, 2, 10))).day, 29);
  EXPECT_EQ(CivilDate(EndOfMonth(DayNumber(2023, 2, 1))).day, 28);
  EXPECT_EQ(EndOfMonth(DayNumber(2024, 12, 31)), DayNumber(2024, 12, 31));
  EXPECT_EQ(UnixSeconds(DayNumber(2024, 1, 1), 3600), 1704070800);
}

TEST(DemoCalendar, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(RoundDiv(5, 2), 3);
  EXPECT_EQ(RoundDiv(-5, 2), -3);
  EXPECT_EQ(RoundDiv(7, 3), 2);
  EXPECT_EQ(RoundDiv(149, 100), 1);
  EXPECT_EQ(RoundDiv(150, 100), 2);
  EXPECT_EQ(RoundDiv(150, -100), -2);
}

TEST(DemoNumbers, RegistrationNumbersCarryValidCheckDigits) {
  // Published numbers and their intra-community VAT numbers.
  EXPECT_EQ(FrenchVatNumber("303265045"), "FR40303265045");
  EXPECT_EQ(FrenchVatNumber("404833048"), "FR83404833048");
  EXPECT_EQ(FrenchVatNumber("732829320"), "FR44732829320");
  EXPECT_TRUE(LuhnValid("732829320"));
  EXPECT_TRUE(LuhnValid("79927398713"));
  EXPECT_FALSE(LuhnValid("79927398710"));
  EXPECT_FALSE(LuhnValid(""));
  EXPECT_FALSE(LuhnValid("12a4"));

  DemoRandom rng(99);
  for (int i = 0; i < 200; ++i) {
    const std::string siren = RandomSiren(rng);
    ASSERT_EQ(siren.size(), 9u);
    EXPECT_TRUE(LuhnValid(siren)) << siren;
    const std::string siret = SiretOf(rng, siren);
    ASSERT_EQ(siret.size(), 14u);
    EXPECT_EQ(siret.substr(0, 9), siren);
    EXPECT_TRUE(LuhnValid(siret)) << siret;
    const std::string be = BelgianVatNumber(rng);
    ASSERT_EQ(be.size(), 12u);
    EXPECT_EQ(be.substr(0, 3), "BE0");
    EXPECT_EQ(std::stoull(be.substr(2, 8)) % 97 + std::stoull(be.substr(10)), 97u) << be;
    EXPECT_EQ(SwissVatNumber(rng).size(), 19u);
  }
}

TEST(DemoNames, AddressesPhonesAndMailsLookFrench) {
  DemoRandom rng(3);
  std::set<std::string> names, countries;
  for (int i = 0; i < 300; ++i) {
    names.insert(RandomCompanyName(rng));
    const Address a = RandomAddress(rng, 20);
    countries.insert(a.country);
    EXPECT_FALSE(a.street.empty());
    EXPECT_EQ(a.postcode.size(), a.country == "France" ? 5u : 4u) << a.town;
    const std::string phone = RandomPhone(rng, a.phone_zone);
    ASSERT_EQ(phone.size(), 14u) << phone;
    EXPECT_EQ(phone[0], '0');
    EXPECT_NE(std::string("1234567").find(phone[1]), std::string::npos) << phone;
    const std::string mail = EmailFor(rng, "Établissements Lefèvre");
    EXPECT_NE(mail.find("@etablissementslefevre."), std::string::npos) << mail;
  }
  EXPECT_GT(names.size(), 250u) << "company names rarely repeat";
  EXPECT_EQ(countries, (std::set<std::string>{"Belgique", "France", "Suisse"}));
  EXPECT_EQ(Slug("Chloé Bérénice-Noël ÀÇÛ 42"), "chloeberenicenoelacu42");
  EXPECT_EQ(PersonTitle(Person{"Anne", "Morel", true}), "Mme Anne Morel");
}

TEST(DemoPictures, AreBitmapsOfTheAnnouncedSize) {
  std::set<std::string> distinct;
  for (uint32_t v : {0u, 1u, 9u, 64u, 130u}) {
    const std::string dib = ProductPicture(v);
    distinct.insert(dib);
    ASSERT_EQ(dib.size(), 40u + static_cast<size_t>(kPictureHeight) * 144u);
    EXPECT_EQ(static_cast<uint8_t>(dib[0]), 40);
    EXPECT_EQ(static_cast<uint8_t>(dib[4]), kPictureWidth);
    EXPECT_EQ(static_cast<uint8_t>(dib[8]), kPictureHeight);
    EXPECT_EQ(static_cast<uint8_t>(dib[14]), 24) << "bits per pixel";
    const auto bmp = data::DibToBmpFile(dib);
    ASSERT_TRUE(bmp.has_value());
    EXPECT_EQ(bmp->size(), dib.size() + 14);
  }
  EXPECT_EQ(distinct.size(), 5u) << "each variant draws its own picture";
  EXPECT_EQ(ProductPicture(9), ProductPicture(9));
  EXPECT_NE(LogoPicture(), ProductPicture(0));
}

}  // namespace
}  // namespace tavelnor::demo
