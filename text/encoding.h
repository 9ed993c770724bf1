// Conversions between bytes and UTF-16 text, used at the edges only.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qm {

// Where encoded bytes go, a chunk at a time; false stops the producer.
using ByteSink = std::function<bool(std::string_view)>;

// True when `bytes` is well-formed UTF-8 (no surrogates, no overlongs, nothing
// above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Decodes UTF-8. Each maximal ill-formed subsequence becomes one U+FFFD, as
// the Unicode Standard and the WHATWG Encoding Standard recommend.
std::u16string DecodeUtf8(std::string_view bytes);

// Decodes Windows-1252 byte by byte. The five bytes the code page leaves
// unassigned (81 8D 8F 90 9D) become the C1 controls of the same value.
std::u16string DecodeWindows1252(std::string_view bytes);

// Encodes UTF-16 as UTF-8. An unpaired surrogate becomes U+FFFD (EF BF BD).
std::string EncodeUtf8(std::u16string_view text);

// The same conversions into a buffer the caller owns, for large texts.
// The decoders need room for bytes.size() code units (neither makes more
// units than it reads bytes) and return the number written; the UTF-8
// encoder needs room for Utf8Length(text) bytes and returns that number.
std::size_t DecodeUtf8Into(std::string_view bytes, char16_t* out);
std::size_t DecodeWindows1252Into(std::string_view bytes, char16_t* out);
// Decodes well-formed UTF-8 as DecodeUtf8Into does; false, and `out` left
// partly written, at the first ill-formed sequence.
bool DecodeValidUtf8Into(std::string_view bytes, char16_t* out, std::size_t& units);
// Decodes UTF-16 in the given byte order (a byte-order mark becomes U+FEFF
// like any other character); an odd last byte becomes U+FFFD.
std::size_t DecodeUtf16Into(std::string_view bytes, bool big_endian, char16_t* out);
std::size_t Utf8Length(std::u16string_view text);
std::size_t EncodeUtf8Into(std::u16string_view text, char* out);

// UTF-8 kept as UTF-8, for the paths that never leave bytes.
// Code units the UTF-16 form of well-formed UTF-8 has: one per character,
// two for one beyond U+FFFF.
std::size_t Utf16Length(std::string_view utf8);
// True when some byte is beyond ASCII.
bool HoldsNonAscii(std::string_view bytes);
// Appends `bytes` with each maximal ill-formed subsequence replaced by
// U+FFFD: the bytes EncodeUtf8(DecodeUtf8(bytes)) gives, without the detour.
void AppendValidUtf8(std::string_view bytes, std::string& out);
// The same as a whole: well-formed bytes come back as they are, not copied.
std::string ValidUtf8(std::string bytes);
// Appends Windows-1252 bytes as UTF-8 (as DecodeWindows1252 reads them).
void AppendWindows1252AsUtf8(std::string_view bytes, std::string& out);

// Lossless conversions for file names, which on POSIX systems are arbitrary
// bytes: a byte that is not part of well-formed UTF-8 is kept as the lone
// surrogate U+DC00 + byte, and turned back into that byte on the way out.
std::u16string DecodeFileName(std::string_view bytes);
std::string EncodeFileName(std::u16string_view name);

}  // namespace qm
