#include "host/NbError.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

GZErrorPrivate::GZErrorPrivate(int code, std::string message, const GZCodeLocation &where)
    : code_(code), message_(std::move(message)) {
  AddLocation(where);
}

void GZErrorPrivate::AddLocation(const GZCodeLocation &where) {
  locations_.push_back({where.file ? where.file : "", where.function ? where.function : "", where.line});
}

CNbError::~CNbError() {}

CNbError &CNbError::Push(const GZCodeLocation &where) {
  if (detail) detail->AddLocation(where);
  return *this;
}

namespace {
std::string format_message(const char *format, va_list args) {
  if (!format) return std::string();
  va_list probe;
  va_copy(probe, args);
  int len = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (len <= 0) return std::string();
  std::string text(static_cast<size_t>(len) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(len));
  return text;
}
}  // namespace

namespace GZErrorUtil {
CNbError ErrorErrNo(const GZCodeLocation &where, int errnum, const char *format, ...) {
  va_list args;
  va_start(args, format);
  std::string message = format_message(format, args);
  va_end(args);
  int status = errnum == 0 ? -1 : -std::abs(errnum);
  return CNbError(status, std::make_shared<GZErrorPrivate>(errnum, std::move(message), where));
}
}  // namespace GZErrorUtil
