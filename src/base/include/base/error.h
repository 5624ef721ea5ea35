// The error types of the core. Every error has a kind, which tells a front end what the user can
// do about it, and a message in Spanish that names the file, table, record, element or attribute
// concerned and says what was expected. Front ends catch tc::Error, show what() and add the
// advice for its kind. Texts are Windows-1252, as everywhere in the core.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace tc {

enum class ErrorKind {
  InputMissing,        // a file or folder the run needs is not there
  DocumentUnreadable,  // the ITACA document cannot be read or decoded
  DocumentMalformed,   // the document is not well-formed XML, or not an ITACA document
  AttributeMissing,    // an element of the document lacks an attribute the run reads
  TableMissing,        // a working table is not in the working folder
  TableDamaged,        // a table file that is not a dBase table we can read, or is cut short
  InUse,               // another program holds a table or file
  RunInProgress,       // another run is working on the same folder
  DiskOrPermission,    // a file cannot be written, moved or removed: disk full, read-only...
  InvalidData,         // a value the run cannot use (a period line, duty codes run out)
  Usage,               // a command line that is not understood
  Internal,            // a fault of the program itself
};

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, ErrorKind kind = ErrorKind::Internal,
                 std::string where = {})
      : std::runtime_error(message), kind_(kind), where_(std::move(where)) {}

  ErrorKind kind() const noexcept { return kind_; }
  // What the error is about, as the message names it: a file's path, a table's name, an
  // element's path; may be empty.
  const std::string& where() const noexcept { return where_; }

 private:
  ErrorKind kind_;
  std::string where_;
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
