// Invoices with their lines and payments, and their accounting entries.
// Every piece posts balanced lines, so every journal balances.
#include "demo/generator/demo_sales.h"

#include <algorithm>
#include <map>

namespace tavelnor::demo {
namespace sales {

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

}  // namespace sales

Status WriteSalesAndLedger(DemoBuild& build) { return sales::Sales(build).Run(); }

}  // namespace tavelnor::demo
