// Word lists and number rules behind demo_names.h.
#include "demo/generator/demo_names.h"

#include <array>
#include <cstdio>

namespace tavelnor::demo {
namespace {

using Words = std::span<const std::string_view>;

constexpr std::array<std::string_view, 40> kMen = {
    "Jean",    "Pierre",   "Michel",     "André",   "Philippe",  "Alain",   "Bernard",
    "Jacques", "Daniel",   "Christophe", "Patrick", "Nicolas",   "Éric",    "Frédéric",
    "Laurent", "Stéphane", "Olivier",    "Julien",  "Sébastien", "Thierry", "Guillaume",
    "Antoine", "François", "Mathieu",    "Vincent", "Hugo",      "Lucas",   "Thomas",
    "Benoît",  "Gérard",   "Yves",       "Rémi",    "Cédric",    "Hervé",   "Luc",
    "Marc",    "Paul",     "Louis",      "Raphaël", "Noël"};
constexpr std::array<std::string_view, 40> kWomen = {
    "Marie",    "Nathalie", "Isabelle",  "Sylvie",  "Catherine", "Françoise", "Christine",
    "Sandrine", "Valérie",  "Véronique", "Céline",  "Sophie",    "Aurélie",   "Julie",
    "Camille",  "Émilie",   "Chloé",     "Léa",     "Manon",     "Claire",    "Hélène",
    "Anne",     "Agnès",    "Brigitte",  "Monique", "Élodie",    "Laure",     "Pauline",
    "Mélanie",  "Audrey",   "Lucie",     "Margaux", "Inès",      "Zoé",       "Joëlle",
    "Odile",    "Bérénice", "Solène",    "Maëlle",  "Gaëlle"};
constexpr std::array<std::string_view, 60> kSurnames = {
    "Martin",    "Bernard",  "Dubois",  "Thomas",   "Robert",   "Richard",  "Petit",   "Durand",
    "Leroy",     "Moreau",   "Simon",   "Laurent",  "Lefèbvre", "Michel",   "Garcia",  "David",
    "Bertrand",  "Roux",     "Vincent", "Fournier", "Morel",    "Girard",   "André",   "Lefèvre",
    "Mercier",   "Dupont",   "Lambert", "Bonnet",   "François", "Martinez", "Legrand", "Garnier",
    "Faure",     "Rousseau", "Blanc",   "Guérin",   "Muller",   "Henry",    "Roussel", "Nicolas",
    "Perrin",    "Morin",    "Mathieu", "Clément",  "Gauthier", "Dumont",   "Lopez",   "Fontaine",
    "Chevalier", "Robin",    "Masson",  "Sanchez",  "Gérard",   "Nguyen",   "Boyer",   "Denis",
    "Lemaire",   "Duval",    "Joly",    "Gaillard"};
constexpr std::array<std::string_view, 36> kTrades = {
    "Boulangerie",  "Menuiserie",    "Plomberie",
    "Électricité",  "Garage",        "Imprimerie",
    "Pharmacie",    "Quincaillerie", "Librairie",
    "Fromagerie",   "Transports",    "Bâtiment",
    "Charpente",    "Couverture",    "Paysagiste",
    "Informatique", "Conseil",       "Restaurant",
    "Hôtel",        "Fleuriste",     "Boucherie",
    "Cave",         "Optique",       "Papeterie",
    "Serrurerie",   "Traiteur",      "Carrosserie",
    "Peinture",     "Maçonnerie",    "Chauffage",
    "Ébénisterie",  "Architecture",  "Expertise comptable",
    "Nettoyage",    "Sécurité",      "Logistique"};
constexpr std::array<std::string_view, 24> kPlaces = {
    "du Centre", "de la Gare",      "du Port",      "des Halles",   "du Marché",   "de l'Ouest",
    "de l'Est",  "du Sud",          "du Nord",      "des Alpes",    "de Provence", "de Bretagne",
    "d'Alsace",  "du Val de Loire", "de Normandie", "du Lac",       "des Vosges",  "de la Vallée",
    "du Rhône",  "de Gascogne",     "de la Côte",   "des Pyrénées", "du Jura",     "de Champagne"};
constexpr std::array<std::string_view, 10> kForms = {"SARL", "SAS", "SA",  "EURL", "SASU",
                                                     "SARL", "SAS", "SNC", "SCOP", "SARL"};
constexpr std::array<std::string_view, 12> kStreetKinds = {
    "rue",     "rue",   "rue",    "avenue", "boulevard", "place",
    "impasse", "allée", "chemin", "route",  "quai",      "cours"};
constexpr std::array<std::string_view, 36> kStreetNames = {
    "Victor Hugo",    "de la République", "Jean Jaurès",   "du Général de Gaulle",
    "Pasteur",        "de la Paix",       "des Écoles",    "du Moulin",
    "de l'Église",    "Gambetta",         "Voltaire",      "de la Liberté",
    "des Lilas",      "du Château",       "Émile Zola",    "Jules Ferry",
    "de Verdun",      "Carnot",           "des Tilleuls",  "de la Fontaine",
    "Saint-Martin",   "Nationale",        "du Stade",      "des Acacias",
    "Anatole France", "Aristide Briand",  "de Strasbourg", "Louis Pasteur",
    "Clemenceau",     "de la Mairie",     "des Peupliers", "du Port",
    "Foch",           "Lamartine",        "Molière",       "des Vignes"};
constexpr std::array<Town, 48> kFrenchTowns = {{{"Paris", "75011", '1'},
                                                {"Paris", "75015", '1'},
                                                {"Paris", "75008", '1'},
                                                {"Boulogne-Billancourt", "92100", '1'},
                                                {"Versailles", "78000", '1'},
                                                {"Créteil", "94000", '1'},
                                                {"Saint-Denis", "93200", '1'},
                                                {"Nanterre", "92000", '1'},
                                                {"Lyon", "69003", '4'},
                                                {"Lyon", "69007", '4'},
                                                {"Villeurbanne", "69100", '4'},
                                                {"Marseille", "13008", '4'},
                                                {"Aix-en-Provence", "13100", '4'},
                                                {"Nice", "06000", '4'},
                                                {"Toulon", "83000", '4'},
                                                {"Grenoble", "38000", '4'},
                                                {"Montpellier", "34000", '4'},
                                                {"Saint-Étienne", "42000", '4'},
                                                {"Annecy", "74000", '4'},
                                                {"Avignon", "84000", '4'},
                                                {"Toulouse", "31000", '5'},
                                                {"Bordeaux", "33000", '5'},
                                                {"Pau", "64000", '5'},
                                                {"Bayonne", "64100", '5'},
                                                {"Limoges", "87000", '5'},
                                                {"Poitiers", "86000", '5'},
                                                {"La Rochelle", "17000", '5'},
                                                {"Périgueux", "24000", '5'},
                                                {"Nantes", "44000", '2'},
                                                {"Rennes", "35000", '2'},
                                                {"Brest", "29200", '2'},
                                                {"Angers", "49000", '2'},
                                                {"Le Mans", "72000", '2'},
                                                {"Tours", "37000", '2'},
                                                {"Caen", "14000", '2'},
                                                {"Rouen", "76000", '2'},
                                                {"Orléans", "45000", '2'},
                                                {"Quimper", "29000", '2'},
                                                {"Lille", "59000", '3'},
                                                {"Strasbourg", "67000", '3'},
                                                {"Reims", "51100", '3'},
                                                {"Metz", "57000", '3'},
                                                {"Nancy", "54000", '3'},
                                                {"Dijon", "21000", '3'},
                                                {"Besançon", "25000", '3'},
                                                {"Amiens", "80000", '3'},
                                                {"Mulhouse", "68100", '3'},
                                                {"Clermont-Ferrand", "63000", '4'}}};
constexpr std::array<Town, 6> kBelgianTowns = {{{"Bruxelles", "1000", '1'},
                                                {"Liège", "4000", '1'},
                                                {"Namur", "5000", '1'},
                                                {"Charleroi", "6000", '1'},
                                                {"Mons", "7000", '1'},
                                                {"Tournai", "7500", '1'}}};
constexpr std::array<Town, 5> kSwissTowns = {{{"Genève", "1201", '1'},
                                              {"Lausanne", "1003", '1'},
                                              {"Neuchâtel", "2000", '1'},
                                              {"Fribourg", "1700", '1'},
                                              {"Sion", "1950", '1'}}};

template <size_t N>
std::string_view PickWord(DemoRandom& rng, const std::array<std::string_view, N>& words) {
  return words[rng.Below(N)];
}

std::string Digits(DemoRandom& rng, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += static_cast<char>('0' + rng.Below(10));
  return s;
}

// The digit that completes `digits` into a Luhn-valid number.
char LuhnCompletion(std::string_view digits) {
  for (char c = '0'; c <= '9'; ++c) {
    if (LuhnValid(std::string(digits) + c)) return c;
  }
  return '0';
}

}  // namespace

Person RandomPerson(DemoRandom& rng) {
  Person p;
  p.woman = rng.Percent(50);
  p.first = std::string(p.woman ? PickWord(rng, kWomen) : PickWord(rng, kMen));
  p.last = std::string(PickWord(rng, kSurnames));
  return p;
}

std::string PersonTitle(const Person& person) {
  return std::string(person.woman ? "Mme " : "M. ") + person.first + " " + person.last;
}

std::string RandomCompanyName(DemoRandom& rng, std::string* trade) {
  const std::string_view what = PickWord(rng, kTrades);
  if (trade) *trade = std::string(what);
  const std::string who(PickWord(rng, kSurnames));
  switch (rng.Below(7)) {
    case 0:
      return std::string(what) + " " + who;
    case 1:
      return "Établissements " + who;
    case 2:
      return who + " et Fils";
    case 3:
      return std::string(what) + " " + std::string(PickWord(rng, kPlaces)) + " " +
             std::string(PickWord(rng, kForms));
    case 4:
      return who + " " + std::string(PickWord(rng, kSurnames)) + " " +
             std::string(PickWord(rng, kForms));
    case 5:
      return std::string(PickWord(rng, kForms)) + " " + who + " " + std::string(what);
    default:
      return std::string(what) + " " + who + " " + std::string(PickWord(rng, kForms));
  }
}

Address RandomAddress(DemoRandom& rng, uint32_t foreign_percent) {
  Address a;
  const Town* town = &kFrenchTowns[rng.Below(kFrenchTowns.size())];
  a.country = "France";
  if (rng.Percent(foreign_percent)) {
    const bool belgium = rng.Percent(60);
    town = belgium ? &kBelgianTowns[rng.Below(kBelgianTowns.size())]
                   : &kSwissTowns[rng.Below(kSwissTowns.size())];
    a.country = belgium ? "Belgique" : "Suisse";
  }
  a.town = std::string(town->name);
  a.postcode = std::string(town->postcode);
  // Small towns around a city keep its département and a varied last digits.
  if (a.country == "France" && a.postcode.size() == 5 && a.postcode.substr(0, 2) != "75" &&
      rng.Percent(15)) {
    a.postcode[4] = static_cast<char>('0' + rng.Below(10));
  }
  a.phone_zone = town->phone_zone;
  std::string number = std::to_string(rng.Between(1, rng.Percent(70) ? 60 : 250));
  if (rng.Percent(6)) number += rng.Percent(70) ? " bis" : " ter";
  a.street = number + " " + std::string(PickWord(rng, kStreetKinds)) + " " +
             std::string(PickWord(rng, kStreetNames));
  return a;
}

std::string RandomPhone(DemoRandom& rng, char zone) {
  std::string s = "0";
  s += rng.Percent(20) ? (rng.Percent(70) ? '6' : '7') : zone;
  for (int pair = 0; pair < 4; ++pair) s += " " + Digits(rng, 2);
  return s;
}

std::string EmailFor(DemoRandom& rng, std::string_view company) {
  std::string domain = Slug(company);
  if (domain.size() > 24) domain.resize(24);
  if (domain.empty()) domain = "entreprise";
  static constexpr std::array<std::string_view, 5> kBoxes = {"contact", "compta", "info",
                                                             "commercial", "accueil"};
  std::string box(PickWord(rng, kBoxes));
  if (rng.Percent(25)) {
    const Person p = RandomPerson(rng);
    box = Slug(p.first) + "." + Slug(p.last);
  }
  return box + "@" + domain + (rng.Percent(75) ? ".fr" : ".com");
}

bool LuhnValid(std::string_view digits) {
  int sum = 0;
  bool twice = false;
  for (size_t i = digits.size(); i-- > 0;) {
    if (digits[i] < '0' || digits[i] > '9') return false;
    int d = digits[i] - '0';
    if (twice) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
    twice = !twice;
  }
  return !digits.empty() && sum % 10 == 0;
}

std::string RandomSiren(DemoRandom& rng) {
  std::string body = std::to_string(rng.Between(3, 9)) + Digits(rng, 7);
  return body + LuhnCompletion(body);
}

std::string SiretOf(DemoRandom& rng, std::string_view siren) {
  std::string body = std::string(siren) + "000" + std::to_string(rng.Between(1, 9));
  return body + LuhnCompletion(body);
}

std::string FrenchVatNumber(std::string_view siren) {
  const uint64_t n = std::stoull(std::string(siren));
  const unsigned key = static_cast<unsigned>((12 + 3 * (n % 97)) % 97);
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02u", key);
  return "FR" + std::string(buf) + std::string(siren);
}

std::string BelgianVatNumber(DemoRandom& rng) {
  const std::string body = "0" + std::to_string(rng.Between(2000000, 9999999));
  const unsigned check = 97 - static_cast<unsigned>(std::stoull(body) % 97);
  char buf[4];
  std::snprintf(buf, sizeof buf, "%02u", check);
  return "BE" + body + buf;
}

std::string SwissVatNumber(DemoRandom& rng) {
  return "CHE-" + Digits(rng, 3) + "." + Digits(rng, 3) + "." + Digits(rng, 3) + " TVA";
}

std::string Slug(std::string_view utf8) {
  // Two-byte UTF-8 letters of Latin-1 mapped to their base letter.
  static constexpr std::string_view kFolded =
      "aaaaaaaceeeeiiiidnooooo/ouuuuyby";  // U+00E0 .. U+00FF
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if ((c == 0xC3) && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[++i]);
      // U+00C0 + (next & 0x3F); capitals and small letters share the low five bits.
      const char base = kFolded[next & 0x1F];
      if (base != '/') out += base;
    }
  }
  return out;
}

}  // namespace tavelnor::demo
