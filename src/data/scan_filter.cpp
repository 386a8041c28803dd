// The extended-operation request of the argument-taking first/next.
#include "data/scan_filter.h"

#include <algorithm>
#include <cstring>

#include "foundation/byte_reader.h"

namespace tavelnor::data {

namespace {

void Put16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

}  // namespace

std::vector<uint8_t> BuildScanRequest(const ScanFilter& filter, uint16_t record_length,
                                      bool include_current) {
  if (filter.terms.size() > 0xFFFF) return {};
  std::vector<uint8_t> out;
  Put16(out, 0);  // length, set at the end
  out.push_back(include_current ? 'U' : 'E');
  out.push_back(include_current ? 'C' : 'G');
  Put16(out, filter.max_reject);
  Put16(out, static_cast<uint16_t>(filter.terms.size()));
  for (size_t i = 0; i < filter.terms.size(); ++i) {
    const ScanTerm& term = filter.terms[i];
    const size_t length = term.value.size();
    if (length == 0 || length > record_length || term.offset > record_length - length) return {};
    out.push_back(term.type);
    Put16(out, static_cast<uint16_t>(length));
    Put16(out, term.offset);
    out.push_back(static_cast<uint8_t>(static_cast<uint8_t>(term.comparison) |
                                       (term.no_case ? 0x80 : 0)));
    const bool last = i + 1 == filter.terms.size();
    out.push_back(last ? 0 : (filter.any ? 2 : 1));
    out.insert(out.end(), term.value.begin(), term.value.end());
    if (out.size() > 0xFFFF) return {};
  }
  Put16(out, 1);              // records wanted
  Put16(out, 1);              // fields per record
  Put16(out, record_length);  // the whole stored record
  Put16(out, 0);
  if (out.size() > 0xFFFF) return {};
  const auto descriptor = static_cast<uint16_t>(out.size());
  out[0] = static_cast<uint8_t>(descriptor);
  out[1] = static_cast<uint8_t>(descriptor >> 8);
  const size_t answer = size_t{2} + 6 + record_length;
  if (answer > 0xFFFF) return {};
  out.resize(std::max<size_t>(out.size(), answer), 0);
  return out;
}

bool ReadScanAnswer(const std::vector<uint8_t>& answer, int32_t* position, uint8_t* record,
                    size_t room) {
  ByteReader reader(answer.data(), answer.size());
  uint16_t count = 0, length = 0;
  uint32_t pos = 0;
  if (!reader.ReadU16(&count) || count == 0) return false;
  if (!reader.ReadU16(&length) || !reader.ReadU32(&pos)) return false;
  if (reader.Remaining() < length) return false;
  if (position) *position = static_cast<int32_t>(pos);
  if (record) std::memcpy(record, answer.data() + reader.Offset(), std::min<size_t>(length, room));
  return true;
}

}  // namespace tavelnor::data
