// Text functions applied to every value taken from an ITACA document or a working table.
// Texts are 8-bit (Windows-1252) strings; a blank is the space character alone: tabs, line
// breaks and the no-break space (0xA0) are ordinary characters here.
#pragma once

#include <string>
#include <string_view>

namespace tc {

// The text without trailing blanks.
std::string RTrim(std::string_view text);
// The text without leading blanks.
std::string LTrim(std::string_view text);
// RTrim, then LTrim; blanks inside the text stay as they are.
std::string AllTrim(std::string_view text);
// The first n characters (the whole text when n is not smaller than its length; "" for n <= 0).
std::string Left(std::string_view text, int n);
// The last n characters (the whole text when n is not smaller than its length; "" for n <= 0).
std::string Right(std::string_view text, int n);
// The initial letters of the words after the first: a blank followed by at least five more
// characters contributes the next character only when the word after it has four letters or
// more; a blank among the last five positions contributes the next character whatever it is.
std::string Initials(std::string_view text);

// One field of a line in our own files (the commit journal, a generation's description, the work
// record): its backslashes, tabs and line breaks escaped, so that a line holds exactly its
// fields; UnescapeField gives the text back.
std::string EscapeField(std::string_view text);
std::string UnescapeField(std::string_view text);

}  // namespace tc
