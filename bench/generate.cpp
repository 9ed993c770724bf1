#include "bench/generate.h"

#include <array>
#include <vector>

#include "text/encoding.h"
#include "pipeline/source_lines.h"

namespace qm::bench {
namespace {

// SplitMix64: small, fast, and the same numbers on every platform (the
// standard distributions are not).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  bool Chance(std::size_t percent) { return Below(100) < percent; }

 private:
  std::uint64_t state_;
};

constexpr std::array<std::string_view, 40> kEnglish = {
    "window", "file",  "open",   "close",  "the",    "value",  "list",   "error",
    "read",   "write", "count",  "name",   "text",   "item",   "colour", "size",
    "button", "gadget", "event", "loop",   "check",  "return", "string", "number",
    "start",  "end",   "new",    "old",    "user",   "data",   "is",     "of",
    "to",     "and",   "for",    "with",   "when",   "line",   "folder", "path"};

// Beyond ASCII, all of them in Windows-1252 as well.
constexpr std::array<std::string_view, 16> kAccented = {
    "Gr\xC3\xB6\xC3\x9F" "e",  "\xC3\x9C" "bersetzung", "zur\xC3\xBC" "ck", "f\xC3\xBCr",
    "Stra\xC3\x9F" "e",        "L\xC3\xA4nge",          "\xC3\xA9l\xC3\xA9ment",
    "fen\xC3\xAAtre",          "caf\xC3\xA9",           "na\xC3\xAFve",     "d\xC3\xA9j\xC3\xA0",
    "a\xC3\xB1o",              "ni\xC3\xB1o",           "cora\xC3\xA7\xC3\xA3o",
    "\xE2\x82\xAC",            "\xC2\xB0" "C"};

// UTF-8 of the words above to Windows-1252: Latin-1 maps to itself, the
// euro sign to 80.
std::string ToWindows1252(std::string_view utf8) {
  std::string out;
  for (const char16_t c : DecodeUtf8(utf8)) {
    out += c == 0x20AC ? '\x80' : static_cast<char>(static_cast<unsigned char>(c));
  }
  return out;
}

class Generator {
 public:
  explicit Generator(const SourceOptions& options) : options_(options), random_(options.seed) {
    for (const std::string_view word : kEnglish) words_.emplace_back(word);
    if (options.charset != Charset::Ascii) {
      for (const std::string_view word : kAccented) {
        accented_.push_back(options.charset == Charset::Windows1252 ? ToWindows1252(word)
                                                                    : std::string(word));
      }
    }
  }

  std::string Run() {
    // The settings block is about 8 lines and 200 bytes.
    constexpr std::size_t kTrailerLines = 8, kTrailerBytes = 200;
    out_.reserve(options_.min_bytes + kTrailerBytes + 256);
    // A first line that tells the file's encoding at once.
    out_ += "; ";
    Sentence();
    out_ += "\r\n";
    ++lines_;
    while (out_.size() + kTrailerBytes < options_.min_bytes ||
           lines_ + kTrailerLines < options_.min_lines) {
      Line();
    }
    while (depth_ > 0) {
      --depth_;
      Emit("EndProcedure");
    }
    Trailer();
    return std::move(out_);
  }

 private:
  void Word() {
    if (!accented_.empty() && random_.Chance(12)) {
      out_ += accented_[random_.Below(accented_.size())];
    } else {
      out_ += words_[random_.Below(words_.size())];
    }
  }

  // Three to nine words, the first one capitalised.
  void Sentence(std::size_t min_words = 3, std::size_t spread = 7) {
    const std::size_t words = min_words + random_.Below(spread);
    const std::size_t first = out_.size();
    for (std::size_t i = 0; i < words; ++i) {
      if (i > 0) out_ += random_.Chance(6) ? ", " : " ";
      Word();
    }
    if (out_[first] >= 'a' && out_[first] <= 'z') out_[first] = static_cast<char>(out_[first] - 32);
  }

  void Indent() {
    if (random_.Chance(4)) {
      out_.append(depth_, '\t');
    } else {
      out_.append(2 * depth_, ' ');
    }
  }

  void End() {
    if (random_.Chance(5)) out_.append(1 + random_.Below(3), ' ');
    out_ += "\r\n";
    ++lines_;
  }

  void Emit(std::string_view code) {
    Indent();
    out_ += code;
    End();
  }

  void Comment(std::string_view opening = " ") {
    out_ += ';';
    out_ += opening;
    Sentence();
  }

  void Line() {
    const std::size_t kind = random_.Below(100);
    if (kind < 12) {  // an empty line
      out_ += "\r\n";
      ++lines_;
      return;
    }
    if (kind < 15) {  // a procedure opens or closes
      if (depth_ < 4 && (depth_ == 0 || random_.Chance(50))) {
        Indent();
        out_ += "Procedure.s ";
        out_ += words_[random_.Below(words_.size())];
        out_ += "_";
        out_ += words_[random_.Below(words_.size())];
        out_ += "(Name$, Count.i = 0)";
        if (random_.Chance(40)) {
          out_ += " ";
          Comment();
        }
        End();
        ++depth_;
      } else if (depth_ > 0) {
        --depth_;
        Emit(random_.Chance(50) ? "EndProcedure" : "EndIf");
      }
      return;
    }
    Indent();
    if (kind < 29) {  // plain code
      static constexpr std::array<std::string_view, 8> kCode = {
          "Protected i.i, Result$",        "For i = 0 To CountGadgetItems(#List) - 1",
          "Next",                          "x + 1 : y = x * 2",
          "If FileSize(Path$) > 0",        "EndIf",
          "ProcedureReturn Result$",       "*Buffer = AllocateMemory(1024)"};
      out_ += kCode[random_.Below(kCode.size())];
    } else if (kind < 41) {  // a comment line
      Comment(random_.Chance(85) ? " " : "");
    } else if (kind < 51) {  // code and a comment
      out_ += "Result = Count * 2 + 1 ";
      Comment();
    } else if (kind < 63) {  // a string
      if (random_.Chance(50)) {
        out_ += "Text$ = \"";
        Sentence();
        out_ += '"';
      } else {
        out_ += "Debug \"";
        Sentence(1, 3);
        out_ += ": \" + Str(i)";
      }
    } else if (kind < 69) {  // two strings, and sometimes a comment
      out_ += "MessageRequester(\"";
      Sentence(1, 2);
      out_ += "\", \"";
      Sentence();
      out_ += "\")";
      if (random_.Chance(30)) {
        out_ += " ";
        Comment();
      }
    } else if (kind < 74) {  // an escaped string
      out_ += "Message$ = ~\"";
      Sentence();
      out_ += "\\n";
      Sentence(1, 3);
      out_ += " \\\"";
      Word();
      out_ += "\\\"\"";
    } else if (kind < 78) {  // character constants
      if (random_.Chance(50)) {
        out_ += "If c = 'a' Or c = ';' : Count + 1 : EndIf";
      } else {
        out_ += "Case ';' ";
        Comment();
      }
    } else if (kind < 81) {  // editor markers
      static constexpr std::array<std::string_view, 3> kMarkers = {"-", "{", "}"};
      const std::string_view marker = kMarkers[random_.Below(kMarkers.size())];
      if (marker == "}") {
        out_ += ";}";
      } else {
        out_ += ';';
        out_ += marker;
        out_ += ' ';
        Sentence(1, 3);
      }
    } else if (kind < 84) {  // separators, nothing to translate
      out_ += random_.Chance(50) ? ";------------------------------------" : "; ====";
    } else if (kind < 86) {  // inline assembler
      out_ += "!mov eax, dword [p.v_Count] ; ";
      Sentence(2, 2);
    } else if (kind < 88) {  // a drive path
      out_ += "Path$ = \"C:\\Program Files\\";
      Word();
      out_ += "\\\"";
    } else if (kind < 91) {  // a data section
      out_ += "Data.s \"";
      Word();
      out_ += "\", \"";
      Word();
      out_ += "\", \"";
      Word();
      out_ += "\"";
    } else {  // a call with numbers only
      out_ += "SetGadgetText(#Status, Str(Count) + \", \" + Str(i))";
    }
    End();
  }

  void Trailer() {
    out_ +=
        "; IDE Options = PureBasic 6.04 LTS (Windows - x64)\r\n"
        "; CursorPosition = 42\r\n"
        "; FirstLine = 12\r\n"
        "; Folding = -----\r\n"
        "; EnableXP\r\n"
        "; DPIAware\r\n"
        "; Executable = bench.exe\r\n"
        "; CompileSourceDirectory\r\n";
    lines_ += 8;
  }

  const SourceOptions& options_;
  Random random_;
  std::vector<std::string> words_, accented_;
  std::string out_;
  std::size_t lines_ = 0;
  std::size_t depth_ = 0;
};

}  // namespace

std::string GenerateSource(const SourceOptions& options) { return Generator(options).Run(); }

std::u16string AlterTranslation(std::u16string_view exchange) {
  static constexpr std::u16string_view kAddition = u" (\u00FCbersetzt, d\u00E9j\u00E0)";
  std::u16string out;
  out.reserve(exchange.size() + exchange.size() / 8);
  std::size_t item = 0;
  for (const char16_t c : exchange) {
    if (c == u'\r') {
      if (++item % 5 == 0) out += kAddition;
      out += c;
    } else if (c >= u'a' && c <= u'z') {
      out += c == u'z' ? u'a' : static_cast<char16_t>(c + 1);
    } else if (c >= u'A' && c <= u'Z') {
      out += c == u'Z' ? u'A' : static_cast<char16_t>(c + 1);
    } else {
      out += c;
    }
  }
  return out;
}

std::string TranslationFor(std::string_view source) {
  SourceLines lines = SourceLines::FromBytes(std::string(source));
  lines.Extract();
  return EncodeUtf8(AlterTranslation(DecodeUtf8(BuildExchangeText(lines))));
}

}  // namespace qm::bench
