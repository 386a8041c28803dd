// Direct handlers holding given values, for the handler tests.
#pragma once

#include <memory>
#include <string_view>

#include "record/type_handler_generic.h"

namespace tavelnor::record::testing_values {

inline std::unique_ptr<ETypeHandler> Text(std::string_view text) {
  auto h = std::make_unique<DirectTypeHandler<TYPE_CHAINE, Chaine>>();
  h->SetValue(Chaine(text));
  return h;
}

inline std::unique_ptr<ETypeHandler> Int64(int64_t value) {
  auto h = std::make_unique<DirectTypeHandler<TYPE_INT64, int64_t>>();
  h->SetValue(value);
  return h;
}

inline std::unique_ptr<ETypeHandler> Double(double value) {
  auto h = std::make_unique<DirectTypeHandler<TYPE_DOUBLE, double>>();
  h->SetValue(value);
  return h;
}

inline std::unique_ptr<ETypeHandler> Date(sDate value) {
  auto h = std::make_unique<DirectTypeHandler<TYPE_DATE, sDate>>();
  h->SetValue(value);
  return h;
}

}  // namespace tavelnor::record::testing_values
