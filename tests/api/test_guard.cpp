// The guard of the exported functions: what a throw below turns into.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "api/guard.h"

namespace tavelnor::api {
namespace {

TEST(GuardTest, AThrowBecomesTheFailureResultAndTheFunctionsCode) {
  struct Case {
    Frame frame;
    bool out_of_memory;
    int32_t code;
  };
  for (const Case& c : {Case{kHandleFrame, true, ZAVL_ERR_HANDLE},
                        Case{kHandleFrame, false, ZAVL_ERR_HANDLE},
                        Case{kOpenDataFrame, true, ZAVL_ERR_CREATE},
                        Case{kOpenDataFrame, false, ZAVL_ERR_HANDLE},
                        Case{kOpenSchemaFrame, true, ZAVL_ERR_CREATE},
                        Case{kOpenSchemaFrame, false, ZAVL_ERR_CREATE}}) {
    SetLastError(12345);
    const int32_t result = Guard(c.frame, int32_t{-7}, [&]() -> int32_t {
      SetLastError(ZAVL_ERR_DICO_LOAD);  // a later step's code
      if (c.out_of_memory) throw std::bad_alloc();
      throw std::runtime_error("below");
    });
    EXPECT_EQ(result, -7);
    EXPECT_EQ(GetLastError(), c.code) << c.frame.provisional << " " << c.out_of_memory;
  }
}

TEST(GuardTest, TheProvisionalCodeComesFirstAndQuietFunctionsLeaveItAlone) {
  SetLastError(12345);
  EXPECT_EQ(Guard(kHandleFrame, 0, [] { return GetLastError(); }), ZAVL_ERR_HANDLE);
  EXPECT_EQ(Guard(kOpenSchemaFrame, 0, [] { return GetLastError(); }), ZAVL_ERR_CREATE);

  SetLastError(12345);
  int failures = 0;
  const int32_t quiet = Guard(kQuietFrame, [&] { return ++failures, int32_t{0}; },
                              []() -> int32_t { throw 1; });
  EXPECT_EQ(quiet, 0);
  EXPECT_EQ(failures, 1) << "the failure callable runs once";
  EXPECT_EQ(GetLastError(), 12345);
  Guard(kHandleFrame, kNothing, [] { throw std::logic_error("void"); });
  EXPECT_EQ(GetLastError(), ZAVL_ERR_HANDLE);
}

}  // namespace
}  // namespace tavelnor::api
