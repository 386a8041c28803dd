// The process-wide data context.
#include "data/data_context.h"

#include "foundation/process_singleton.h"

namespace tavelnor::data {

DataContext& DataContext::Process() {
  static ProcessSingleton<DataContext> singleton("DataContext");
  return singleton.Get();
}

}  // namespace tavelnor::data
