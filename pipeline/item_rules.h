// Which strings are text for people, and which translations may go back.
//
// A translator page turns "Strings.pbi" into "STRINGS.PBI", "%hh:%ii" into
// "% hh:% ii" and "UPDATE t SET" into "AKTUALISIEREN t SET": the program
// then fails to compile or misbehaves. These rules keep such strings away
// from the translator. They are pure functions over one line or one string.
#pragma once

#include <string_view>

namespace qm {

// The keyword a line's code starts with, after spaces and tabs, when it is
// one whose strings are names for the compiler, never text:
// IncludeFile, XIncludeFile, IncludeBinary, IncludePath, Import and ImportC.
// Keywords compare without regard to ASCII case, as the language does.
enum class Directive { None, Include, Import, EndImport };
Directive DirectiveOf(std::u16string_view code);
Directive DirectiveOf(std::string_view code);  // UTF-8, alike

// Something a person reads holds at least one ASCII letter or one character
// beyond ASCII; separators such as "------" or ", " do not.
bool HoldsLetter(std::u16string_view text);
bool HoldsLetter(std::string_view text);

// True when the line's first character other than space and tab is "!":
// inline assembler or C, passed to the compiler's back end as it stands.
bool IsInlineBackendLine(std::u16string_view line);
bool IsInlineBackendLine(std::string_view line);

// True when a string literal's text is not for people: with no space once
// space-trimmed, a file name or path, a web or mail address, a code-style
// identifier ("ProfilerWidth", "HKEY_USERS", "utf8"), a dotted name
// ("Shell.Application") or a locale code ("en-US"); whatever its spaces, a
// folder path ("Library/Application Support/"), a date or format mask
// ("%hh:%ii:%ss"), a file filter ("Text|*.txt") or an SQL statement
// ("SELECT a FROM t", "PRAGMA foreign_keys = ON"). `escaped` is true for a ~"…" string,
// whose backslash sequences stand for single characters.
bool IsTechnicalLiteral(std::u16string_view text, bool escaped);
bool IsTechnicalLiteral(std::string_view text, bool escaped);

// True when `text`, put into a ~"…" string, holds a backslash sequence the
// language does not define (defined: \a \b \f \n \r \t \v \" \\), or ends in
// a lone backslash.
bool HoldsUndefinedEscape(std::u16string_view text);
bool HoldsUndefinedEscape(std::string_view text);

}  // namespace qm
