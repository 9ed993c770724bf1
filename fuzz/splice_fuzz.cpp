// Read-back, splice and output bytes for any source and any translated
// text. The input is split in two: the source's bytes and the copied text
// (UTF-8, or raw UTF-16 code units so that lone surrogates come in too).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/check.h"
#include "text/encoding.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "text/text.h"

namespace {

// The output's lines: the bytes between CR LFs, after the mark the output
// adds itself (a first line that starts with U+FEFF brings its own).
// Fails the run when the bytes are not whole CR LF lines.
std::vector<std::string_view> OutputLines(std::string_view out, bool own_mark, bool& marked) {
  marked = out.starts_with("\xEF\xBB\xBF");
  if (marked && !own_mark) out.remove_prefix(3);
  std::vector<std::string_view> lines;
  while (!out.empty()) {
    const std::size_t end = out.find("\r\n");
    QM_CHECK(end != std::string_view::npos);
    const std::string_view line = out.substr(0, end);
    QM_CHECK(line.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos);
    lines.push_back(line);
    out.remove_prefix(end + 2);
  }
  return lines;
}

// Checks one output against the lines spliced in memory, and returns the
// spliced texts.
std::vector<std::string> CheckOutput(const qm::SourceLines& lines,
                                     const qm::TranslatedLines& translated,
                                     qm::SpliceResult& result) {
  const std::vector<std::string> texts = qm::SplicedTexts(lines, translated, &result);
  QM_CHECK(texts.size() == lines.size());
  qm::SpliceResult encoded;
  std::string out;
  QM_CHECK(qm::EncodeOutput(lines, translated,
                            [&out](std::string_view chunk) {
                              out += chunk;
                              return true;
                            },
                            &encoded));
  QM_CHECK(encoded.replaced == result.replaced && encoded.kept == result.kept);
  QM_CHECK(out == qm::OutputBytes(lines, translated));

  const bool own_mark = !lines.empty() && lines[0].Text.starts_with("\xEF\xBB\xBF");
  bool marked = false;
  const std::vector<std::string_view> out_lines = OutputLines(out, own_mark, marked);
  // Exactly one CR LF line per source line, each its well-formed UTF-8 text.
  QM_CHECK(out_lines.size() == lines.size());
  bool non_ascii = false;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    QM_CHECK(!qm::fuzz::HoldsLineEnd(texts[i]));
    QM_CHECK(qm::IsValidUtf8(texts[i]));
    QM_CHECK(out_lines[i] == texts[i]);
    non_ascii = non_ascii || qm::HoldsNonAscii(texts[i]);
  }
  // The mark comes with anything beyond ASCII, unless the first line brings its own.
  if (own_mark) {
    QM_CHECK(marked);  // the first line's U+FEFF is its first three bytes
  } else {
    QM_CHECK(marked == non_ascii);
  }
  return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto split = provider.ConsumeIntegral<std::uint32_t>();
  const bool raw_units = provider.ConsumeBool();
  const std::string source =
      provider.ConsumeBytesAsString(split % (provider.remaining_bytes() + 1));
  const std::string copied = provider.ConsumeRemainingBytesAsString();
  std::u16string text;
  if (raw_units) {
    for (std::size_t i = 0; i + 1 < copied.size(); i += 2) {
      text += static_cast<char16_t>(static_cast<unsigned char>(copied[i]) |
                                    (static_cast<unsigned char>(copied[i + 1]) << 8));
    }
  } else {
    text = qm::DecodeUtf8(copied);
  }

  qm::SourceLines lines = qm::SourceLines::FromBytes(source);
  const std::int64_t items = lines.Extract();

  // Read-back: trimmed lines, none holding a line end, the same lines the
  // text has as UTF-16 (a lone surrogate is U+FFFD in both).
  const std::string translation = qm::MakeTranslationText(text);
  QM_CHECK(qm::IsValidUtf8(translation));
  QM_CHECK(translation == qm::EncodeUtf8(text));
  if (!raw_units) QM_CHECK(qm::MakeTranslationText(copied) == translation);
  const qm::TranslatedLines translated = qm::SplitTranslatedText(translation);
  std::size_t units = 0;
  for (const std::string_view line : translated) {
    QM_CHECK(!qm::fuzz::HoldsLineEnd(line));
    QM_CHECK(qm::TrimSpaces(line) == line);
    units += qm::Utf16Length(line);
  }
  QM_CHECK(units <= text.size());

  // Any translation: every item is put in or kept, and lines without items
  // come out as they went in.
  qm::SpliceResult result;
  const std::vector<std::string> texts = CheckOutput(lines, translated, result);
  QM_CHECK(result.replaced + result.kept == items);
  QM_CHECK(result.replaced <= static_cast<std::int64_t>(translated.size()));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines.ItemCount(i) == 0) QM_CHECK(texts[i] == lines[i].Text);
  }

  // No translation: nothing changes.
  const std::vector<std::string> same = CheckOutput(lines, {}, result);
  QM_CHECK(result.replaced == 0 && result.kept == items);
  for (std::size_t i = 0; i < lines.size(); ++i) QM_CHECK(same[i] == lines[i].Text);

  // The exchange text sent back as it is: the literals come out as they
  // were, and a comment comes out as ";", its marker, one space and its
  // text, its line's trailing spaces kept.
  const std::string exchange = qm::BuildExchangeText(lines);
  const std::vector<std::string> back =
      CheckOutput(lines, qm::SplitTranslatedText(exchange), result);
  QM_CHECK(result.replaced + result.kept == items);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const qm::SourceLine line = lines[i];
    std::string expected(line.Text);
    if (line.Semicolon > 0) {
      const std::size_t at = static_cast<std::size_t>(line.Comment.data() - line.Text.data()) -
                             (line.Marker != 0 ? 2 : 1);
      expected = std::string(line.Text.substr(0, at)) + ";";
      if (line.Marker != 0) expected += static_cast<char>(line.Marker);
      expected += " ";
      expected += qm::TrimSpaces(line.Comment);
      expected.append(qm::TrailingSpaces(line.Text), ' ');
    }
    QM_CHECK(back[i] == expected);
  }
  return 0;
}
