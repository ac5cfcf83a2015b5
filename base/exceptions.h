// The exception classes of the framework. Each carries its message text.
#pragma once

#include <exception>
#include <string>

namespace qel::base {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const noexcept { return FMessage; }
  const char* what() const noexcept override { return FMessage.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string FMessage;
};

// Declares an exception class that only adds its name to its base.
#define QEL_DECLARE_EXCEPTION(Name, Base)                                      \
  class Name : public Base {                                                   \
    using Inherited = Base;                                                    \
                                                                               \
   public:                                                                     \
    using Inherited::Inherited;                                                \
    const char* ClassName() const noexcept override { return #Name; }         \
  }

QEL_DECLARE_EXCEPTION(EStreamError, Exception);
QEL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
QEL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
QEL_DECLARE_EXCEPTION(EReadError, EStreamError);
QEL_DECLARE_EXCEPTION(EWriteError, EStreamError);
QEL_DECLARE_EXCEPTION(EFilerError, EStreamError);
QEL_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
QEL_DECLARE_EXCEPTION(EListError, Exception);
QEL_DECLARE_EXCEPTION(EConvertError, Exception);
QEL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
QEL_DECLARE_EXCEPTION(EOutOfResources, EOutOfMemory);

// An input/output failure with the system's error code.
class EInOutError : public Exception {
 public:
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  const char* ClassName() const noexcept override { return "EInOutError"; }
  int ErrorCode;
};

}  // namespace qel::base
