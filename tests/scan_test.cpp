#include "text/scan.h"

#include <gtest/gtest.h>

#include <string>

namespace qm {
namespace {

// Line counting as the reader defines it, one byte at a time.
std::size_t ReferenceCountLines(std::string_view text) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i < text.size(); ++lines) {
    while (i < text.size() && text[i] != '\r' && text[i] != '\n' && text[i] != '\0') ++i;
    if (i < text.size()) i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
  }
  return lines;
}

// Every line end, and a CR LF, at every position of texts longer than two
// blocks of sixteen: the pair split across two blocks is one line end.
TEST(Scan, LineEndsAtEveryPosition) {
  const std::string ends[] = {"\r", "\n", "\r\n", "\n\r", std::string(1, '\0'), "\r\r\n"};
  for (const std::string& end : ends) {
    for (std::size_t at = 0; at < 40; ++at) {
      std::string text(40, 'x');
      text[5] = '\xC3';  // bytes of a longer sequence are never line ends
      text[6] = '\x8D';
      text.insert(at, end);
      SCOPED_TRACE(testing::Message() << "line end " << testing::PrintToString(end) << " at " << at);
      EXPECT_EQ(CountLines(text), ReferenceCountLines(text));
      EXPECT_EQ(FindLineEnd(text, 0), text.find_first_of(std::string_view("\r\n\0", 3)));
      EXPECT_EQ(FindLineEnd(text, at + end.size()), text.size());
      const std::string cut = text.substr(0, at + end.size());  // ending in the line end
      EXPECT_EQ(CountLines(cut), ReferenceCountLines(cut));
    }
  }
  EXPECT_EQ(CountLines(""), 0u);
  EXPECT_EQ(CountLines("a"), 1u);
  EXPECT_EQ(FindLineEnd("abc", 7), 3u) << "a start past the end finds nothing";
}

TEST(Scan, FindFirstOfTheLexersCharacters) {
  const std::string line = std::string(20, ' ') + "Debug ~\"a\\\"b\" ; x";
  EXPECT_EQ((FindFirstOf<';', '"', '\'', '~'>(line, 0)), 26u);
  EXPECT_EQ((FindFirstOf<'"', '\\'>(line, 28)), 29u);
  EXPECT_EQ((FindFirstOf<';'>(line, 0)), 34u);
  EXPECT_EQ((FindFirstOf<'#'>(line, 0)), line.size());
}

}  // namespace
}  // namespace qm
