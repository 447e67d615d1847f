// Quiran's failures: exceptions carrying a Shift-JIS message, shown by the application's
// top-level handler in a message box, after which the program runs on.
#pragma once
#include <exception>
#include <string>
#include <string_view>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// A file that exists could not be opened for reading.
class EFOpenError : public Exception { using Exception::Exception; };
// A file could not be created or written.
class EFCreateError : public Exception { using Exception::Exception; };
// Data that is not a picture Quiran can read, or a picture format without a decoder.
class EInvalidGraphic : public Exception { using Exception::Exception; };
// The silent abort: ends an operation without a message.
class EAbort : public Exception { public: EAbort() : Exception("") {} };

// printf-like formatting of Shift-JIS text: %s takes a string, %d an integer, %% a percent.
std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args);
