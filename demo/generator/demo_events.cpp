// The dated events of the sales stage: payments, purchases from suppliers
// and the monthly charges (rent, insurance, salaries, social charges, bank
// fees), each posted as balanced entries.
#include "demo/generator/demo_sales.h"

namespace tavelnor::demo::sales {

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

}  // namespace tavelnor::demo::sales
