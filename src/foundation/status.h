// Status and Result<T>: the error currency of our own components (record
// manager, dictionary compiler, platform seam, tool). The library's class
// families keep their own conventions (booleans, null pointers, status words).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tavelnor {

class [[nodiscard]] Status {
 public:
  enum class Code { kOk = 0, kNotFound, kCorrupt, kInvalidArgument, kIoError, kUnsupported };

  Status() = default;
  static Status Ok() { return Status(); }
  static Status NotFound(std::string msg) { return Status(Code::kNotFound, std::move(msg)); }
  static Status Corrupt(std::string msg) { return Status(Code::kCorrupt, std::move(msg)); }
  static Status InvalidArgument(std::string msg) { return Status(Code::kInvalidArgument, std::move(msg)); }
  static Status IoError(std::string msg) { return Status(Code::kIoError, std::move(msg)); }
  static Status Unsupported(std::string msg) { return Status(Code::kUnsupported, std::move(msg)); }

  bool ok() const { return code_ == Code::kOk; }
  Code code() const { return code_; }
  const std::string& message() const { return message_; }
  std::string ToString() const;

 private:
  Status(Code code, std::string msg) : code_(code), message_(std::move(msg)) {}
  Code code_ = Code::kOk;
  std::string message_;
};

// A value or the Status that explains why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}                    // NOLINT: implicit by design
  Result(Status status) : status_(std::move(status)) {}            // NOLINT: implicit by design
  bool ok() const { return value_.has_value(); }
  const Status& status() const { return status_; }
  T& value() & { return *value_; }
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  T& operator*() & { return *value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace tavelnor
