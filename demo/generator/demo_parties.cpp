// Customers and suppliers of the demo, and the chart of accounts with the
// ledger's totals.
#include <array>
#include <cstdio>

#include "demo/generator/demo_build.h"
#include "demo/generator/demo_names.h"

namespace tavelnor::demo {
namespace {

std::string Code(char prefix, uint32_t n) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%c%06u", prefix, n);
  return buf;
}

std::string VatNumberFor(DemoRandom& rng, const Address& address) {
  if (address.country == "Belgique") return BelgianVatNumber(rng);
  if (address.country == "Suisse") return SwissVatNumber(rng);
  return FrenchVatNumber(RandomSiren(rng));
}

std::string CustomerNote(DemoRandom& rng, const Person& contact) {
  static constexpr std::array<const char*, 6> kNotes = {
      "Livrer uniquement le matin, quai n° 2.",
      "Client fidèle depuis l'ouverture du magasin.",
      "Demande une facture par bon de commande.",
      "Relance téléphonique avant toute mise en demeure.",
      "Remise annuelle négociée en janvier.",
      "Accès par la cour arrière, sonner à l'interphone."};
  std::string note =
      std::string("Contact : ") + PersonTitle(contact) + "\r\n" + kNotes[rng.Below(kNotes.size())];
  if (rng.Percent(40)) note += "\r\n" + std::string(kNotes[rng.Below(kNotes.size())]);
  return note;
}

struct AccountRow {
  const char* number;
  const char* title;
  bool letterable;
};
constexpr std::array<AccountRow, 32> kChart = {{
    {"101300", "Capital souscrit appelé versé", false},
    {"106100", "Réserve légale", false},
    {"164000", "Emprunts auprès des établissements de crédit", false},
    {"215400", "Matériel industriel", false},
    {"218300", "Matériel de bureau et informatique", false},
    {"370000", "Stocks de marchandises", false},
    {"401000", "Fournisseurs", true},
    {"411000", "Clients", true},
    {"421000", "Personnel - rémunérations dues", false},
    {"431000", "Sécurité sociale", false},
    {"445660", "TVA déductible sur autres biens et services", false},
    {"445710", "TVA collectée", false},
    {"512000", "Banque Crédit Régional", false},
    {"530000", "Caisse", false},
    {"607000", "Achats de marchandises", false},
    {"613200", "Locations immobilières", false},
    {"616000", "Primes d'assurance", false},
    {"627000", "Services bancaires", false},
    {"641000", "Rémunérations du personnel", false},
    {"645000", "Charges de sécurité sociale", false},
    {"706000", "Prestations de services", false},
    {"707010", "Ventes - jardinage", false},
    {"707020", "Ventes - électroménager", false},
    {"707100", "Ventes - papeterie", false},
    {"707200", "Ventes - informatique", false},
    {"707300", "Ventes - mobilier", false},
    {"707400", "Ventes - entretien", false},
    {"707500", "Ventes - épicerie fine", false},
    {"707600", "Ventes - boissons", false},
    {"707700", "Ventes - librairie", false},
    {"707800", "Ventes - presse", false},
    {"707900", "Ventes - outillage", false},
}};

}  // namespace

Status WriteSuppliers(DemoBuild& build) {
  DemoRandom& rng = build.rng;
  DemoTable& t = build.Table("Fournisseurs");
  const uint32_t total = build.options.size.suppliers;
  for (uint32_t i = 0; i < total; ++i) {
    const std::string name = RandomCompanyName(rng);
    const Address address = RandomAddress(rng, 5);
    t.Text("CodeFournisseur", Code('F', i + 1));
    t.Text("RaisonSociale", name);
    t.Text("Rue", address.street);
    t.Text("CodePostal", address.postcode);
    t.Text("Ville", address.town);
    t.Text("Pays", address.country);
    t.Text("Telephone", RandomPhone(rng, address.phone_zone));
    t.Text("Contact", PersonTitle(RandomPerson(rng)));
    t.Integer("DelaiLivraison", rng.Between(1, 21));
    t.Text("CodeReglement", build.modes[3 + rng.Below(build.modes.size() - 3)].code);
    if (Status s = build.Insert(t); !s.ok()) return s;
    build.suppliers.push_back(name);
  }
  build.Progress("Fournisseurs", total, total);
  return Status::Ok();
}

Status PrepareCustomers(DemoBuild& build) {
  DemoRandom& rng = build.rng;
  const uint32_t total = build.options.size.customers;
  build.customers.reserve(total);
  for (uint32_t i = 0; i < total; ++i) {
    Customer c;
    c.code = Code('C', i + 1);
    c.name = RandomCompanyName(rng);
    // Most customers pay by transfer or cheque; cash stays rare.
    const uint32_t pick = rng.Below(100);
    c.mode = pick < 25 ? 0 : pick < 35 ? 1 : pick < 38 ? 2 : 3 + pick % 5;
    c.detail_seed = rng.Raw();
    build.customers.push_back(std::move(c));
  }
  return Status::Ok();
}

Status WriteCustomers(DemoBuild& build) {
  DemoTable& t = build.Table("Clients");
  const uint32_t total = static_cast<uint32_t>(build.customers.size());
  for (uint32_t i = 0; i < total; ++i) {
    const Customer& c = build.customers[i];
    DemoRandom rng(c.detail_seed);
    const Address address = RandomAddress(rng, 8);
    t.Text("CodeClient", c.code);
    t.Text("RaisonSociale", c.name);
    t.Text("Rue", address.street);
    t.Text("CodePostal", address.postcode);
    t.Text("Ville", address.town);
    t.Text("Pays", address.country);
    t.Text("Telephone", RandomPhone(rng, address.phone_zone));
    t.Text("Email", EmailFor(rng, c.name));
    t.Text("NumeroTVA", VatNumberFor(rng, address));
    const int64_t ceiling = rng.Between(1, 10) * 500000;  // 5 000 to 50 000 euros
    t.Money("PlafondCredit", ceiling);
    t.Money("Encours", c.outstanding_cents);
    t.Text("CodeReglement", build.modes[c.mode].code);
    t.Date("DateCreation",
           CivilDate(build.FirstDay() - 1500 + static_cast<int32_t>(rng.Below(1500 + 700))));
    t.Bool("Actif", !rng.Percent(3));
    if (rng.Percent(15)) t.Memo("Notes", CustomerNote(rng, RandomPerson(rng)));
    if (rng.Percent(30)) {
      static constexpr std::array<const char*, 4> kSectors = {"Secteur Nord", "Secteur Sud",
                                                              "Grands comptes", "Export"};
      t.Text("Perso1", kSectors[rng.Below(kSectors.size())]);
      t.Integer("Perso2", rng.Between(1, 12));  // the sales representative's number
    }
    if (Status s = build.Insert(t); !s.ok()) return s;
    if ((i + 1) % 1000 == 0 || i + 1 == total) build.Progress("Clients", i + 1, total);
  }
  return Status::Ok();
}

Status WriteAccounts(DemoBuild& build) {
  DemoTable& t = build.Table("Comptes");
  for (const AccountRow& a : kChart) {
    const auto it = build.ledger.find(a.number);
    const AccountTotals totals = it == build.ledger.end() ? AccountTotals{} : it->second;
    t.Text("NumeroCompte", a.number);
    t.Text("Intitule", a.title);
    t.Integer("Classe", a.number[0] - '0');
    t.Bool("Lettrable", a.letterable);
    t.Money("SoldeDebit", totals.debit);
    t.Money("SoldeCredit", totals.credit);
    for (uint32_t m = 0; m < 12; ++m) t.MoneyItem("SoldeMois", m, totals.months[m]);
    if (Status s = build.Insert(t); !s.ok()) return s;
  }
  for (const auto& [number, totals] : build.ledger) {
    bool known = false;
    for (const AccountRow& a : kChart) known = known || number == a.number;
    if (!known)
      return Status::InvalidArgument("entries use account " + number + ", not in the chart");
  }
  return Status::Ok();
}

}  // namespace tavelnor::demo
