#include "pipeline/item_rules.h"

#include <algorithm>
#include <array>
#include <string>

#include "text/encoding.h"
#include "text/text.h"

namespace qm {
namespace {

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsAsciiLower(char16_t c) { return c >= u'a' && c <= u'z'; }
bool IsAsciiUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
bool IsWordChar(char16_t c) { return IsAsciiLetter(c) || IsAsciiDigit(c) || c == u'_'; }
// What a reader takes for a letter: an ASCII letter or anything beyond ASCII.
bool IsLetterLike(char16_t c) { return IsAsciiLetter(c) || c > 0x7F; }

char16_t AsciiLower(char16_t c) { return IsAsciiUpper(c) ? static_cast<char16_t>(c + 32) : c; }

// Some rules look only at ASCII characters; everything beyond ASCII counts
// alike, whether it comes as one UTF-16 code unit or as the bytes of one
// UTF-8 sequence. Those are written once, for both forms.
char32_t UnitOf(char c) { return static_cast<unsigned char>(c); }
char32_t UnitOf(char16_t c) { return c; }

// `text` equals `word` without regard to ASCII case.
template <typename Char>
bool EqualsNoCase(std::basic_string_view<Char> text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(static_cast<char16_t>(UnitOf(text[i]))) != AsciiLower(word[i])) return false;
  }
  return true;
}

bool Contains(std::u16string_view text, std::u16string_view part) {
  return text.find(part) != std::u16string_view::npos;
}

// The character a ~"…" escape stands for, or 0 for a sequence the language
// does not define.
char16_t EscapedChar(char16_t c) {
  switch (c) {
    case u'a': return u'\a';
    case u'b': return u'\b';
    case u'f': return u'\f';
    case u'n': return u'\n';
    case u'r': return u'\r';
    case u't': return u'\t';
    case u'v': return u'\v';
    case u'"': return u'"';
    case u'\\': return u'\\';
    default: return 0;
  }
}

// A ~"…" string's text with its escapes resolved; undefined ones stay as written.
std::u16string ResolveEscapes(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t resolved =
        text[i] == u'\\' && i + 1 < text.size() ? EscapedChar(text[i + 1]) : char16_t{0};
    if (resolved != 0) {
      out += resolved;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// "a/b", "dir\file", "logo.png", ".pbi", "v1.0": a separator, or an
// extension of 1 to 5 letters or digits at the end.
bool IsFileName(std::u16string_view t) {
  if (t.find_first_of(u"/\\") != std::u16string_view::npos) return true;
  const std::size_t dot = t.rfind(u'.');
  if (dot == std::u16string_view::npos) return false;
  const std::size_t extension = t.size() - dot - 1;
  if (extension < 1 || extension > 5) return false;
  for (std::size_t i = dot + 1; i < t.size(); ++i) {
    if (!IsAsciiLetter(t[i]) && !IsAsciiDigit(t[i])) return false;
  }
  return true;
}

// "Shell.Application", "customers.sqlite", "WScript.Shell": names joined by
// dots, ASCII letters, digits and "_" only (COM ProgIDs, file names whose
// extension is longer than five letters).
bool IsDottedName(std::u16string_view t) {
  bool dot = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'.') {
      if (i == 0 || i + 1 == t.size() || t[i + 1] == u'.') return false;
      dot = true;
    } else if (!IsWordChar(t[i])) {
      return false;
    }
  }
  return dot;
}

// "en-US", "de-CH", "pt-BR": a language and a country.
bool IsLocaleCode(std::u16string_view t) {
  if (t.size() != 5 && t.size() != 6) return false;
  const std::size_t dash = t.size() - 3;
  if (t[dash] != u'-') return false;
  for (std::size_t i = 0; i < dash; ++i) {
    if (!IsAsciiLower(t[i])) return false;
  }
  return IsAsciiUpper(t[dash + 1]) && IsAsciiUpper(t[dash + 2]);
}

// "https://…", "www.…", "name@host.tld".
bool IsAddress(std::u16string_view t) {
  if (Contains(t, u"://")) return true;
  if (t.size() > 4 && EqualsNoCase(t.substr(0, 4), u"www.")) return true;
  const std::size_t at = t.find(u'@');
  if (at == 0 || at == std::u16string_view::npos || t.find(u'@', at + 1) != std::u16string_view::npos) {
    return false;
  }
  const std::size_t dot = t.rfind(u'.');
  if (dot == std::u16string_view::npos || dot < at + 2 || dot + 1 == t.size()) return false;
  for (std::size_t i = dot + 1; i < t.size(); ++i) {
    if (!IsAsciiLetter(t[i])) return false;
  }
  return true;
}

// "ProfilerWidth", "Button_1", "HKEY_USERS", "utf8"; not "Help" or "OK".
bool IsCodeIdentifier(std::u16string_view t) {
  bool code_like = false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    const char16_t c = t[i];
    if (!IsWordChar(c)) return false;
    if (c == u'_' || IsAsciiDigit(c) || (IsAsciiUpper(c) && i > 0 && IsAsciiLower(t[i - 1]))) {
      code_like = true;
    }
  }
  return code_like;
}

// "%hh:%ii:%ss", "%dd.%mm.%yyyy", "%filename%": nothing that reads as a
// letter is left once the placeholders are taken out.
bool IsMask(std::u16string_view t) {
  if (!Contains(t, u"%")) return false;
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'%') {
      std::size_t j = i + 1;
      while (j < t.size() && IsAsciiLetter(t[j])) ++j;
      if (j > i + 1) {
        // "%filename%" closes with a "%"; in "%yyyy%mm" that one opens the next.
        if (j < t.size() && t[j] == u'%' && (j + 1 == t.size() || !IsAsciiLetter(t[j + 1]))) ++j;
        i = j - 1;
        continue;
      }
    }
    if (IsLetterLike(t[i])) return false;
  }
  return true;
}

// Which of the characters the rules turn on a text holds, one bit each.
enum Mark : unsigned char {
  kPercent = 1, kPipe = 2, kSpace = 4, kDot = 8, kSeparator = 16, kColon = 32, kAt = 64,
};

constexpr std::array<unsigned char, 128> kMarkOf = [] {
  std::array<unsigned char, 128> marks{};
  marks['%'] = kPercent;
  marks['|'] = kPipe;
  marks[' '] = kSpace;
  marks['.'] = kDot;
  marks['/'] = kSeparator;
  marks['\\'] = kSeparator;
  marks[':'] = kColon;
  marks['@'] = kAt;
  return marks;
}();

unsigned MarksOf(std::u16string_view text) {
  unsigned marks = 0;
  for (const char16_t c : text) marks |= c < 128 ? kMarkOf[c] : 0u;
  return marks;
}

// A statement verb first and a clause word later, both in capitals:
// "SELECT name FROM users", but not "SELECT a file".
bool IsSql(std::u16string_view t) {
  static constexpr std::array<std::u16string_view, 8> kVerbs = {
      u"SELECT", u"INSERT", u"UPDATE", u"DELETE", u"CREATE", u"DROP", u"ALTER", u"PRAGMA"};
  static constexpr std::array<std::u16string_view, 8> kClauses = {
      u"FROM", u"INTO", u"SET", u"TABLE", u"WHERE", u"VALUES", u"INDEX", u"VIEW"};
  bool first = true;
  bool pragma = false;
  for (std::size_t i = 0; i < t.size();) {
    if (!IsWordChar(t[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < t.size() && IsWordChar(t[end])) ++end;
    const std::u16string_view word = t.substr(i, end - i);
    const auto& wanted = first ? kVerbs : kClauses;
    const bool match = std::find(wanted.begin(), wanted.end(), word) != wanted.end();
    if (first && !match) return false;
    // "PRAGMA foreign_keys = ON": any later word makes it a statement.
    if (!first && (match || pragma)) return true;
    pragma = first && word == u"PRAGMA";
    first = false;
    i = end;
  }
  return false;
}

}  // namespace

namespace {

template <typename Char>
std::size_t SkipBlanksIn(std::basic_string_view<Char> text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == Char(' ') || text[i] == Char('\t'))) ++i;
  return i;
}

template <typename Char>
Directive DirectiveIn(std::basic_string_view<Char> code) {
  const std::size_t start = SkipBlanksIn(code);
  // Every keyword starts with I, X or E: most lines are settled here.
  if (start == code.size()) return Directive::None;
  const char32_t first = UnitOf(code[start]) | 0x20;
  if (first != U'i' && first != U'x' && first != U'e') return Directive::None;
  std::size_t end = start;
  while (end < code.size() && UnitOf(code[end]) < 0x80 &&
         IsWordChar(static_cast<char16_t>(UnitOf(code[end])))) {
    ++end;
  }
  const std::basic_string_view<Char> word = code.substr(start, end - start);
  static constexpr std::array<std::u16string_view, 4> kIncludes = {
      u"IncludeFile", u"XIncludeFile", u"IncludeBinary", u"IncludePath"};
  for (const std::u16string_view keyword : kIncludes) {
    if (EqualsNoCase(word, keyword)) return Directive::Include;
  }
  if (EqualsNoCase(word, u"Import") || EqualsNoCase(word, u"ImportC")) return Directive::Import;
  if (EqualsNoCase(word, u"EndImport")) return Directive::EndImport;
  return Directive::None;
}

template <typename Char>
bool HoldsLetterIn(std::basic_string_view<Char> text) {
  return std::any_of(text.begin(), text.end(),
                     [](Char c) { return IsLetterLike(static_cast<char16_t>(UnitOf(c))); });
}

template <typename Char>
bool IsInlineBackendLineIn(std::basic_string_view<Char> line) {
  const std::size_t first = SkipBlanksIn(line);
  return first < line.size() && line[first] == Char('!');
}

template <typename Char>
bool HoldsUndefinedEscapeIn(std::basic_string_view<Char> text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != Char('\\')) continue;
    if (i + 1 == text.size() || UnitOf(text[i + 1]) > 0x7F ||
        EscapedChar(static_cast<char16_t>(UnitOf(text[i + 1]))) == 0) {
      return true;
    }
    ++i;
  }
  return false;
}

}  // namespace

Directive DirectiveOf(std::u16string_view code) { return DirectiveIn(code); }
Directive DirectiveOf(std::string_view code) { return DirectiveIn(code); }
bool HoldsLetter(std::u16string_view text) { return HoldsLetterIn(text); }
bool HoldsLetter(std::string_view text) { return HoldsLetterIn(text); }
bool IsInlineBackendLine(std::u16string_view line) { return IsInlineBackendLineIn(line); }
bool IsInlineBackendLine(std::string_view line) { return IsInlineBackendLineIn(line); }
bool HoldsUndefinedEscape(std::u16string_view text) { return HoldsUndefinedEscapeIn(text); }
bool HoldsUndefinedEscape(std::string_view text) { return HoldsUndefinedEscapeIn(text); }

bool IsTechnicalLiteral(std::string_view text, bool escaped) {
  // Judged in UTF-16, decoded into a buffer kept from one literal to the next.
  thread_local std::u16string units;
  if (units.size() < text.size()) units.resize(text.size());
  const std::size_t n = DecodeUtf8Into(text, units.data());
  return IsTechnicalLiteral(std::u16string_view(units.data(), n), escaped);
}

bool IsTechnicalLiteral(std::u16string_view text, bool escaped) {
  std::u16string resolved;
  if (escaped && Contains(text, u"\\")) {
    resolved = ResolveEscapes(text);
    text = resolved;
    // ~"\n\n": only escapes, nothing to read.
    if (!HoldsLetter(text)) return true;
  }
  // One look at the characters the rules turn on; a rule whose character
  // is absent cannot hold, and is not tried.
  const unsigned marks = MarksOf(text);
  if (((marks & kPercent) && IsMask(text)) || ((marks & kPipe) && Contains(text, u"|*.")) ||
      IsSql(text)) {
    return true;
  }
  const std::u16string_view t = TrimSpaces(text);
  // A folder path, whatever its spaces: "Library/Application Support/MyApp/".
  if (t.size() > 1 && (t.back() == u'/' || t.back() == u'\\') &&
      t.find_first_of(u"/\\") < t.size() - 1) {
    return true;
  }
  if ((marks & kSpace) && Contains(t, u" ")) return false;
  return ((marks & (kSeparator | kDot)) && IsFileName(t)) ||
         ((marks & (kColon | kDot | kAt)) && IsAddress(t)) || IsCodeIdentifier(t) ||
         ((marks & kDot) && IsDottedName(t)) || IsLocaleCode(t);
}

}  // namespace qm
