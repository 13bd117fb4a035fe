// Error kinds of the converter. Every failure that a user or a file can
// cause travels as one of these, and the user reads exactly message().
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pelmoro {

// Base of every error the converter reports. The message is a byte string
// (UTF-8 on this platform); it is what the error box or stderr shows. It is
// kept whole, since a quoted text may hold 0 bytes that what() would cut at.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message), message_(message) {}
  const std::string& message() const { return message_; }

  // The 1-based line of the input the error arose in, 0 when unknown. A
  // reader sets it on the way out; message() never shows it.
  std::int64_t line() const { return line_; }
  void set_line(std::int64_t line) { line_ = line; }

 private:
  std::string message_;
  std::int64_t line_ = 0;
};

// A text that is not a number. text() is the refused text as handed in,
// when the error came from reading one.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
  EConvertError(const std::string& message, std::string_view text)
      : Exception(message), text_(text), has_text_(true) {}
  const std::string& text() const { return text_; }
  bool has_text() const { return has_text_; }

 private:
  std::string text_;
  bool has_text_ = false;
};

// What the system was asked to do when a file operation failed.
enum class IoOperation { kNone, kOpen, kCreate, kRead, kWrite, kClose };

// The system's side of a failed file operation: the operation, its errno
// (0 when the failure was no system call's, such as a file in the wrong
// state) and the file it concerned.
struct IoFailure {
  IoOperation operation = IoOperation::kNone;
  int system_error = 0;
  std::string file;
};

// A failed text-file operation; code() is the I/O code behind the message,
// failure() what the system said, for front ends that word it themselves.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code, IoFailure failure = {});
  int code() const { return code_; }
  const IoFailure& failure() const { return failure_; }

 private:
  int code_;
  IoFailure failure_;
};

// Floating-point errors: invalid operation, division by zero, overflow.
class EMathError : public Exception {
 public:
  using Exception::Exception;
};
class EInvalidOp : public EMathError {
 public:
  EInvalidOp();
};
class EZeroDivide : public EMathError {
 public:
  EZeroDivide();
};
class EOverflow : public EMathError {
 public:
  EOverflow();
};

// A value that is a number but cannot be used, such as a coordinate whose
// grid value lies outside the signed 32-bit range.
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// The message that EInOutError carries for an I/O code.
std::string IoErrorMessage(int code);

}  // namespace pelmoro
