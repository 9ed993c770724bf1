#include "text/encoding.h"

#include <cstdint>
#include <cstring>


namespace qm {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Length of the well-formed sequence at `i`, or 0 when it is ill-formed. On
// failure `bad` receives the length of the maximal ill-formed subsequence
// (at least 1), and on success `cp` receives the code point.
std::size_t ScanUtf8(std::string_view s, std::size_t i, char32_t& cp, std::size_t& bad) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  }
  std::size_t need;
  unsigned char lo = 0x80, hi = 0xBF;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    cp = b0 & 0x1Fu;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    cp = b0 & 0x0Fu;
    if (b0 == 0xE0) lo = 0xA0;
    if (b0 == 0xED) hi = 0x9F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    cp = b0 & 0x07u;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;
  } else {
    bad = 1;
    return 0;
  }
  for (std::size_t k = 1; k <= need; ++k) {
    if (i + k >= s.size()) {
      bad = k;
      return 0;
    }
    const auto b = static_cast<unsigned char>(s[i + k]);
    if (b < lo || b > hi) {
      bad = k;
      return 0;
    }
    lo = 0x80;
    hi = 0xBF;
    cp = (cp << 6) | (b & 0x3Fu);
  }
  return need + 1;
}

// Copies the run of ASCII bytes at `i` as code units, eight bytes at a
// time while it can. Returns the new position.
std::size_t CopyAscii(std::string_view s, std::size_t i, char16_t*& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  char16_t* o = out;
  while (i + 8 <= n) {
    std::uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
    for (std::size_t k = 0; k < 8; ++k) o[k] = p[i + k];
    o += 8;
    i += 8;
  }
  while (i < n && p[i] < 0x80) *o++ = p[i++];
  out = o;
  return i;
}

// Writes the UTF-8 bytes of a code point beyond ASCII; returns the new end.
char* PutUtf8(char32_t cp, char* o) {
  if (cp < 0x800) {
    *o++ = static_cast<char>(0xC0 | (cp >> 6));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (cp >> 12));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (cp >> 18));
    *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return o;
}

char16_t* PutCodePoint(char32_t cp, char16_t* out) {
  if (cp < 0x10000) {
    *out++ = static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    *out++ = static_cast<char16_t>(0xD800 + (cp >> 10));
    *out++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
  return out;
}

// Decodes into `out` (room for s.size() units). `on_bad(subsequence, out)`
// writes what stands for a maximal ill-formed subsequence (at most one unit
// per byte) and returns the new end, or null to give up.
template <typename OnBad>
char16_t* DecodeWith(std::string_view s, char16_t* out, OnBad on_bad) {
  std::size_t i = 0;
  while (i < s.size()) {
    i = CopyAscii(s, i, out);
    if (i >= s.size()) break;
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = ScanUtf8(s, i, cp, bad);
    if (n > 0) {
      out = PutCodePoint(cp, out);
      i += n;
    } else {
      out = on_bad(s.substr(i, bad), out);
      if (out == nullptr) return nullptr;
      i += bad;
    }
  }
  return out;
}

// Appends through a DecodeWith: `decode(bytes, out)` returns the new end.
template <typename Decode>
void AppendDecoded(std::string_view bytes, std::u16string& out, Decode decode) {
  const std::size_t old = out.size();
  out.reserve(old + bytes.size());
  out.resize(old + bytes.size());
  char16_t* end = decode(bytes, out.data() + old);
  out.resize(static_cast<std::size_t>(end - out.data()));
}

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

std::uint64_t Load8(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// The position of the first byte at or after `i` that is beyond ASCII, or
// the size; eight bytes at a time.
std::size_t SkipAscii(std::string_view bytes, std::size_t i) {
  const std::size_t n = bytes.size();
  while (i + 8 <= n && (Load8(bytes.data() + i) & kHighBits) == 0) i += 8;
  while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80) ++i;
  return i;
}


}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      i = SkipAscii(bytes, i);
      continue;
    }
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = ScanUtf8(bytes, i, cp, bad);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

std::size_t DecodeUtf8Into(std::string_view bytes, char16_t* out) {
  char16_t* end = DecodeWith(bytes, out, [](std::string_view, char16_t* o) {
    *o = kReplacement;
    return o + 1;
  });
  return static_cast<std::size_t>(end - out);
}

bool DecodeValidUtf8Into(std::string_view bytes, char16_t* out, std::size_t& units) {
  char16_t* end =
      DecodeWith(bytes, out, [](std::string_view, char16_t*) -> char16_t* { return nullptr; });
  if (end == nullptr) return false;
  units = static_cast<std::size_t>(end - out);
  return true;
}

void AppendDecodedUtf8(std::string_view bytes, std::u16string& out) {
  AppendDecoded(bytes, out, [](std::string_view b, char16_t* o) { return o + DecodeUtf8Into(b, o); });
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  AppendDecodedUtf8(bytes, out);
  return out;
}

std::size_t DecodeUtf16Into(std::string_view bytes, bool big_endian, char16_t* out) {
  const std::size_t pairs = bytes.size() / 2;
  for (std::size_t i = 0; i < pairs; ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    out[i] = static_cast<char16_t>(big_endian ? (first << 8) | second : (second << 8) | first);
  }
  if (bytes.size() % 2 == 0) return pairs;
  out[pairs] = u'\uFFFD';
  return pairs + 1;
}

std::size_t DecodeWindows1252Into(std::string_view bytes, char16_t* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char b = p[i];
    out[i] = (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
  }
  return bytes.size();
}

void AppendDecodedWindows1252(std::string_view bytes, std::u16string& out) {
  AppendDecoded(bytes, out,
                [](std::string_view b, char16_t* o) { return o + DecodeWindows1252Into(b, o); });
}

std::u16string DecodeWindows1252(std::string_view bytes) {
  std::u16string out;
  AppendDecodedWindows1252(bytes, out);
  return out;
}

namespace {

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::size_t Utf8Length(std::u16string_view text) {
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      bytes += 1;
    } else if (c < 0x800) {
      bytes += 2;
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;  // the character, or U+FFFD for a lone surrogate
    }
  }
  return bytes;
}

std::size_t EncodeUtf8Into(std::u16string_view text, char* out) {
  const char16_t* p = text.data();
  const std::size_t n = text.size();
  char* o = out;
  std::size_t i = 0;
  while (i < n) {
    // Runs of ASCII, four units at a time while it can.
    while (i + 4 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, sizeof word);
      if ((word & 0xFF80FF80FF80FF80ull) != 0) break;
      for (std::size_t k = 0; k < 4; ++k) o[k] = static_cast<char>(p[i + k]);
      o += 4;
      i += 4;
    }
    while (i < n && p[i] < 0x80) *o++ = static_cast<char>(p[i++]);
    if (i >= n) break;
    char32_t cp = p[i];
    if (IsHighSurrogate(p[i]) && i + 1 < n && IsLowSurrogate(p[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(p[i + 1]) - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(p[i]) || IsLowSurrogate(p[i])) {
      cp = kReplacement;
    }
    ++i;
    o = PutUtf8(cp, o);
  }
  return static_cast<std::size_t>(o - out);
}

void AppendEncodedUtf8(std::u16string_view text, std::string& out) {
  const std::size_t old = out.size(), length = Utf8Length(text);
  out.reserve(old + length);
  out.resize(old + length);
  EncodeUtf8Into(text, out.data() + old);
}

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  AppendEncodedUtf8(text, out);
  return out;
}

std::size_t Utf16Length(std::string_view utf8) {
  const std::size_t ascii = SkipAscii(utf8, 0);
  std::size_t units = ascii;
  for (const char ch : utf8.substr(ascii)) {
    const auto b = static_cast<unsigned char>(ch);
    units += static_cast<std::size_t>((b & 0xC0) != 0x80) + static_cast<std::size_t>(b >= 0xF0);
  }
  return units;
}

bool HoldsNonAscii(std::string_view bytes) { return SkipAscii(bytes, 0) < bytes.size(); }

void AppendValidUtf8(std::string_view bytes, std::string& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t ascii_end = SkipAscii(bytes, i);
    out.append(bytes.substr(i, ascii_end - i));
    i = ascii_end;
    if (i >= bytes.size()) break;
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = ScanUtf8(bytes, i, cp, bad);
    if (n > 0) {
      out.append(bytes.substr(i, n));
      i += n;
    } else {
      out.append("\xEF\xBF\xBD");
      i += bad;
    }
  }
}

std::string ValidUtf8(std::string bytes) {
  if (IsValidUtf8(bytes)) return bytes;
  std::string valid;
  AppendValidUtf8(bytes, valid);
  return valid;
}

void AppendWindows1252AsUtf8(std::string_view bytes, std::string& out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t ascii_end = SkipAscii(bytes, i);
    out.append(bytes.substr(i, ascii_end - i));
    for (i = ascii_end; i < bytes.size() && static_cast<unsigned char>(bytes[i]) >= 0x80; ++i) {
      const auto b = static_cast<unsigned char>(bytes[i]);
      char utf8[4];
      out.append(utf8, PutUtf8(b < 0xA0 ? kWindows1252High[b - 0x80] : b, utf8));
    }
  }
}

std::u16string DecodeFileName(std::string_view bytes) {
  std::u16string out;
  AppendDecoded(bytes, out, [](std::string_view b, char16_t* o) {
    return DecodeWith(b, o, [](std::string_view bad, char16_t* w) {
      for (const char ch : bad) *w++ = static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(ch));
      return w;
    });
  });
  return out;
}

std::string EncodeFileName(std::u16string_view name) {
  // UTF-8 as EncodeUtf8 makes it, but a lone U+DC80..U+DCFF goes back to
  // the byte it stands for.
  std::string out;
  std::size_t start = 0;
  const auto flush = [&](std::size_t end) {
    AppendEncodedUtf8(name.substr(start, end - start), out);
  };
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (IsHighSurrogate(c) && i + 1 < name.size() && IsLowSurrogate(name[i + 1])) {
      ++i;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      flush(i);
      out += static_cast<char>(c - 0xDC00);
      start = i + 1;
    }
  }
  flush(name.size());
  return out;
}

}  // namespace qm
