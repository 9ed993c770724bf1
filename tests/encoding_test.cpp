#include "text/encoding.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(DecodeUtf8, WellFormed) {
  EXPECT_EQ(DecodeUtf8("abc"), u"abc");
  EXPECT_EQ(DecodeUtf8("\xC3\xA4\xE2\x82\xAC"), u"\u00E4\u20AC");
  EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(DecodeUtf8("\xEF\xBB\xBFx"), u"\uFEFFx");
  EXPECT_EQ(DecodeUtf8(std::string_view("a\0b", 3)), std::u16string(u"a\0b", 3));
}

// One U+FFFD per maximal ill-formed subsequence (Unicode 15, table 3-8 and
// the WHATWG decoder).
TEST(DecodeUtf8, ReplacesMaximalSubparts) {
  struct Case {
    std::string bytes;
    std::u16string text;
  };
  const Case cases[] = {
      {"\x80", u"\uFFFD"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                  // overlong lead bytes are never valid
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},        // E0 needs A0..BF next
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},        // surrogates
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xE2\x82", u"\uFFFD"},                        // truncated: one replacement
      {"\xE2\x82x", u"\uFFFDx"},
      {"\xF0\x9F\x98", u"\uFFFD"},
      {"\xF0\x9F\x98\xF0\x9F\x98\x80", u"\uFFFD\U0001F600"},
      {"a\xFF" "b", u"a\uFFFDb"},
      {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},  // the standard's own example
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeUtf8(c.bytes), c.text) << testing::PrintToString(c.bytes);
    EXPECT_FALSE(IsValidUtf8(c.bytes)) << testing::PrintToString(c.bytes);
  }
  EXPECT_TRUE(IsValidUtf8("plain \xC3\xA4 \xF4\x8F\xBF\xBF"));
}

TEST(DecodeWindows1252, MapsEveryByte) {
  EXPECT_EQ(DecodeWindows1252("L\xE4nge zur\xFC" "ck"), u"L\u00E4nge zur\u00FCck");
  EXPECT_EQ(DecodeWindows1252("\x80\x85\x9F"), u"\u20AC\u2026\u0178");
  EXPECT_EQ(DecodeWindows1252("\x81\x8D\x8F\x90\x9D"), u"\u0081\u008D\u008F\u0090\u009D");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(DecodeWindows1252(all).size(), 256u);
}

TEST(EncodeUtf8, RoundTripsAndReplacesLoneSurrogates) {
  const std::u16string text = u"a\u00E4\u20AC\U0001F600\uFEFF";
  EXPECT_EQ(DecodeUtf8(EncodeUtf8(text)), text);
  EXPECT_EQ(EncodeUtf8(u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(EncodeUtf8(u"x\xDC00y"), "x\xEF\xBF\xBDy");
  EXPECT_EQ(EncodeUtf8(std::u16string(u"\xD83D")), "\xEF\xBF\xBD");  // half of a pair cut off
}

// The decoders and the encoder take runs of ASCII several units at a time;
// whatever stands next to a run, wherever it starts, comes out the same.
TEST(Conversions, RunsOfAsciiOfEveryLengthAndOffset) {
  for (std::size_t before = 0; before < 18; ++before) {
    for (std::size_t after = 0; after < 18; ++after) {
      const std::string a(before, 'a'), b(after, 'b');
      const std::u16string ua(before, u'a'), ub(after, u'b');
      EXPECT_EQ(DecodeUtf8(a + "\xC3\xA9" + b), ua + u"\u00E9" + ub);
      EXPECT_EQ(DecodeUtf8(a + "\xE9" + b), ua + u"\uFFFD" + ub);
      EXPECT_EQ(DecodeWindows1252(a + "\x80" + b), ua + u"\u20AC" + ub);
      EXPECT_EQ(EncodeUtf8(ua + u"\U0001F600" + ub), a + "\xF0\x9F\x98\x80" + b);
      EXPECT_EQ(EncodeUtf8(ua + u"\xD800" + ub), a + "\xEF\xBF\xBD" + b);
      EXPECT_EQ(Utf8Length(ua + u"\u00E9\u20AC\U0001F600\xDC00" + ub), before + after + 2 + 3 + 4 + 3);
    }
  }
}

TEST(FileNames, AnyBytesSurviveTheRoundTrip) {
  const std::string names[] = {"plain.pb", "caf\xC3\xA9.pb", "caf\xE9.pb", "\xFF\xFE", "a\xED\xA0\x80"};
  for (const std::string& name : names) {
    EXPECT_EQ(EncodeFileName(DecodeFileName(name)), name) << testing::PrintToString(name);
  }
  EXPECT_EQ(DecodeFileName("caf\xC3\xA9"), u"caf\u00E9");
}

}  // namespace
}  // namespace qm
