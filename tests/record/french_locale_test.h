// A test fixture that runs its tests in the French locale and puts the
// language setting back afterwards.
#pragma once

#include <gtest/gtest.h>

#include "foundation/string_resources.h"

namespace tavelnor::record {

class FrenchLocaleTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_lang_ = ResourceLanguage();
    SetResourceLanguage(kLangFrench);
  }
  void TearDown() override { SetResourceLanguage(saved_lang_); }

 private:
  uint16_t saved_lang_ = kLangFrench;
};

}  // namespace tavelnor::record
