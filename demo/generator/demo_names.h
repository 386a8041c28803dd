// The French words of the demo company: company and person names, towns
// with their postcodes, street addresses, telephone numbers, e-mail
// addresses and the registration numbers (SIREN, SIRET, VAT numbers) with
// their check digits. Texts are UTF-8; the table writer converts them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "demo/generator/demo_random.h"

namespace tavelnor::demo {

struct Town {
  std::string_view name;
  std::string_view postcode;
  char phone_zone;  // first digit after 0 of the region's fixed lines ('1'..'5')
};

struct Address {
  std::string street;
  std::string postcode;
  std::string town;
  std::string country;  // "France", "Belgique" or "Suisse"
  char phone_zone = '1';
};

struct Person {
  std::string first;
  std::string last;
  bool woman = false;
};

Person RandomPerson(DemoRandom& rng);
// "M. Jean Martin" / "Mme Claire Petit".
std::string PersonTitle(const Person& person);
// A company name; `trade` gets the company's line of business.
std::string RandomCompanyName(DemoRandom& rng, std::string* trade = nullptr);
// An address in France, now and then in Belgium or Switzerland.
Address RandomAddress(DemoRandom& rng, uint32_t foreign_percent);
// "01 23 45 67 89"; mobiles ("06", "07") one time in five.
std::string RandomPhone(DemoRandom& rng, char zone);
// contact@ / compta@ / a person's name at a domain made of the company name.
std::string EmailFor(DemoRandom& rng, std::string_view company);

// Nine digits passing the Luhn check.
std::string RandomSiren(DemoRandom& rng);
// SIREN + five-digit establishment number, Luhn-valid as a whole.
std::string SiretOf(DemoRandom& rng, std::string_view siren);
// "FR" + two-digit key + SIREN.
std::string FrenchVatNumber(std::string_view siren);
// "BE0" + nine digits whose last two are 97 minus the first seven modulo 97.
std::string BelgianVatNumber(DemoRandom& rng);
// "CHE-123.456.789 TVA".
std::string SwissVatNumber(DemoRandom& rng);

// True when the digits pass the Luhn check (tests and SIRET building).
bool LuhnValid(std::string_view digits);
// Lower-case ASCII letters and digits of a UTF-8 text, accents dropped.
std::string Slug(std::string_view utf8);

}  // namespace tavelnor::demo
