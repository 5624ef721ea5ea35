// The dBase table engine: one table file opened as a Table, with the row operations Clepsa's
// working tables need (walk, append, edit, post, delete, pack, locate, field access by name).
//
// Files written are dBase level 7 (version byte 0x04), Windows-1252 text, integers as I/4,
// floating-point numbers as O/8, logicals as L/1. Files read may also be dBase III/IV/5, dBase
// level 7 written by others, FoxPro and Visual FoxPro (Clepsa's SOLUC may be any of them).
//
// Row rules:
//  - Append or Edit starts a pending row; Post writes it. Positioning (First, Next, Locate) or
//    another Append writes the pending row when any field was set and drops it when none was.
//    Close drops it.
//  - RecNo is the 1-based position in the file; a row keeps it until Pack. Delete removes the
//    current row from walks and lookups and makes the next row current.
//  - Locate compares each key field's stored text without trailing blanks with the whole given
//    text, exactly and case-sensitively; the first matching live row in file order becomes
//    current. When none matches the current row stays as it was.
//  - A text longer than its field is cut to the field's width when stored; a field never set
//    stays blank (an integer field reads back as blank, not as 0).
//
// Changes live in memory and reach the disk in one piece when the table is closed: written to a
// temporary file beside the table and moved into place, so a failure leaves the old file intact.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tc::store {

// Logical field types. Tables we create use the first four; Date and Other appear in tables
// written by other programs (Other covers memo, binary and any type we only skip).
enum class FieldType { Character, Logical, Integer, Float, Date, Other };

struct FieldDef {
  std::string name;  // upper-case ASCII, at most 31 characters
  FieldType type = FieldType::Character;
  int width = 0;     // character fields only; other types have a fixed width
};
using Schema = std::vector<FieldDef>;

enum class OpenMode { Shared, Exclusive };

// A table's bytes in memory: the file's header and its records. StagedTables keeps the image of a
// table it staged when the table is closed, so that the next stage opens it without reading the
// file again; the keeper learns whether the close saved the image to the file.
struct TableImage {
  std::string header;
  std::string records;
};
using ImageKeeper = std::function<void(TableImage image, bool saved)>;

class Table {
 public:
  Table();  // a closed table
  ~Table();
  Table(Table&&) noexcept;
  Table& operator=(Table&&) noexcept;
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  // Creates an empty table file with exactly these fields, replacing any file at `path`, and
  // opens it in shared mode.
  // Every file operation of the table goes through `files`.
  static Table Create(const std::filesystem::path& path, const Schema& fields,
                      ImageKeeper keeper = {},
                      platform::FileSystem& files = platform::RealFileSystem());
  // Opens an existing table file. Throws TableError when the file is missing, held by another
  // program, or not a dBase file we can read.
  static Table Open(const std::filesystem::path& path, OpenMode mode,
                    platform::FileSystem& files = platform::RealFileSystem());
  // Opens a table whose file is known to hold exactly `image`; closing hands the image to
  // `keeper`. A table created or opened with a keeper is one a run builds aside: its saves reach
  // the disk when the run commits it (FileSystem::Sync), not each one as it is made.
  static Table Open(const std::filesystem::path& path, OpenMode mode, ImageKeeper keeper,
                    std::optional<TableImage> image,
                    platform::FileSystem& files = platform::RealFileSystem());

  bool Active() const;
  // Writes the changes (atomically) and closes; a pending row is dropped. Closing a closed table
  // does nothing.
  void Close();

  // The table's name for messages (file name without extension, upper case), e.g. "PROFT".
  const std::string& Name() const;
  const std::filesystem::path& Path() const;
  const Schema& Fields() const;
  bool HasField(std::string_view field) const;

  // Walk in record-number order over live rows.
  void First();
  void Next();
  bool Eof() const;
  // 1-based record number of the current row; 0 when there is no current row.
  int RecNo() const;
  // Number of live (not deleted) rows.
  int RecordCount() const;
  // A table read from a file that holds fewer records than its header says (a file cut short,
  // even at a record boundary) is read as far as it goes; a reader that must have every record
  // (the export, Clepsa's SOLUC above all) asks for this check, which throws TableError
  // (TableDamaged) giving both counts.
  void RequireComplete() const;

  // Room for `rows` more rows, taken at once, for a writer that knows at most how many it will
  // append: grown row by row, a large table's rows are copied whole into a block twice the size
  // at every growth. Room never written to is never touched, so a bound well above the rows
  // appended costs no memory.
  void Reserve(std::size_t rows);
  void Append();
  void Edit();
  void Post();
  void Delete();
  // Removes deleted rows from the file.
  void Pack();

  // keys: one field name or several joined by ';'; values in the same order.
  bool Locate(std::string_view keys, std::string_view value);
  bool Locate(std::string_view keys, std::initializer_list<std::string_view> values);
  bool Locate(std::string_view keys, std::span<const std::string> values);

  // The next matching live row after the current one, in file order: with Locate, a walk over
  // every row holding a key. False, and the current row unchanged, when there is none.
  bool LocateNext(std::string_view keys, std::string_view value);

  // Field access by name on the current (or pending) row. Throws TableError for an unknown field
  // or when there is no current row. Field names match whatever their letter case. After Post the
  // row written is the current row. Setting a field needs a pending row (Append or Edit).
  // GetText gives a blank field as "", a number in its shortest decimal form ("3", "2.5"), a
  // logical as "T" or "F" and a date as YYYYMMDD.
  std::string GetText(std::string_view field) const;  // character: without trailing blanks
  // GetText of a character field as a view of the row, valid until the row or the table is
  // changed or left (positioning, Append, Edit, Post, Close): the reads of a walk that keep
  // nothing. Throws TableError for a field of any other type.
  std::string_view GetTextView(std::string_view field) const;
  std::int32_t GetInteger(std::string_view field) const;  // blank reads as 0
  double GetFloat(std::string_view field) const;          // blank reads as 0
  bool GetBoolean(std::string_view field) const;          // blank reads as false
  bool IsBlank(std::string_view field) const;

  void SetText(std::string_view field, std::string_view value);  // "" blanks the field
  void SetInteger(std::string_view field, std::int32_t value);
  void SetFloat(std::string_view field, double value);
  void SetBoolean(std::string_view field, bool value);
  void Clear(std::string_view field);

  class Impl;

  // A field found once by its name, for a walk that reads or writes it on thousands of rows:
  // named so, it is not looked for again. It belongs to the table's opening it was found in and
  // is refused (TableError) by any other, this table's own after it was closed included.
  class Field {
   public:
    Field() = default;

   private:
    friend class Impl;
    std::uint64_t opening_ = 0;
    std::size_t column_ = 0;
  };
  Field FieldOf(std::string_view name) const;  // TableError for a field the table does not have

  // The accesses above, by a field found before.
  std::string GetText(Field field) const;
  std::string_view GetTextView(Field field) const;
  std::int32_t GetInteger(Field field) const;
  double GetFloat(Field field) const;
  bool IsBlank(Field field) const;
  void SetText(Field field, std::string_view value);
  void SetFloat(Field field, double value);

 private:
  explicit Table(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tc::store
