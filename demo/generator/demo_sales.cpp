// Invoices with their lines and payments, purchases and monthly charges, and
// the accounting entries of all of them, in date order.
//
// Invoices are made day by day; what happens later (payments, purchases,
// rent, salaries) waits in a queue of dated events that is emptied up to each
// invoice's day, so the entry numbers follow the dates. Every piece posts
// balanced lines, so every journal balances.
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <queue>

#include "demo/generator/demo_build.h"

namespace tavelnor::demo {
namespace {

enum class EventKind {
  kMonth,
  kCustomerPayment,
  kPurchase,
  kSupplierPayment,
  kRent,
  kInsurance,
  kSalaries,
  kSocialCharges,
  kBankFees
};

struct Event {
  int32_t day = 0;
  uint64_t order = 0;  // ties keep the order of scheduling
  EventKind kind = EventKind::kMonth;
  uint32_t party = 0;  // customer or supplier
  uint32_t invoice = 0;
  uint32_t mode = 0;
  int64_t amount = 0;
  std::string letter;
  std::string piece;
};
struct Later {
  bool operator()(const Event& a, const Event& b) const {
    return a.day != b.day ? a.day > b.day : a.order > b.order;
  }
};

std::string Numbered(const char* prefix, uint32_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*u", prefix, width, n);
  return buf;
}

// "AAA", "AAB", ... then round again.
std::string Letter(uint32_t n) {
  std::string s(3, 'A');
  for (int i = 2; i >= 0; --i, n /= 26) s[static_cast<size_t>(i)] = static_cast<char>('A' + n % 26);
  return s;
}

class Sales {
 public:
  explicit Sales(DemoBuild& build) : b_(build), rng_(build.rng) {}
  Status Run();

 private:
  void Schedule(Event e) {
    e.order = order_++;
    if (e.day <= b_.LastDay()) queue_.push(std::move(e));
  }
  Status RunEventsUntil(int32_t day);
  Status Handle(const Event& e);
  Status Invoice(int32_t day, uint32_t number);
  Status Payment(const Event& e);
  Status Month(int32_t first_day);
  // A piece of two lines: `amount` to the debit of one account and the
  // credit of the other; the debit line takes `letter`.
  Status Pair(const char* journal, int32_t day, std::string_view debit_account,
              std::string_view credit_account, const std::string& piece, const std::string& label,
              int64_t amount, std::string_view letter = {});

  DemoBuild& b_;
  DemoRandom& rng_;
  std::priority_queue<Event, std::vector<Event>, Later> queue_;
  uint64_t order_ = 0;
  uint32_t next_payment_ = 1;
  uint32_t next_purchase_ = 1;
  uint32_t customer_letters_ = 0;
  uint32_t supplier_letters_ = 0;
};

Status Sales::Run() {
  const int32_t first = b_.FirstDay(), last = b_.LastDay();
  const int64_t capital = 5000000 + int64_t{b_.options.size.invoices} * 2000;
  if (Status s = b_.Post("OD", first, account::kCapital, "OUV", "Apport en capital", 0, capital);
      !s.ok()) {
    return s;
  }
  if (Status s = b_.Post("OD", first, account::kBank, "OUV", "Apport en capital", capital, 0);
      !s.ok()) {
    return s;
  }
  for (int32_t d = first; d <= last; d = EndOfMonth(d) + 1) Schedule({.day = d});

  // Invoice days: working days only, in order.
  std::vector<int32_t> days(b_.options.size.invoices);
  for (int32_t& d : days) {
    d = first + static_cast<int32_t>(rng_.Below(static_cast<uint32_t>(last - first + 1)));
    const int32_t weekday = ((d % 7) + 11) % 7;  // 0 = Monday (1970-01-01 was a Thursday)
    if (weekday >= 5) d = std::min(last, d + (7 - weekday));
  }
  std::sort(days.begin(), days.end());
  uint32_t in_year = 0;
  int year = 0;
  for (size_t i = 0; i < days.size(); ++i) {
    if (Status s = RunEventsUntil(days[i]); !s.ok()) return s;
    const int y = CivilDate(days[i]).year;
    in_year = y == year ? in_year + 1 : 1;
    year = y;
    if (Status s = Invoice(days[i], static_cast<uint32_t>(y % 100) * 1000000 + in_year); !s.ok()) {
      return s;
    }
    if ((i + 1) % 500 == 0 || i + 1 == days.size()) b_.Progress("Factures", i + 1, days.size());
  }
  return RunEventsUntil(last);
}

Status Sales::RunEventsUntil(int32_t day) {
  while (!queue_.empty() && queue_.top().day <= day) {
    const Event e = queue_.top();
    queue_.pop();
    if (Status s = Handle(e); !s.ok()) return s;
  }
  return Status::Ok();
}

Status Sales::Invoice(int32_t day, uint32_t number) {
  const uint32_t customer = rng_.Skewed(static_cast<uint32_t>(b_.customers.size()));
  Customer& c = b_.customers[customer];
  const PaymentMode& mode = b_.modes[c.mode];
  DemoTable& lines = b_.Table("LignesFacture");
  int64_t ht = 0, vat = 0;
  std::map<std::string, int64_t> sales_by_account;
  const uint32_t count = 1 + rng_.Skewed(8);
  for (uint32_t l = 1; l <= count; ++l) {
    const Article& a = b_.articles[rng_.Below(static_cast<uint32_t>(b_.articles.size()))];
    const int64_t qty = a.service ? rng_.Between(1, 8)
                                  : (rng_.Percent(70) ? rng_.Between(1, 5) : rng_.Between(6, 40));
    const int64_t discount = rng_.Percent(80) ? 0 : 5 * rng_.Between(1, 3);
    const int64_t amount = RoundDiv(qty * a.price_cents * (100 - discount), 100);
    ht += amount;
    vat += RoundDiv(amount * b_.families[a.family].vat_hundredths, 10000);
    sales_by_account[b_.families[a.family].sales_account] += amount;
    lines.Integer("NumeroFacture", number);
    lines.Integer("NumeroLigne", l);
    lines.Text("CodeArticle", a.code);
    lines.Text("Designation", a.designation);
    lines.Decimal("Quantite", qty * 1000, 3);
    lines.Money("PrixUnitaire", a.price_cents);
    lines.Decimal("Remise", discount * 100, 2);
    if (Status s = b_.Insert(lines); !s.ok()) return s;
  }
  const int64_t ttc = ht + vat;
  const int64_t deposit = rng_.Percent(8) ? RoundDiv(ttc * 30, 100) : 0;
  int32_t due = day + mode.days;
  if (mode.end_of_month) due = EndOfMonth(due);

  // When the rest is paid: on the spot by card or cash, else around the due
  // date; a few invoices stay disputed.
  const bool immediate = mode.days == 0 && mode.code != "CHQ";
  const int32_t pay_day =
      immediate ? day : std::max(day, due + static_cast<int32_t>(rng_.Between(-5, 25)));
  const bool disputed = rng_.Percent(3);
  const bool paid = !disputed && pay_day <= b_.LastDay();
  const std::string piece = Numbered("FA", number, 8);
  const std::string letter = paid ? Letter(customer_letters_++) : std::string();
  int64_t settled = deposit;
  std::vector<Event> payments;  // after the deposit, taken with the invoice
  const int64_t rest = ttc - deposit;
  if (paid && rest > 0) {
    if (rng_.Percent(15) && pay_day - 15 >= day) {
      const int64_t half = RoundDiv(rest, 2);
      payments.push_back({.day = pay_day - 15, .amount = half});
      payments.push_back({.day = pay_day, .amount = rest - half});
    } else {
      payments.push_back({.day = pay_day, .amount = rest});
    }
    settled = ttc;
  } else if (!paid && rest > 1 && rng_.Percent(25) && day + 15 <= b_.LastDay()) {
    const int64_t part = RoundDiv(rest * 40, 100);
    payments.push_back({.day = day + static_cast<int32_t>(rng_.Between(1, 15)), .amount = part});
    settled += part;
  }
  c.outstanding_cents += ttc - settled;

  DemoTable& t = b_.Table("Factures");
  const int32_t seconds = 8 * 3600 + static_cast<int32_t>(rng_.Below(11 * 3600));
  t.Integer("NumeroFacture", number);
  t.Date("DateFacture", CivilDate(day));
  t.Time("HeureFacture", record::sTime{0, static_cast<uint8_t>(seconds % 60),
                                       static_cast<uint8_t>(seconds / 60 % 60),
                                       static_cast<uint8_t>(seconds / 3600)});
  t.Text("CodeClient", c.code);
  t.Money("TotalHT", ht);
  t.Money("TotalTVA", vat);
  t.Money("Acompte", deposit);
  t.Bool("Reglee", settled == ttc);
  t.Date("Echeance", CivilDate(due));
  if (rng_.Percent(5)) {
    t.Memo("Commentaire", rng_.Percent(50) ? "Livraison partielle, solde à suivre."
                                           : "Facture envoyée par courrier et par courriel.");
  }
  t.Stamp("Saisie", UnixSeconds(day, seconds + 120));
  if (Status s = b_.Insert(t); !s.ok()) return s;

  const std::string label = "Facture " + c.name;
  if (Status s = b_.Post("VE", day, account::kCustomers, piece, label, ttc, 0, letter, due);
      !s.ok()) {
    return s;
  }
  for (const auto& [sales_account, amount] : sales_by_account) {
    if (Status s = b_.Post("VE", day, sales_account, piece, label, 0, amount); !s.ok()) return s;
  }
  if (vat != 0) {
    if (Status s = b_.Post("VE", day, account::kVatCollected, piece, label, 0, vat); !s.ok()) {
      return s;
    }
  }
  const Event paid_event{.kind = EventKind::kCustomerPayment,
                         .party = customer,
                         .invoice = number,
                         .mode = c.mode,
                         .letter = letter};
  if (deposit > 0) {
    Event e = paid_event;
    e.day = day;
    e.amount = deposit;
    if (Status s = Payment(e); !s.ok()) return s;
  }
  for (const Event& p : payments) {
    Event e = paid_event;
    e.day = p.day;
    e.amount = p.amount;
    Schedule(std::move(e));
  }
  return Status::Ok();
}

Status Sales::Payment(const Event& e) {
  const PaymentMode& mode = b_.modes[e.mode];
  const uint32_t number = next_payment_++;
  std::string reference;
  if (mode.code == "CHQ") {
    reference = Numbered("Chèque n° ", rng_.Between(1000000, 9999999), 7);
  } else if (mode.code == "CB") {
    reference = Numbered("Carte **** ", rng_.Between(1000, 9999), 4);
  } else if (mode.code == "ESP") {
    reference = "Espèces";
  } else if (mode.code == "L60") {
    reference = Numbered("LCR ", e.invoice, 8);
  } else if (mode.code == "P30F") {
    reference = Numbered("Prélèvement SEPA ", number, 6);
  } else {
    reference = Numbered("Virement ", e.invoice, 8);
  }
  DemoTable& t = b_.Table("Reglements");
  t.Integer("NumeroReglement", number);
  t.Integer("NumeroFacture", e.invoice);
  t.Date("DateReglement", CivilDate(e.day));
  t.Money("Montant", e.amount);
  t.Text("CodeReglement", mode.code);
  t.Text("Reference", reference);
  if (Status s = b_.Insert(t); !s.ok()) return s;
  const bool cash = mode.code == "ESP";
  const std::string piece = Numbered("RG", number, 6);
  const std::string label = "Règlement " + b_.customers[e.party].name;
  const char* journal = cash ? "CA" : "BQ";
  if (Status s = b_.Post(journal, e.day, cash ? account::kCash : account::kBank, piece, label,
                         e.amount, 0);
      !s.ok()) {
    return s;
  }
  return b_.Post(journal, e.day, account::kCustomers, piece, label, 0, e.amount, e.letter);
}

Status Sales::Month(int32_t first_day) {
  const int32_t last_day = EndOfMonth(first_day);
  const record::sDate d = CivilDate(first_day);
  Schedule({.day = first_day + 4, .kind = EventKind::kRent, .amount = 240000});
  if (d.month % 3 == 1)
    Schedule({.day = first_day + 9, .kind = EventKind::kInsurance, .amount = 85000});
  const int64_t payroll = 1200000 + int64_t{b_.options.size.invoices} * 150;
  Schedule({.day = last_day - 2, .kind = EventKind::kSalaries, .amount = payroll});
  Schedule({.day = last_day,
            .kind = EventKind::kBankFees,
            .amount = 1500 + static_cast<int64_t>(rng_.Below(4000))});
  const uint32_t purchases = 1 + b_.options.size.invoices / (b_.options.size.years * 12 * 8);
  for (uint32_t i = 0; i < purchases; ++i) {
    Schedule({.day = first_day + static_cast<int32_t>(
                                     rng_.Below(static_cast<uint32_t>(last_day - first_day + 1))),
              .kind = EventKind::kPurchase,
              .party = rng_.Below(static_cast<uint32_t>(b_.suppliers.size())),
              .amount = rng_.Between(20000, 800000)});
  }
  return Status::Ok();
}

Status Sales::Pair(const char* journal, int32_t day, std::string_view debit_account,
                   std::string_view credit_account, const std::string& piece,
                   const std::string& label, int64_t amount, std::string_view letter) {
  if (Status s = b_.Post(journal, day, debit_account, piece, label, amount, 0, letter); !s.ok()) {
    return s;
  }
  return b_.Post(journal, day, credit_account, piece, label, 0, amount);
}

Status Sales::Handle(const Event& e) {
  using namespace account;
  const auto post = [&](const char* journal, std::string_view acc, const std::string& piece,
                        const std::string& label, int64_t debit, int64_t credit,
                        std::string_view letter = {}) {
    return b_.Post(journal, e.day, acc, piece, label, debit, credit, letter);
  };
  const record::sDate today = CivilDate(e.day);
  const std::string month = std::to_string(today.year * 100 + today.month);  // "202401"
  Status s;
  switch (e.kind) {
    case EventKind::kMonth:
      return Month(e.day);
    case EventKind::kCustomerPayment:
      return Payment(e);
    case EventKind::kPurchase: {
      const std::string piece = Numbered("AC", next_purchase_++, 6);
      const std::string label = "Facture " + b_.suppliers[e.party];
      const int64_t vat = RoundDiv(e.amount * 20, 100);
      const std::string letter = Letter(supplier_letters_++);
      s = post("AC", kPurchases, piece, label, e.amount, 0);
      if (s.ok()) s = post("AC", kVatDeductible, piece, label, vat, 0);
      if (s.ok()) s = post("AC", kSuppliers, piece, label, 0, e.amount + vat, letter);
      Event pay = e;
      pay.kind = EventKind::kSupplierPayment;
      pay.day = e.day + 30;
      pay.amount = e.amount + vat;
      pay.piece = piece;
      pay.letter = letter;
      if (s.ok()) Schedule(std::move(pay));
      return s;
    }
    case EventKind::kSupplierPayment:
      return Pair("BQ", e.day, kSuppliers, kBank, e.piece, "Paiement " + b_.suppliers[e.party],
                  e.amount, e.letter);
    case EventKind::kRent:
      return Pair("BQ", e.day, kRent, kBank, "LOY" + month, "Loyer des locaux", e.amount);
    case EventKind::kInsurance:
      return Pair("BQ", e.day, kInsurance, kBank, "ASS" + month, "Assurance multirisque", e.amount);
    case EventKind::kBankFees:
      return Pair("BQ", e.day, kBankFees, kBank, "FRB" + month, "Frais bancaires", e.amount);
    case EventKind::kSalaries: {
      const int64_t employer = RoundDiv(e.amount * 42, 100);
      const int64_t employee = RoundDiv(e.amount * 22, 100);
      const int64_t net = e.amount - employee;
      const std::string piece = "SAL" + month;
      s = post("OD", kSalaries, piece, "Salaires du mois", e.amount, 0);
      if (s.ok()) s = post("OD", kEmployerCharges, piece, "Charges patronales", employer, 0);
      if (s.ok())
        s = post("OD", kSocialCharges, piece, "Cotisations sociales", 0, employer + employee);
      if (s.ok()) s = post("OD", kStaffPay, piece, "Salaires nets à payer", 0, net);
      if (s.ok()) s = Pair("BQ", e.day, kStaffPay, kBank, piece, "Virement des salaires", net);
      if (s.ok()) {
        Schedule({.day = e.day + 17,
                  .kind = EventKind::kSocialCharges,
                  .amount = employer + employee,
                  .piece = "URS" + month});
      }
      return s;
    }
    case EventKind::kSocialCharges:
      return Pair("BQ", e.day, kSocialCharges, kBank, e.piece, "Cotisations sociales", e.amount);
  }
  return Status::Ok();
}

}  // namespace

Status WriteSalesAndLedger(DemoBuild& build) { return Sales(build).Run(); }

}  // namespace tavelnor::demo
