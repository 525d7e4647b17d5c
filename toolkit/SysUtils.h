// Exceptions and string helpers shared by every layer above the platform.
// Strings are 8-bit Latin-1 text held in std::string.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "toolkit/Types.h"  // TPoint, TRect: shared by the canvas and the controls

namespace qv {

using AnsiString = std::string;

// Base of every error the class library raises; carries only a message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

 private:
  std::string message_;
};

#define QV_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

QV_DECLARE_EXCEPTION(EInvalidOperation, Exception);
QV_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
QV_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
QV_DECLARE_EXCEPTION(EOutOfResources, Exception);
QV_DECLARE_EXCEPTION(EStreamError, Exception);
QV_DECLARE_EXCEPTION(EReadError, EStreamError);
QV_DECLARE_EXCEPTION(EWriteError, EStreamError);
QV_DECLARE_EXCEPTION(EFOpenError, EStreamError);
QV_DECLARE_EXCEPTION(EListError, Exception);
QV_DECLARE_EXCEPTION(EThread, Exception);
QV_DECLARE_EXCEPTION(EConvertError, Exception);
QV_DECLARE_EXCEPTION(EInOutError, Exception);
QV_DECLARE_EXCEPTION(ERegistryException, Exception);
// The silent exception: it ends an operation and is never reported.
QV_DECLARE_EXCEPTION(EAbort, Exception);

// printf-style formatting of the description's message templates ("%s", "%d").
std::string Format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));

std::string IntToStr(long long value);
// Whole-number parse: optional blanks, sign, digits; anything else gives `fallback`.
int StrToIntDef(std::string_view text, int fallback);
std::string Trim(std::string_view text);
std::string LowerCase(std::string_view text);  // ASCII and Latin-1 letters
std::string UpperCase(std::string_view text);

}  // namespace qv
