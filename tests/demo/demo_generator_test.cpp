// The demo generator end to end: a small company built three times (twice
// from one seed, once from another) and read back through the data engine.
#include "demo/generator/demo_generator.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "data/bmp_image.h"
#include "data/btrv_test_support.h"
#include "demo/demo_test_support.h"
#include "demo/generator/demo_picture.h"

namespace tavelnor::demo::testing {
namespace {

using data::EDataTable;
using data::testing::RegistrySandbox;
using data::testing::ScratchFolder;

constexpr DemoSize kTiny{120, 60, 6, 200, 2};
constexpr uint32_t kSeed = 4242;
const std::vector<std::string> kTables = {
    "Parametres", "ModesReglement", "Familles",   "Articles", "Clients",  "Fournisseurs",
    "Factures",   "LignesFacture",  "Reglements", "Comptes",  "Journaux", "Ecritures"};

class GeneratedDemo : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    registry_ = new RegistrySandbox();
    folder_ = new ScratchFolder();
    for (const auto& [name, seed] : {std::pair{"a", kSeed}, {"b", kSeed}, {"c", kSeed + 1}}) {
      DemoOptions options;
      options.size = kTiny;
      options.seed = seed;
      options.progress = [](std::string_view stage, uint64_t done, uint64_t total) {
        EXPECT_LE(done, total) << stage;
        ++progress_calls_;
      };
      auto result = GenerateDemo(folder_->Path(name), options);
      ASSERT_TRUE(result.ok()) << result.status().ToString();
      results_[name] = *result;
    }
  }
  static void TearDownTestSuite() {
    delete folder_;
    delete registry_;
  }
  static DemoReader Reader(const std::string& run) { return DemoReader(results_[run].dictionary); }

  static inline RegistrySandbox* registry_ = nullptr;
  static inline ScratchFolder* folder_ = nullptr;
  static inline std::map<std::string, DemoResult> results_;
  static inline int progress_calls_ = 0;
};

TEST_F(GeneratedDemo, FillsEveryTableWithTheAskedCounts) {
  const DemoResult& r = results_["a"];
  ASSERT_EQ(r.tables.size(), kTables.size());
  EXPECT_TRUE(std::filesystem::exists(r.dictionary));
  EXPECT_TRUE(std::filesystem::exists(r.dictionary.parent_path() / "tavelnor-demo.oxatrad"));
  DemoReader reader(r.dictionary);
  ASSERT_TRUE(reader.loaded());
  const std::map<std::string, uint32_t> exact = {{"Parametres", 1},
                                                 {"ModesReglement", 8},
                                                 {"Familles", 12},
                                                 {"Articles", kTiny.articles},
                                                 {"Clients", kTiny.customers},
                                                 {"Fournisseurs", kTiny.suppliers},
                                                 {"Factures", kTiny.invoices},
                                                 {"Journaux", 5},
                                                 {"Comptes", 32}};
  for (size_t i = 0; i < kTables.size(); ++i) {
    const DemoTableCount& t = r.tables[i];
    EXPECT_EQ(t.table, kTables[i]);
    EXPECT_TRUE(std::filesystem::exists(t.file)) << t.file;
    EXPECT_EQ(t.file.parent_path(), r.dictionary.parent_path())
        << "data files lie beside the dictionary";
    auto table = reader.Open(t.table);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->RawRecordCount(true), t.records) << t.table;
    EXPECT_EQ(reader.ForEach(t.table, [](EDataTable&) {}), t.records) << t.table;
    if (auto it = exact.find(t.table); it != exact.end()) {
      EXPECT_EQ(t.records, it->second) << t.table;
    } else {
      EXPECT_GT(t.records, kTiny.invoices) << t.table << ": several per invoice";
    }
  }
  EXPECT_GT(progress_calls_, 3);
}

TEST_F(GeneratedDemo, SameSeedGivesTheSameRecordsAndAnotherSeedDiffers) {
  DemoReader a = Reader("a"), b = Reader("b"), c = Reader("c");
  size_t differing = 0;
  for (const std::string& table : kTables) {
    const auto ra = a.Records(table);
    ASSERT_FALSE(ra.empty()) << table;
    EXPECT_EQ(ra, b.Records(table)) << table;
    differing += ra != c.Records(table);
  }
  // Only the fixed tables (modes, families, journals) may come out alike.
  EXPECT_GE(differing, kTables.size() - 3);
}

TEST_F(GeneratedDemo, InvoicesLinesAndPaymentsAgree) {
  DemoReader r = Reader("a");
  std::set<std::string> customers, articles;
  r.ForEach("Clients", [&](EDataTable& t) { customers.insert(Text(t, "CodeClient")); });
  r.ForEach("Articles", [&](EDataTable& t) { articles.insert(Text(t, "CodeArticle")); });

  struct Invoice {
    int64_t ht = 0, vat = 0, deposit = 0, lines_ht = 0, paid = 0;
    bool settled = false;
    uint32_t date = 0, due = 0;
    std::string customer;
  };
  std::map<int64_t, Invoice> invoices;
  r.ForEach("Factures", [&](EDataTable& t) {
    Invoice& inv = invoices[Int(t, "NumeroFacture")];
    inv = {Cents(t, "TotalHT"),
           Cents(t, "TotalTVA"),
           Cents(t, "Acompte"),
           0,
           0,
           Int(t, "Reglee") != 0,
           Day(t, "DateFacture"),
           Day(t, "Echeance"),
           Text(t, "CodeClient")};
    EXPECT_TRUE(customers.count(inv.customer)) << inv.customer;
    EXPECT_GE(inv.due, inv.date);
    EXPECT_GT(inv.ht, 0);
    EXPECT_LE(inv.vat * 100, inv.ht * 20 + 8 * 50) << "no rate above 20 %, half a cent per line";
  });
  ASSERT_EQ(invoices.size(), kTiny.invoices);

  r.ForEach("LignesFacture", [&](EDataTable& t) {
    auto it = invoices.find(Int(t, "NumeroFacture"));
    ASSERT_NE(it, invoices.end()) << "line of a missing invoice " << Int(t, "NumeroFacture");
    EXPECT_TRUE(articles.count(Text(t, "CodeArticle")));
    const int64_t qty_milli = Scaled(t, "Quantite", 3);
    const int64_t discount_hundredths = Scaled(t, "Remise", 2);
    // qty x price x (1 - discount), rounded to the cent, halves up.
    const int64_t exact = qty_milli * Cents(t, "PrixUnitaire") * (10000 - discount_hundredths);
    const int64_t scale = 1000 * 10000;
    it->second.lines_ht += (exact + scale / 2) / scale;
  });
  r.ForEach("Reglements", [&](EDataTable& t) {
    auto it = invoices.find(Int(t, "NumeroFacture"));
    ASSERT_NE(it, invoices.end()) << "payment of a missing invoice";
    EXPECT_GE(Day(t, "DateReglement"), it->second.date);
    EXPECT_GT(Cents(t, "Montant"), 0);
    it->second.paid += Cents(t, "Montant");
  });

  std::map<std::string, int64_t> outstanding;
  int settled = 0;
  for (const auto& [number, inv] : invoices) {
    EXPECT_EQ(inv.ht, inv.lines_ht) << "invoice " << number;
    EXPECT_GE(inv.paid, inv.deposit) << "invoice " << number;
    EXPECT_LE(inv.paid, inv.ht + inv.vat) << "invoice " << number;
    EXPECT_EQ(inv.settled, inv.paid == inv.ht + inv.vat) << "invoice " << number;
    outstanding[inv.customer] += inv.ht + inv.vat - inv.paid;
    settled += inv.settled;
  }
  EXPECT_GT(settled, static_cast<int>(kTiny.invoices / 2));
  EXPECT_LT(settled, static_cast<int>(kTiny.invoices)) << "recent invoices stay open";
  r.ForEach("Clients", [&](EDataTable& t) {
    EXPECT_EQ(Cents(t, "Encours"), outstanding[Text(t, "CodeClient")]) << Text(t, "CodeClient");
  });
}

TEST_F(GeneratedDemo, EntriesBalanceAndAccountsCarryTheirTotals) {
  DemoReader r = Reader("a");
  std::set<std::string> journals;
  r.ForEach("Journaux", [&](EDataTable& t) { journals.insert(Text(t, "CodeJournal")); });
  std::map<std::string, int64_t> by_journal, by_piece, by_account;
  std::map<std::string, std::array<int64_t, 12>> months;
  std::set<int64_t> numbers;
  const uint32_t last_year = kLastDemoYear;
  r.ForEach("Ecritures", [&](EDataTable& t) {
    const int64_t net = Cents(t, "Debit") - Cents(t, "Credit");
    EXPECT_TRUE(Cents(t, "Debit") == 0 || Cents(t, "Credit") == 0) << "one side per line";
    const std::string journal = Text(t, "CodeJournal");
    EXPECT_TRUE(journals.count(journal)) << journal;
    EXPECT_TRUE(numbers.insert(Int(t, "NumeroEcriture")).second);
    by_journal[journal] += net;
    by_piece[journal + "/" + Text(t, "NumeroPiece")] += net;
    by_account[Text(t, "NumeroCompte")] += net;
    const uint32_t date = Day(t, "DateEcriture");
    EXPECT_GE(date >> 16, last_year - kTiny.years + 1);
    EXPECT_LE(date >> 16, last_year);
    if ((date >> 16) == last_year) months[Text(t, "NumeroCompte")][((date >> 8) & 0xFF) - 1] += net;
  });
  // Sales, purchases, bank and miscellaneous entries always occur; cash
  // takes a customer who pays in cash.
  for (const char* journal : {"VE", "AC", "BQ", "OD"})
    EXPECT_TRUE(by_journal.count(journal)) << journal;
  for (const auto& [journal, net] : by_journal) EXPECT_EQ(net, 0) << journal;
  for (const auto& [piece, net] : by_piece) EXPECT_EQ(net, 0) << piece;

  size_t accounts = 0;
  r.ForEach("Comptes", [&](EDataTable& t) {
    const std::string number = Text(t, "NumeroCompte");
    EXPECT_EQ(Cents(t, "SoldeDebit") - Cents(t, "SoldeCredit"), by_account[number]) << number;
    const uint8_t* item = F(t, "SoldeMois").Data();
    for (int m = 0; m < 12; ++m) {
      const int64_t cents = record::ECurrency::FromBytes(item + 8 * m).Raw() / 100;
      EXPECT_EQ(cents, months[number][static_cast<size_t>(m)]) << number << " month " << m + 1;
    }
    EXPECT_EQ(Int(t, "Classe"), number[0] - '0');
    by_account.erase(number);
    ++accounts;
  });
  EXPECT_TRUE(by_account.empty()) << "an entry names an account missing from the chart: "
                                  << (by_account.empty() ? "" : by_account.begin()->first);
  EXPECT_EQ(accounts, 32u);
}

TEST_F(GeneratedDemo, MemosAndPicturesReadBack) {
  DemoReader r = Reader("a");
  r.ForEach("Parametres", [&](EDataTable& t) {
    const std::string logo = Part(t, "Logo");
    ASSERT_EQ(logo, LogoPicture());
    const auto bmp = data::DibToBmpFile(logo);
    ASSERT_TRUE(bmp.has_value());
    EXPECT_EQ(bmp->substr(0, 2), "BM");
    EXPECT_EQ(bmp->size(), 14 + logo.size());
    EXPECT_EQ(Text(t, "Devise"), "EUR");
  });
  int photos = 0, descriptions = 0, notes = 0;
  r.ForEach("Articles", [&](EDataTable& t) {
    const std::string photo = Part(t, "Photo");
    if (!photo.empty()) {
      ++photos;
      EXPECT_EQ(photo.size(), 40u + 36u * 144u) << "a 48 x 36 picture of 24 bits";
      EXPECT_TRUE(data::DibToBmpFile(photo).has_value());
    }
    const std::string text = Part(t, "Description");
    if (!text.empty()) {
      ++descriptions;
      EXPECT_EQ(text.rfind(Text(t, "Designation"), 0), 0u) << "a description starts with the name";
    }
  });
  r.ForEach("Clients", [&](EDataTable& t) {
    const std::string note = Part(t, "Notes");
    if (note.empty()) return;
    ++notes;
    EXPECT_EQ(note.rfind("Contact : ", 0), 0u) << note;
  });
  EXPECT_GE(photos, 1);
  EXPECT_GE(descriptions, 3);
  EXPECT_GE(notes, 3);
}

TEST_F(GeneratedDemo, TextsAreStoredInTheRecordsCodePage) {
  DemoReader r = Reader("a");
  r.ForEach("Parametres", [&](EDataTable& t) {
    EXPECT_EQ(Text(t, "RaisonSociale"), "Comptoir Tavelnor D\xE9mo SARL");
  });
  bool accented = false;
  r.ForEach("ModesReglement", [&](EDataTable& t) {
    const std::string label = Text(t, "Libelle");
    accented = accented || label.find('\xE0') != std::string::npos;  // "à"
    EXPECT_EQ(label.find('\xC3'), std::string::npos) << "no UTF-8 lead byte: " << label;
  });
  EXPECT_TRUE(accented);
}

// --- failures -----------------------------------------------------------------------

TEST(DemoGeneratorErrors, RefusesEmptySizesUnknownNamesAndUnwritableFolders) {
  RegistrySandbox registry;
  ScratchFolder folder;
  for (DemoSize size : {DemoSize{0, 10, 1, 10, 1}, DemoSize{10, 0, 1, 10, 1},
                        DemoSize{10, 10, 0, 10, 1}, DemoSize{10, 10, 1, 10, 0}}) {
    DemoOptions options;
    options.size = size;
    auto r = GenerateDemo(folder.Path("x"), options);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.status().code(), Status::Code::kInvalidArgument);
  }
  EXPECT_FALSE(std::filesystem::exists(folder.Path("x"))) << "nothing written for a bad size";

  folder.Write("plain-file", "not a folder");
  DemoOptions options;
  options.size = DemoSize{5, 5, 1, 5, 1};
  auto r = GenerateDemo(folder.Path("plain-file"), options);
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.status().code(), Status::Code::kIoError);

  EXPECT_TRUE(DemoSizeNamed("small").ok());
  EXPECT_EQ(DemoSizeNamed("large")->invoices, 100 * SmallDemo().invoices);
  EXPECT_FALSE(DemoSizeNamed("huge").ok());
  EXPECT_FALSE(DemoSizeNamed("").ok());
}

TEST(DemoGeneratorErrors, ABuildOverAnEarlierOneReplacesItsRecords) {
  RegistrySandbox registry;
  ScratchFolder folder;
  DemoOptions options;
  options.size = DemoSize{30, 20, 2, 40, 1};
  ASSERT_TRUE(GenerateDemo(folder.Root(), options).ok());
  options.size = DemoSize{10, 5, 1, 15, 1};
  auto second = GenerateDemo(folder.Root(), options);
  ASSERT_TRUE(second.ok()) << second.status().ToString();
  DemoReader reader(second->dictionary);
  EXPECT_EQ(reader.ForEach("Articles", [](EDataTable&) {}), 10u);
  EXPECT_EQ(reader.ForEach("Factures", [](EDataTable&) {}), 15u);
  EXPECT_EQ(reader.ForEach("Familles", [](EDataTable&) {}), 12u);
}

}  // namespace
}  // namespace tavelnor::demo::testing
