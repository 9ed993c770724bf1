#include "pipeline/encoding.h"

#include <cstdint>

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

void AppendCodePoint(char32_t cp, std::u16string& out) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
  }
}

template <typename OnBad>
void DecodeWith(std::string_view s, std::u16string& out, OnBad on_bad) {
  out.reserve(out.size() + s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    // Fast path for runs of ASCII.
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) {
      out += static_cast<char16_t>(s[i]);
      ++i;
    }
    if (i >= s.size()) break;
    char32_t cp = 0;
    std::size_t bad = 0;
    const std::size_t n = ScanUtf8(s, i, cp, bad);
    if (n > 0) {
      AppendCodePoint(cp, out);
      i += n;
    } else {
      on_bad(s.substr(i, bad), out);
      i += bad;
    }
  }
}

constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
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

void AppendDecodedUtf8(std::string_view bytes, std::u16string& out) {
  DecodeWith(bytes, out, [](std::string_view, std::u16string& o) { o += kReplacement; });
}

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string out;
  AppendDecodedUtf8(bytes, out);
  return out;
}

void AppendDecodedWindows1252(std::string_view bytes, std::u16string& out) {
  out.reserve(out.size() + bytes.size());
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    out += (b >= 0x80 && b < 0xA0) ? kWindows1252High[b - 0x80] : static_cast<char16_t>(b);
  }
}

std::u16string DecodeWindows1252(std::string_view bytes) {
  std::u16string out;
  AppendDecodedWindows1252(bytes, out);
  return out;
}

namespace {

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

template <typename OnLone>
void EncodeWith(std::u16string_view text, std::string& out, OnLone on_lone) {
  out.reserve(out.size() + text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) +
                          (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(cp, out);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      on_lone(c, out);
    } else {
      AppendUtf8(c, out);
    }
  }
}

}  // namespace

void AppendEncodedUtf8(std::u16string_view text, std::string& out) {
  EncodeWith(text, out, [](char16_t, std::string& o) { AppendUtf8(kReplacement, o); });
}

std::string EncodeUtf8(std::u16string_view text) {
  std::string out;
  AppendEncodedUtf8(text, out);
  return out;
}

std::u16string DecodeFileName(std::string_view bytes) {
  std::u16string out;
  DecodeWith(bytes, out, [](std::string_view bad, std::u16string& o) {
    for (const char ch : bad) {
      o += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(ch));
    }
  });
  return out;
}

std::string EncodeFileName(std::u16string_view name) {
  std::string out;
  EncodeWith(name, out, [](char16_t c, std::string& o) {
    if (c >= 0xDC80 && c <= 0xDCFF) {
      o += static_cast<char>(c - 0xDC00);
    } else {
      AppendUtf8(kReplacement, o);
    }
  });
  return out;
}

}  // namespace qm
