// The shared state of one demo generation: the open tables, the random
// source, the reference data the later stages draw on, the ledger that
// totals the accounting entries, and the calendar arithmetic they all use.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "demo/generator/demo_generator.h"
#include "demo/generator/demo_random.h"
#include "demo/generator/demo_table.h"
#include "record/date_value.h"

namespace tavelnor::demo {

// --- calendar: days counted from 1970-01-01 ----------------------------------
int32_t DayNumber(int year, int month, int day);
record::sDate CivilDate(int32_t day_number);
int32_t EndOfMonth(int32_t day_number);
inline int64_t UnixSeconds(int32_t day_number, int32_t seconds_in_day) {
  return int64_t{day_number} * 86400 + seconds_in_day;
}
// Rounds numerator / denominator to the nearest integer, halves away from zero.
int64_t RoundDiv(int64_t numerator, int64_t denominator);

// The accounts the entries use (the families' sales accounts aside).
namespace account {
inline constexpr std::string_view kCapital = "101300", kSuppliers = "401000", kCustomers = "411000",
                                  kStaffPay = "421000", kSocialCharges = "431000",
                                  kVatDeductible = "445660", kVatCollected = "445710",
                                  kBank = "512000", kCash = "530000", kPurchases = "607000",
                                  kRent = "613200", kInsurance = "616000", kBankFees = "627000",
                                  kSalaries = "641000", kEmployerCharges = "645000";
}  // namespace account

struct PaymentMode {
  std::string code;
  std::string label;
  int days = 0;
  bool end_of_month = false;
};

struct Family {
  std::string code;
  int vat_hundredths = 0;  // 2000 = 20 %
  std::string sales_account;
};

struct Article {
  std::string code;
  std::string designation;
  uint32_t family = 0;
  int64_t price_cents = 0;
  bool service = false;
};

struct Customer {
  std::string code;
  std::string name;
  uint32_t mode = 0;
  uint32_t detail_seed = 0;  // draws the address and the rest when the record is written
  int64_t outstanding_cents = 0;
};

// Debit and credit totals of each account, and the fiscal year's monthly
// balances.
struct AccountTotals {
  int64_t debit = 0;
  int64_t credit = 0;
  std::array<int64_t, 12> months{};
};

class DemoBuild {
 public:
  DemoBuild(const DemoOptions& options, dico::DDicoHandler& dico)
      : options(options), rng(options.seed), dico_(dico) {}

  // Opens every table of the demo in dictionary order.
  Status OpenTables();
  DemoTable& Table(std::string_view name);
  // Inserts the current record of `table`; commits every few thousand
  // inserts so that a large demo is written in batches.
  Status Insert(DemoTable& table);
  Status Begin();
  Status Commit();
  void Progress(std::string_view stage, uint64_t done, uint64_t total) {
    if (options.progress) options.progress(stage, done, total);
  }
  std::vector<DemoTableCount> Counts() const;

  // One line of an accounting entry; the ledger numbers it and totals it.
  Status Post(std::string_view journal, int32_t day, std::string_view account,
              std::string_view piece, std::string_view label, int64_t debit, int64_t credit,
              std::string_view letter = {}, int32_t due_day = 0);

  int32_t FirstDay() const { return DayNumber(kLastDemoYear - options.size.years + 1, 1, 1); }
  int32_t LastDay() const { return DayNumber(kLastDemoYear, 12, 31); }

  DemoOptions options;
  DemoRandom rng;
  std::vector<PaymentMode> modes;
  std::vector<Family> families;
  std::vector<Article> articles;
  std::vector<Customer> customers;
  std::vector<std::string> suppliers;  // names
  std::map<std::string, AccountTotals> ledger;
  uint32_t next_entry = 1;

 private:
  dico::DDicoHandler& dico_;
  std::vector<std::unique_ptr<DemoTable>> tables_;
  uint32_t uncommitted_ = 0;
  bool in_transaction_ = false;
};

// The stages, in the order GenerateDemo runs them.
Status WriteReferenceData(DemoBuild& build);  // settings, modes, families, journals
Status WriteArticles(DemoBuild& build);
Status WriteSuppliers(DemoBuild& build);
Status PrepareCustomers(DemoBuild& build);     // in memory: invoices need them
Status WriteSalesAndLedger(DemoBuild& build);  // invoices, lines, payments, entries
Status WriteCustomers(DemoBuild& build);       // with their outstanding amounts
Status WriteAccounts(DemoBuild& build);        // the chart with the ledger's totals

}  // namespace tavelnor::demo
