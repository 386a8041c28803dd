// The sales stage of the demo generator: invoices made day by day, and the
// queue of dated events (payments, purchases, monthly charges) that is
// emptied up to each invoice's day, so that entry numbers follow the dates.
#pragma once

#include <cstdint>
#include <cstdio>
#include <queue>
#include <string>
#include <string_view>
#include <vector>

#include "demo/generator/demo_build.h"

namespace tavelnor::demo::sales {

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

inline std::string Numbered(const char* prefix, uint32_t n, int width) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%0*u", prefix, width, n);
  return buf;
}

// "AAA", "AAB", ... then round again.
inline std::string Letter(uint32_t n) {
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

}  // namespace tavelnor::demo::sales
