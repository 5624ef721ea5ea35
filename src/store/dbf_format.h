// The .DBF file format as the table engine reads and writes it: the flavours told apart by the
// version byte, the header and field-descriptor layouts, and the binary value encodings.
// Internal to the store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/codepage.h"
#include "platform/file_system.h"
#include "store/table.h"

namespace tc::store::dbf {

// A table is created or opened (`doing`: "crear", "abrir") only in a folder that is there;
// otherwise the TableError that says which folder is missing.
void RequireTableFolder(platform::FileSystem& files, const std::filesystem::path& dir,
                        std::string_view doing, const std::string& table);

// ---- Version byte (offset 0) -----------------------------------------------------------------
inline constexpr unsigned char kVersionDbase2 = 0x02;       // dBase II: not read
inline constexpr unsigned char kVersionLevel7 = 0x04;       // what we write: level 7, no memo
inline constexpr unsigned char kVersionFamilyMask = 0x07;   // low bits name the family
inline constexpr unsigned char kFamilyDbase3 = 0x03;        // dBase III/IV/5, FoxBASE, FoxPro 2
inline constexpr unsigned char kFamilyLevel7 = 0x04;        // dBase level 7 (0x04, 0x8C)
inline constexpr unsigned char kVersionFoxPro2Memo = 0xF5;  // FoxPro 2 with memo
inline constexpr unsigned char kVersionFoxProVarious = 0xFB;
inline constexpr unsigned char kVersionVisualFoxPro = 0x30;
inline constexpr unsigned char kVersionVisualFoxProAuto = 0x31;
inline constexpr unsigned char kVersionVisualFoxProVar = 0x32;

// ---- Table header ----------------------------------------------------------------------------
inline constexpr std::size_t kOffsetLastUpdate = 1;     // Y-1900, M, D
inline constexpr std::size_t kOffsetRecordCount = 4;    // uint32 LE, deleted rows included
inline constexpr std::size_t kOffsetHeaderLength = 8;   // uint16 LE: offset of the first record
inline constexpr std::size_t kOffsetRecordLength = 10;  // uint16 LE: flag byte + field widths
inline constexpr std::size_t kOffsetLanguageDriverId = 29;
inline constexpr std::size_t kOffsetLanguageDriverName = 32;  // level 7 only, 32 bytes
inline constexpr std::size_t kLanguageDriverNameSize = 32;
inline constexpr std::string_view kLanguageDriverName = "DBWINUS0";  // ANSI, code page 1252
inline constexpr std::size_t kClassicHeaderSize = 32;
inline constexpr std::size_t kLevel7HeaderSize = 68;
inline constexpr unsigned char kHeaderTerminator = 0x0D;  // ends the descriptor array
inline constexpr unsigned char kEndOfFile = 0x1A;         // after the last record
inline constexpr std::size_t kMaxHeaderLength = 0xFFFF;
inline constexpr std::size_t kMaxRecordLength = 0xFFFF;

// ---- Field descriptors -----------------------------------------------------------------------
inline constexpr std::size_t kClassicDescriptorSize = 32;
inline constexpr std::size_t kClassicNameSize = 11;  // zero-terminated
inline constexpr std::size_t kClassicTypeOffset = 11;
inline constexpr std::size_t kClassicWidthOffset = 16;
inline constexpr std::size_t kClassicDecimalsOffset = 17;  // FoxPro: high byte of a C width
inline constexpr std::size_t kLevel7DescriptorSize = 48;
inline constexpr std::size_t kLevel7NameSize = 32;  // zero-filled; at most 31 characters
inline constexpr std::size_t kLevel7TypeOffset = 32;
inline constexpr std::size_t kLevel7WidthOffset = 33;
inline constexpr std::size_t kLevel7DecimalsOffset = 34;
inline constexpr std::size_t kMaxNameLength = 31;
inline constexpr int kMaxCharacterWidth = 254;

// ---- Records ---------------------------------------------------------------------------------
inline constexpr char kLiveFlag = ' ';
inline constexpr char kDeletedFlag = '*';

// Physical field widths of the binary types we write.
inline constexpr int kLogicalWidth = 1;
inline constexpr int kLongWidth = 4;
inline constexpr int kDoubleWidth = 8;
inline constexpr int kDateWidth = 8;

enum class Flavour { Dbase, Level7, FoxPro };

// How one column's bytes hold its value.
enum class Encoding {
  Text,         // C: padded with blanks
  Numeric,      // N, F: ASCII decimal, right-aligned, blank when all blanks
  Logical,      // L: T/F (t f Y y N n read too), blank or '?' when not set
  Date,         // D: YYYYMMDD
  Long7,        // level-7 I and +: big-endian, sign bit flipped, all zeros = blank
  Double7,      // level-7 O: big-endian IEEE bits arranged to sort, all zeros = blank
  FoxInteger,   // Visual FoxPro I: little-endian int32
  FoxDouble,    // Visual FoxPro B: little-endian double
  FoxCurrency,  // Visual FoxPro Y: little-endian int64 in ten-thousandths
  Skipped,      // memo, binary, timestamps and anything else: present, never interpreted
};

struct Column {
  FieldDef def;     // as the table's users see it
  char code = 'C';  // the type letter in the file
  Encoding encoding = Encoding::Text;
  std::size_t offset = 0;  // from the start of the record (the flag byte is at 0)
  std::size_t width = 0;
  int decimals = 0;
};

struct Layout {
  Flavour flavour = Flavour::Level7;
  std::vector<Column> columns;
  std::size_t header_length = 0;
  std::size_t record_length = 0;
  std::size_t records = 0;  // records the file really holds, deleted ones included
  std::size_t declared_records = 0;  // what the header says it holds
};

struct Date {
  int year = 2000, month = 1, day = 1;
};
Date Today();

// Reads the header of a whole table file. Throws TableError naming `path` for a file that is not
// a dBase table we can read: every length is checked against the file's size first.
Layout ReadLayout(std::string_view file, const std::filesystem::path& path);

// The header of a new, empty level-7 table with these fields. Throws TableError naming `path`
// for a field list that cannot be stored.
std::string NewLevel7Header(const Schema& fields, const std::filesystem::path& path, Date today);

// Sets the record count and the date of the last update in a header.
void StampHeader(std::string& header, std::size_t records, Date today);

// Level-7 binary numbers.
void EncodeLong7(std::int32_t value, char* out);
std::int32_t DecodeLong7(const char* in);  // the caller checks for the blank (all zeros) first
void EncodeDouble7(double value, char* out);
double DecodeDouble7(const char* in);

// Visual FoxPro binary numbers: little-endian two's complement and IEEE bits; money (Y) as a
// whole number of ten-thousandths.
inline constexpr double kCurrencyScale = 10000.0;
void EncodeFoxInteger(std::int32_t value, char* out);
std::int32_t DecodeFoxInteger(const char* in);
void EncodeFoxDouble(double value, char* out);
double DecodeFoxDouble(const char* in);
void EncodeFoxCurrency(std::int64_t ten_thousandths, char* out);
std::int64_t DecodeFoxCurrency(const char* in);

// Shortest text that reads back as the same number ("4", "2.5").
std::string FormatNumber(double value);

// File name without extension, upper case; a staged copy ("~TC_PROFT~....tmp") answers with the
// name of the table it stands for.
std::string TableNameFromPath(const std::filesystem::path& path);
inline constexpr std::string_view kStagedPrefix = "~TC_";
inline constexpr char kStagedSeparator = '~';

// Upper case of the ASCII letters only: table and field names compare without regard to case.
inline std::string AsciiUpper(std::string_view text) { return AsciiUpperCase(text); }

}  // namespace tc::store::dbf
