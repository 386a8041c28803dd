// The demo company: a dictionary and its data files, generated from a seed.
//
// GenerateDemo compiles the demo dictionary into a folder as
// "tavelnor-demo.dic" (with its ".oxatrad" translations and the JSON source
// it came from), then fills every table's data file where the dictionary
// places it: settings, payment modes, article families and articles,
// customers and suppliers, invoices with their lines and payments, the chart
// of accounts, journals and balanced accounting entries. The same seed and
// size give the same records, byte for byte, on every platform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/status.h"

namespace tavelnor::demo {

inline constexpr std::string_view kDemoDicoName = "tavelnor-demo.dic";
inline constexpr std::string_view kDemoSourceName = "tavelnor-demo.json";
inline constexpr uint32_t kDefaultDemoSeed = 20240601;

// How many of each kind of record to make. Invoices spread over `years`
// calendar years ending with the fiscal year kLastDemoYear.
struct DemoSize {
  uint32_t articles = 0;
  uint32_t customers = 0;
  uint32_t suppliers = 0;
  uint32_t invoices = 0;
  uint32_t years = 3;
};
inline constexpr uint16_t kLastDemoYear = 2024;

// "small" (the default: thousands of articles, customers and invoices) and
// "large" (a hundred times more, for benchmarks).
DemoSize SmallDemo();
DemoSize LargeDemo();
// The size named `name` ("small" or "large"); InvalidArgument otherwise.
Result<DemoSize> DemoSizeNamed(std::string_view name);

// Told what is being made: the stage ("Articles", "Factures"...), how many
// of its records are done and how many there will be.
using DemoProgress = std::function<void(std::string_view stage, uint64_t done, uint64_t total)>;

struct DemoOptions {
  DemoSize size = SmallDemo();
  uint32_t seed = kDefaultDemoSeed;
  DemoProgress progress;
};

struct DemoTableCount {
  std::string table;           // the dictionary's table name
  std::filesystem::path file;  // its data file
  uint32_t records = 0;        // records written
};

struct DemoResult {
  std::filesystem::path dictionary;
  std::vector<DemoTableCount> tables;  // in dictionary order
};

// Builds the demo in `folder` (created when missing). Existing demo data
// files there are emptied first. InvalidArgument for a size without
// customers, articles or years; IoError when a file cannot be written;
// NotFound when the dictionary lacks a table or field the content needs.
Result<DemoResult> GenerateDemo(const std::filesystem::path& folder, const DemoOptions& options);

// The demo dictionary source compiled into the library (UTF-8 JSON).
std::string_view DemoDictionarySource();

}  // namespace tavelnor::demo
