// Fuzz target for the dictionary file containers: the module resource reader
// and the gzip reader get the same input. Any answer is fine; a crash, a
// sanitizer report or a read outside the input is not.
//
// Seeds: plain dictionary images, their gzip form and modules built with
// BuildPeModuleWithResource.
#include <cstddef>
#include <cstdint>
#include <span>

#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"

namespace {

// Inflating stops well before memory runs out under the fuzzer.
constexpr uint64_t kFuzzInflateCap = uint64_t{64} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tavelnor::dico;
  const std::span<const uint8_t> input(data, size);

  tavelnor::Result<PeResource> found = FindPeResource(input, u"DICO", u"DICO");
  if (found.ok()) {
    // Touch every byte so a span reaching outside the input is caught.
    volatile uint8_t sum = 0;
    for (uint8_t b : found->data) sum = static_cast<uint8_t>(sum + b);
    (void)sum;
  }

  // Small reads through the streaming reader, then the one-shot form.
  size_t pos = 0;
  GzipReader reader(
      [&](uint8_t* buf, size_t capacity, size_t* got) {
        *got = capacity < size - pos ? capacity : size - pos;
        for (size_t i = 0; i < *got; ++i) buf[i] = data[pos + i];
        pos += *got;
        return true;
      },
      kFuzzInflateCap);
  uint8_t chunk[1000];
  while (reader.Read(chunk, sizeof chunk) == sizeof chunk) {
  }
  tavelnor::Result<std::vector<uint8_t>> inflated = GzipDecompress(input, kFuzzInflateCap);
  (void)inflated;
  return 0;
}
