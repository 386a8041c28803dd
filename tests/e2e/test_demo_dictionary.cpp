// End to end: the demo dictionary source compiled into files at every
// supported format level and container, opened through the exported C
// interface of the shared library, as a host program would.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "dico/compiler/dico_compiler.h"
#include "tavelnor/zavl.h"

namespace {

namespace fs = std::filesystem;
using tavelnor::dico::Container;

fs::path DemoSource() {
  return fs::path(TAVELNOR_SOURCE_DIR) / "demo" / "tavelnor-demo.json";
}

class DemoFiles : public ::testing::TestWithParam<std::tuple<int, Container>> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("tavelnor-e2e-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_P(DemoFiles, OpenThroughTheExportedInterface) {
  const auto [level, container] = GetParam();
  const fs::path out = dir_ / "demo.dic";
  tavelnor::Status built = tavelnor::dico::BuildDicoFile(DemoSource(), out, level, container);
  ASSERT_TRUE(built.ok()) << built.ToString();
  // The translation file lies beside the dictionary and is read with it.
  EXPECT_TRUE(fs::exists(dir_ / "demo.oxatrad"));

  ZAVL_Schema* schema = ZAVL_OpenSchema(out.string().c_str(), 0);
  ASSERT_NE(schema, nullptr) << "LastError " << ZAVL_GetLastError();
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  EXPECT_EQ(ZAVL_GetDicoVersion(schema), 1);  // the demo's "versionsystem"
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
  ZAVL_CloseSchema(schema);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_OK);
}

TEST_P(DemoFiles, DamagedTranslationFileFailsTheLoad) {
  const auto [level, container] = GetParam();
  const fs::path out = dir_ / "demo.dic";
  ASSERT_TRUE(tavelnor::dico::BuildDicoFile(DemoSource(), out, level, container).ok());
  fs::resize_file(dir_ / "demo.oxatrad", 10);
  EXPECT_EQ(ZAVL_OpenSchema(out.string().c_str(), 0), nullptr);
  EXPECT_EQ(ZAVL_GetLastError(), ZAVL_ERR_DICO_LOAD);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<int, Container>>& info) {
  static const char* const kNames[] = {"plain", "gzip", "module"};
  return "level" + std::to_string(std::get<0>(info.param)) + "_" +
         kNames[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(LevelsAndContainers, DemoFiles,
                         ::testing::Combine(::testing::Values(2, 3, 4, 8, 10, 11),
                                            ::testing::Values(Container::kPlain, Container::kGzip,
                                                              Container::kPeModule)),
                         CaseName);

}  // namespace
