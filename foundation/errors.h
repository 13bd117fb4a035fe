// Error kinds of the converter. Every failure that a user or a file can
// cause travels as one of these, and the user reads exactly message().
#pragma once

#include <stdexcept>
#include <string>

namespace pelmoro {

// Base of every error the converter reports. The message is a byte string
// (UTF-8 on this platform); it is what the error box or stderr shows. It is
// kept whole, since a quoted text may hold 0 bytes that what() would cut at.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message)
      : std::runtime_error(message), message_(message) {}
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// A text that is not a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A failed text-file operation; code() is the I/O code behind the message.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  int code() const { return code_; }

 private:
  int code_;
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
