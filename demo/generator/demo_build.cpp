// The generation's shared state, the calendar, and GenerateDemo itself.
#include "demo/generator/demo_build.h"

#include <array>
#include <fstream>
#include <system_error>

#include "dico/compiler/dico_compiler.h"
#include "dico/dico_handler.h"

namespace tavelnor::demo {
namespace {

constexpr std::array<std::string_view, 12> kTableOrder = {
    "Parametres", "ModesReglement", "Familles",   "Articles", "Clients",  "Fournisseurs",
    "Factures",   "LignesFacture",  "Reglements", "Comptes",  "Journaux", "Ecritures"};
// Inserts per transaction.
constexpr uint32_t kBatch = 2000;

Status CheckSize(const DemoSize& size) {
  if (size.articles == 0 || size.customers == 0 || size.suppliers == 0 || size.years == 0 ||
      size.years > 50) {
    return Status::InvalidArgument("a demo needs articles, customers, suppliers and 1 to 50 years");
  }
  return Status::Ok();
}

}  // namespace

// Days from civil dates, counting eras of 400 years (146097 days) from
// 0000-03-01 so that the leap day ends each counted year.
int32_t DayNumber(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

record::sDate CivilDate(int32_t day_number) {
  const int32_t z = day_number + 719468;
  const int32_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int32_t day_of_era = z - era * 146097;
  const int32_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int32_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int32_t mp = (5 * day_of_year + 2) / 153;
  const int32_t day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int32_t month = mp < 10 ? mp + 3 : mp - 9;
  const int32_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  return record::sDate{static_cast<uint8_t>(day), static_cast<uint8_t>(month),
                       static_cast<uint16_t>(year)};
}

int32_t EndOfMonth(int32_t day_number) {
  const record::sDate d = CivilDate(day_number);
  const int next_month = d.month == 12 ? 1 : d.month + 1;
  const int next_year = d.month == 12 ? d.year + 1 : d.year;
  return DayNumber(next_year, next_month, 1) - 1;
}

int64_t RoundDiv(int64_t numerator, int64_t denominator) {
  if (denominator < 0) numerator = -numerator, denominator = -denominator;
  const int64_t half = denominator / 2;
  return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

DemoSize SmallDemo() { return DemoSize{3000, 2000, 150, 6000, 3}; }
DemoSize LargeDemo() { return DemoSize{300000, 200000, 15000, 600000, 3}; }

Result<DemoSize> DemoSizeNamed(std::string_view name) {
  if (name == "small") return SmallDemo();
  if (name == "large") return LargeDemo();
  return Status::InvalidArgument("unknown demo size \"" + std::string(name) +
                                 "\" (small or large)");
}

Status DemoBuild::OpenTables() {
  for (std::string_view name : kTableOrder) {
    auto table = DemoTable::Open(dico_, name);
    if (!table.ok()) return table.status();
    tables_.push_back(std::move(table).value());
  }
  return Status::Ok();
}

DemoTable& DemoBuild::Table(std::string_view name) {
  for (auto& t : tables_) {
    if (t->Name() == name) return *t;
  }
  return *tables_.front();  // the stages name only tables of kTableOrder
}

Status DemoBuild::Begin() {
  if (in_transaction_ || tables_.empty()) return Status::Ok();
  const int32_t status = tables_.front()->Data().BeginTransaction();
  if (status != 0) {
    return Status::IoError("cannot begin a transaction (Btrieve status " + std::to_string(status) +
                           ")");
  }
  in_transaction_ = true;
  uncommitted_ = 0;
  return Status::Ok();
}

Status DemoBuild::Commit() {
  if (!in_transaction_) return Status::Ok();
  in_transaction_ = false;
  const int32_t status = tables_.front()->Data().EndTransaction();
  if (status != 0) {
    return Status::IoError("cannot commit the demo records (Btrieve status " +
                           std::to_string(status) + ")");
  }
  return Status::Ok();
}

Status DemoBuild::Insert(DemoTable& table) {
  if (Status s = table.Insert(); !s.ok()) return s;
  if (++uncommitted_ < kBatch) return Status::Ok();
  if (Status s = Commit(); !s.ok()) return s;
  return Begin();
}

std::vector<DemoTableCount> DemoBuild::Counts() const {
  std::vector<DemoTableCount> counts;
  for (const auto& t : tables_) {
    counts.push_back({std::string(t->Name()), std::string(t->Data().Path().view()), t->Inserted()});
  }
  return counts;
}

namespace {
// At most `bytes` bytes of UTF-8 text, never cutting a character.
std::string_view Utf8Prefix(std::string_view text, size_t bytes) {
  if (text.size() <= bytes) return text;
  size_t n = bytes;
  while (n > 0 && (static_cast<uint8_t>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}
}  // namespace

Status DemoBuild::Post(std::string_view journal, int32_t day, std::string_view account,
                       std::string_view piece, std::string_view label, int64_t debit,
                       int64_t credit, std::string_view letter, int32_t due_day) {
  DemoTable& t = Table("Ecritures");
  const record::sDate date = CivilDate(day);
  t.Integer("NumeroEcriture", next_entry++);
  t.Text("CodeJournal", journal);
  t.Date("DateEcriture", date);
  t.Text("NumeroCompte", account);
  t.Text("NumeroPiece", piece);
  t.Text("Libelle", Utf8Prefix(label, 40));
  t.Money("Debit", debit);
  t.Money("Credit", credit);
  if (!letter.empty()) t.Text("Lettrage", letter);
  // Bank lines are ticked off against the statement after a few weeks.
  t.Bool("Pointee", account.starts_with("512") && day + 45 < LastDay());
  if (due_day != 0) t.Date("Echeance", CivilDate(due_day));
  t.Stamp("Saisie", UnixSeconds(day, 9 * 3600 + static_cast<int32_t>(rng.Below(9 * 3600))));
  AccountTotals& totals = ledger[std::string(account)];
  totals.debit += debit;
  totals.credit += credit;
  if (date.year == kLastDemoYear) totals.months[date.month - 1u] += debit - credit;
  return Insert(t);
}

Result<DemoResult> GenerateDemo(const std::filesystem::path& folder, const DemoOptions& options) {
  if (Status s = CheckSize(options.size); !s.ok()) return s;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) return Status::IoError("cannot create " + folder.string() + ": " + ec.message());
  const std::filesystem::path source = folder / kDemoSourceName;
  {
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    out << DemoDictionarySource();
    if (!out) return Status::IoError("cannot write " + source.string());
  }
  DemoResult result;
  result.dictionary = folder / kDemoDicoName;
  if (Status s = dico::BuildDicoFile(source, result.dictionary, 0, dico::Container::kPlain);
      !s.ok()) {
    return s;
  }
  dico::DDicoHandler dico;
  if (dico.Load(Chaine(result.dictionary.string()), dico::kLoadNameIndex) !=
      dico::LoadResult::kLoaded) {
    return Status::Corrupt("cannot load " + result.dictionary.string() + ": " +
                           dico.LastLoadStatus().message());
  }
  DemoBuild build(options, dico);
  Status s = build.OpenTables();
  if (s.ok()) s = build.Begin();
  // Each stage commits on its own: a transaction holds only so many files.
  for (auto* stage : {&WriteReferenceData, &WriteArticles, &WriteSuppliers, &PrepareCustomers,
                      &WriteSalesAndLedger, &WriteCustomers, &WriteAccounts}) {
    if (s.ok()) s = stage(build);
    if (s.ok()) s = build.Commit();
    if (s.ok()) s = build.Begin();
  }
  if (s.ok()) {
    s = build.Commit();
  } else {
    (void)build.Commit();  // keep what was written; the first fault is the one reported
  }
  if (!s.ok()) return s;
  result.tables = build.Counts();
  return result;
}

}  // namespace tavelnor::demo
