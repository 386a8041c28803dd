// Parsing, evaluating and extracting for the extended operations (layout in
// extended_descriptor.h).
#include "btrieve/extended_descriptor.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/key_codec.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr size_t kHeaderSize = 8;
constexpr size_t kTermHeaderSize = 7;
constexpr uint8_t kCompareMask = 0x07;
constexpr uint8_t kNamedAcs = 0x08;
constexpr uint8_t kUnusedBit = 0x10;
constexpr uint8_t kDefaultAcs = 0x20;
constexpr uint8_t kOtherField = 0x40;
constexpr uint8_t kIgnoreCase = 0x80;
constexpr size_t kAcsNameSize = 8;

bool IsText(uint8_t type) {
  return type == kTypeString || type == kTypeLstring || type == kTypeZstring;
}

// The field [offset, offset + length) must lie in the fixed record of a
// fixed-length file; a variable-length record may be longer.
bool FieldFits(const FileSpec& spec, uint32_t offset, uint32_t length) {
  return spec.variable_length() || offset + length <= spec.record_length;
}

// Reads the alternate collating sequence a term names after its value and
// finds it among the file's; 136 when the file holds no such sequence.
int ReadNamedAcs(ByteReader& r, const FileSpec& spec, uint8_t* index) {
  uint8_t kind = 0;
  if (!r.ReadU8(&kind)) return kDataBufferTooShort;
  size_t rest = kind == 0xAC ? kAcsNameSize : kind == 0xAD ? 4 : kind == 0xAE ? 16 : 0;
  if (rest == 0) return kInvalidDescriptor;
  std::span<const uint8_t> name;
  if (!r.ReadSpan(rest, &name)) return kDataBufferTooShort;
  if (kind != 0xAC) return kAcsNotInFile;  // country and ISR sequences are not kept here
  for (size_t i = 0; i < spec.acs.size(); ++i) {
    if (std::memcmp(spec.acs[i].data() + 1, name.data(), kAcsNameSize) == 0) {
      *index = static_cast<uint8_t>(i);
      return kOk;
    }
  }
  return kAcsNotInFile;
}

int ReadTerm(ByteReader& r, const FileSpec& spec, FilterTerm* term) {
  uint8_t type = 0, comparison = 0, connector = 0;
  if (!r.ReadU8(&type) || !r.ReadU16(&term->length) || !r.ReadU16(&term->offset) ||
      !r.ReadU8(&comparison) || !r.ReadU8(&connector)) {
    return kDataBufferTooShort;
  }
  const uint8_t op = comparison & kCompareMask;
  if (op < 1 || op > 6 || (comparison & kUnusedBit) || connector > 2) return kInvalidDescriptor;
  int ignored = kOk;
  if (!KeyTypeAccepts(type, term->length, &ignored)) return kInvalidDescriptor;
  term->comparison = static_cast<Comparison>(op);
  term->connector = static_cast<Connector>(connector);
  term->other_field = (comparison & kOtherField) != 0;
  std::span<const uint8_t> value;
  if (term->other_field) {
    if (!r.ReadU16(&term->other_offset)) return kDataBufferTooShort;
  } else if (!r.ReadSpan(term->length, &value)) {
    return kDataBufferTooShort;
  }
  Segment seg;
  seg.length = term->length;
  seg.type = type;
  seg.raw_type = type;
  if (IsText(type) && (comparison & kIgnoreCase)) seg.flags |= kKeyNoCase;
  if (comparison & kNamedAcs) {
    uint8_t index = 0;
    if (int st = ReadNamedAcs(r, spec, &index); st != kOk) return st;
    if (IsText(type)) {
      seg.flags |= kKeyAlternate;
      seg.acs = index;
    }
  } else if ((comparison & kDefaultAcs) && IsText(type)) {
    if (spec.acs.empty()) return kAcsNotInFile;
    seg.flags |= kKeyAlternate;
    seg.acs = 0;
  }
  term->as_key.segments = {seg};
  if (!FieldFits(spec, term->offset, term->length) ||
      (term->other_field && !FieldFits(spec, term->other_offset, term->length))) {
    return kInvalidFieldOffset;
  }
  if (!term->other_field) term->constant = EncodeKey(spec, term->as_key, value.data());
  return kOk;
}

bool Holds(Comparison c, int order) {
  switch (c) {
    case Comparison::kEqual:
      return order == 0;
    case Comparison::kGreater:
      return order > 0;
    case Comparison::kLess:
      return order < 0;
    case Comparison::kNotEqual:
      return order != 0;
    case Comparison::kGreaterOrEqual:
      return order >= 0;
    default:
      return order <= 0;
  }
}

// Compares the term's field in `record` with its value or other field;
// false when the record does not reach them.
bool TermHolds(const FilterTerm& term, const FileSpec& spec, std::span<const uint8_t> record,
               int* order) {
  *order = 0;
  if (size_t{term.offset} + term.length > record.size()) return false;
  std::string field = EncodeKey(spec, term.as_key, record.data() + term.offset);
  if (term.other_field) {
    if (size_t{term.other_offset} + term.length > record.size()) return false;
    *order = field.compare(EncodeKey(spec, term.as_key, record.data() + term.other_offset));
  } else {
    *order = field.compare(term.constant);
  }
  *order = (*order > 0) - (*order < 0);
  return Holds(term.comparison, *order);
}

}  // namespace

int ParseExtendedRequest(std::span<const uint8_t> bytes, const FileSpec& spec,
                         ExtendedRequest* out) {
  *out = ExtendedRequest{};
  if (bytes.size() < kHeaderSize) return kDataBufferTooShort;
  const uint16_t total = LoadLE16(bytes.data());
  if (total > bytes.size()) return kDataBufferTooShort;
  if (total < kHeaderSize) return kInvalidDescriptor;
  ByteReader r(bytes.first(total));
  r.Skip(2);
  uint8_t sig[2] = {};
  r.ReadU8(&sig[0]);
  r.ReadU8(&sig[1]);
  if (sig[0] == 'U' && sig[1] == 'C') {
    out->include_current = true;
  } else if (sig[0] != 'E' || sig[1] != 'G') {
    return kInvalidDescriptor;
  }
  uint16_t max_reject = 0, terms = 0;
  r.ReadU16(&max_reject);
  r.ReadU16(&terms);
  out->max_reject = max_reject == 0 ? 4095 : max_reject;
  if (r.Remaining() / kTermHeaderSize < terms) return kInvalidDescriptor;
  out->terms.resize(terms);
  for (size_t i = 0; i < out->terms.size(); ++i) {
    int st = ReadTerm(r, spec, &out->terms[i]);
    if (st == kDataBufferTooShort) return kInvalidDescriptor;  // the structure ends inside a term
    if (st != kOk) return st;
    const bool last = i + 1 == out->terms.size();
    if (last != (out->terms[i].connector == Connector::kLast)) return kInvalidDescriptor;
  }
  uint16_t fields = 0;
  if (!r.ReadU16(&out->records_wanted) || !r.ReadU16(&fields)) return kInvalidDescriptor;
  if (out->records_wanted == 0 || fields == 0 || r.Remaining() != size_t{fields} * 4) {
    return kInvalidDescriptor;
  }
  out->fields.resize(fields);
  for (ExtractField& field : out->fields) {
    r.ReadU16(&field.length);
    r.ReadU16(&field.offset);
    if (field.length == 0) return kInvalidDescriptor;
    if (!FieldFits(spec, field.offset, field.length)) return kInvalidFieldOffset;
    out->image_size += field.length;
  }
  if (out->image_size > UINT16_MAX) return kInvalidDescriptor;  // an image length is 2 bytes
  return kOk;
}

FilterOutcome EvaluateFilter(const ExtendedRequest& req, const FileSpec& spec,
                             std::span<const uint8_t> record) {
  FilterOutcome outcome;
  for (size_t i = 0; i < req.terms.size(); ++i) {
    const FilterTerm& term = req.terms[i];
    int order = 0;
    const bool holds = TermHolds(term, spec, record, &order);
    if (i == 0) {
      outcome.first_failed = !holds;
      outcome.first_order = order;
    }
    if (term.connector == Connector::kLast || (term.connector == Connector::kOr) == holds) {
      outcome.pass = holds;
      return outcome;
    }
  }
  return outcome;
}

int ExtractImage(const ExtendedRequest& req, std::span<const uint8_t> record,
                 std::vector<uint8_t>* out) {
  const size_t start = out->size();
  for (size_t i = 0; i < req.fields.size(); ++i) {
    const ExtractField& field = req.fields[i];
    const size_t from = std::min<size_t>(field.offset, record.size());
    const size_t bytes = std::min<size_t>(field.length, record.size() - from);
    out->insert(out->end(), record.begin() + from, record.begin() + from + bytes);
    if (bytes < field.length && i + 1 < req.fields.size()) {
      out->resize(start);
      return kDataBufferTooShort;
    }
  }
  return kOk;
}

}  // namespace tavelnor::btrieve
