// The error types of the core. Every layer throws one small type derived from tc::Error; the
// message is Spanish, names the file, table, record, element or attribute concerned and says what
// was expected. Front ends catch tc::Error and show what() to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace tc {

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A table that cannot be created, opened, read or written, or a field that does not exist.
class TableError : public Error {
 public:
  using Error::Error;
};

// An ITACA document that cannot be read or written, or lacks an attribute a reader needs.
class DocumentError : public Error {
 public:
  using Error::Error;
};

// A conversion or export that cannot go on (for example a period line that is not well formed).
class RunError : public Error {
 public:
  using Error::Error;
};

}  // namespace tc
