// Stand-in for the host utility library's status object (libNbUtils).
//
// CNbError is what every fallible operation of the CSV loader returns. Its inline
// part (code, shared detail record, Success, IsError, copying) is fixed by the host;
// Push, the destructor and GZErrorUtil::ErrorErrNo live in the library. The detail
// record keeps the errno-style code, the formatted message and every location pushed
// onto the error, so callers and tests can read them back.
#ifndef TSFORGE_HOST_NBERROR_H
#define TSFORGE_HOST_NBERROR_H

#include <memory>
#include <string>
#include <vector>

#if defined(__GNUC__) || defined(__clang__)
#define NBUTILS_API __attribute__((visibility("default")))
#else
#define NBUTILS_API
#endif

// Where an error was raised or passed through: source file, function, line.
struct NBUTILS_API GZCodeLocation {
  const char *file;
  const char *function;
  int line;
  GZCodeLocation(const char *file_, const char *function_, int line_)
      : file(file_), function(function_), line(line_) {}
  ~GZCodeLocation() {}
};

// Detail record of an error. Locations are copied into owned strings so the record
// outlives the literals it was built from.
class NBUTILS_API GZErrorPrivate {
 public:
  struct Location {
    std::string file;
    std::string function;
    int line;
  };
  GZErrorPrivate(int code, std::string message, const GZCodeLocation &where);
  int Code() const { return code_; }
  const std::string &Message() const { return message_; }
  // The raising location first, then every pushed location in push order.
  const std::vector<Location> &Locations() const { return locations_; }
  void AddLocation(const GZCodeLocation &where);

 private:
  int code_;
  std::string message_;
  std::vector<Location> locations_;
};

class NBUTILS_API CNbError {
 public:
  CNbError() : code(0), detail() {}
  CNbError(int code_, std::shared_ptr<GZErrorPrivate> detail_) : code(code_), detail(detail_) {}
  CNbError(const CNbError &other) : code(other.code), detail(other.detail) {}
  CNbError &operator=(const CNbError &other) {
    code = other.code;
    detail = other.detail;
    return *this;
  }
  ~CNbError();

  static CNbError Success() { return CNbError(); }
  bool IsError() const { return code < 0; }

  // Adds a location to the error (ignored for a success) and returns this status.
  CNbError &Push(const GZCodeLocation &where);

  int Code() const { return code; }
  const GZErrorPrivate *Detail() const { return detail.get(); }

 private:
  int code;
  std::shared_ptr<GZErrorPrivate> detail;
};

namespace GZErrorUtil {
// Builds an error from an errno-style code and a printf-style message. The status code
// is the negated magnitude of errnum (-1 when errnum is 0), so IsError() is always true;
// the detail record keeps errnum itself.
NBUTILS_API CNbError ErrorErrNo(const GZCodeLocation &where, int errnum, const char *format, ...)
#if defined(__GNUC__) || defined(__clang__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
}  // namespace GZErrorUtil

#endif  // TSFORGE_HOST_NBERROR_H
