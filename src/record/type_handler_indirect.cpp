// The indirect handlers: one per type code that has one, 45 registrations.
#include "record/type_handler_generic.h"
#include "record/type_handler_registry.h"

namespace tavelnor::record {
namespace {

template <uint16_t kCode, typename T>
std::unique_ptr<ETypeHandler> Make(uint16_t argument) {
  return std::make_unique<IndirectTypeHandler<kCode, T>>(argument);
}

}  // namespace

void RegisterIndirectTypeHandlers(TypeHandlerRegistry& registry) {
  constexpr TypeHandlerFactory kFactories[] = {
      Make<0, char*>,           Make<1, int32_t>,         Make<2, double>,
      Make<4, sDate>,           Make<5, sTime>,           Make<6, int32_t>,
      Make<7, char*>,           Make<10, char*>,          Make<12, EDecimal32>,
      Make<13, int8_t>,         Make<14, uint8_t>,        Make<15, int16_t>,
      Make<16, uint16_t>,       Make<18, uint32_t>,       Make<19, bool>,
      Make<20, EDecimal64>,     Make<21, char>,           Make<22, int32_t>,
      Make<23, float>,          Make<24, CString>,        Make<25, Chaine>,
      Make<26, int64_t>,        Make<27, uint64_t>,       Make<28, ETimeStamp>,
      Make<29, ECurrency>,      Make<30, EGuid>,          Make<32, sBlob>,
      Make<33, sBlobText>,      Make<34, sBlobRichText>,  Make<35, sBlobImage>,
      Make<36, sBlobSound>,     Make<37, sBlobVideo>,     Make<128, char*>,
      Make<135, char*>,         Make<136, char*>,         Make<138, char*>,
      Make<143, char*>,         Make<146, char*>,         Make<149, char>,
      Make<153, Chaine>,        Make<157, char>,          Make<161, Chaine>,
  };
  for (TypeHandlerFactory factory : kFactories) registry.Register(factory);
  // The "AUTRE" texts are answered by the zero-terminated handlers, which
  // keep answering their own codes.
  registry.Register(Make<0, char*>, TYPE_AUTRE);
  registry.Register(Make<128, char*>, TYPE_UP_AUTRE);
  registry.Register(Make<136, char*>, TYPE_NC_AUTRE);
}

}  // namespace tavelnor::record
