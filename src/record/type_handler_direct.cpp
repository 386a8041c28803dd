// The direct handlers: 17 codes, the ones arithmetic and callers need to
// hold a value of their own.
#include "record/type_handler_generic.h"
#include "record/type_handler_registry.h"

namespace tavelnor::record {
namespace {

template <uint16_t kCode, typename T>
std::unique_ptr<ETypeHandler> Make(uint16_t argument) {
  return std::make_unique<DirectTypeHandler<kCode, T>>(argument);
}

}  // namespace

void RegisterDirectTypeHandlers(TypeHandlerRegistry& registry) {
  constexpr TypeHandlerFactory kFactories[] = {
      Make<1, int32_t>,      Make<2, double>,       Make<4, sDate>,
      Make<5, sTime>,        Make<18, uint32_t>,    Make<19, bool>,
      Make<21, char>,        Make<24, CString>,     Make<25, Chaine>,
      Make<26, int64_t>,     Make<27, uint64_t>,    Make<28, ETimeStamp>,
      Make<29, ECurrency>,   Make<30, EGuid>,       Make<32, sBlob>,
      Make<33, sBlobText>,   Make<34, sBlobRichText>,
  };
  for (TypeHandlerFactory factory : kFactories) registry.Register(factory);
}

}  // namespace tavelnor::record
