// Extraction and the exchange text: every item is where the line says it
// is, the exchange text carries exactly the items (comments first, then
// literals, each ended by one CR), and extracting again changes nothing.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/check.h"
#include "pipeline/item_rules.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "text/text.h"

namespace {

bool Translatable(std::u16string_view text) {
  for (const char16_t c : text) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c > 0x7F) return true;
  }
  return false;
}

bool Within(std::u16string_view part, std::u16string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  qm::SourceLines lines = qm::SourceLines::FromBytes(bytes);
  const std::int64_t items = lines.Extract();

  std::int64_t comments = 0, literals = 0, per_line = 0;
  std::u16string comment_part, literal_part;
  bool after_trailer = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const qm::SourceLine line = lines[i];
    const std::u16string_view trimmed = qm::TrimSpaces(line.Text);
    const std::size_t lead = qm::LeadingSpaces(line.Text);
    per_line += lines.ItemCount(i);
    if (!after_trailer && qm::HoldsTrailerMarker(trimmed)) after_trailer = true;
    if (after_trailer || trimmed.empty() || qm::IsInlineBackendLine(trimmed)) {
      QM_CHECK(lines.ItemCount(i) == 0);
      continue;
    }
    QM_CHECK(lines.ItemCount(i) ==
             (line.Semicolon > 0 ? 1 : 0) + static_cast<std::int64_t>(line.Literals.size()));
    if (line.Semicolon > 0) {
      ++comments;
      const auto at = static_cast<std::size_t>(line.Semicolon) - 1;
      QM_CHECK(at < trimmed.size() && trimmed[at] == u';');
      const std::size_t body = at + 1 + (line.Marker != 0 ? 1 : 0);
      if (line.Marker != 0) QM_CHECK(trimmed[at + 1] == line.Marker);
      QM_CHECK(line.Comment == trimmed.substr(body));
      QM_CHECK(Within(line.Comment, line.Text));
      QM_CHECK(Translatable(line.Comment));
      QM_CHECK(!qm::fuzz::HoldsLineEnd(line.Comment));
      comment_part.append(line.Comment).append(1, u'\r');
    } else {
      QM_CHECK(line.Comment.empty() && line.Marker == 0);
    }
    // Include and import lines name files and symbols: no literal.
    if (qm::DirectiveOf(trimmed) != qm::Directive::None) QM_CHECK(line.Literals.empty());
    std::size_t previous_end = 0;
    for (const qm::SourceLiteral& literal : line.Literals) {
      ++literals;
      QM_CHECK(Within(literal.Text, line.Text));
      const auto quote = static_cast<std::size_t>(literal.Text.data() - line.Text.data()) - 1;
      QM_CHECK(quote == lead + static_cast<std::size_t>(literal.Position) - 1);
      QM_CHECK(quote >= previous_end);
      QM_CHECK(line.Text[quote] == u'"');
      QM_CHECK(quote + 1 + literal.Text.size() < line.Text.size());
      QM_CHECK(line.Text[quote + 1 + literal.Text.size()] == u'"');
      QM_CHECK(Translatable(literal.Text));
      QM_CHECK(literal.Text.find(u":\\") == std::u16string_view::npos);
      QM_CHECK(!qm::IsTechnicalLiteral(literal.Text, quote > 0 && line.Text[quote - 1] == u'~'));
      QM_CHECK(!qm::fuzz::HoldsLineEnd(literal.Text));
      // Every literal stands in front of the comment.
      if (line.Semicolon > 0) QM_CHECK(quote + literal.Text.size() + 1 < lead + static_cast<std::size_t>(line.Semicolon) - 1);
      previous_end = quote + literal.Text.size() + 2;
      literal_part.append(literal.Text).append(1, u'\r');
    }
  }
  QM_CHECK(items == comments + literals);
  QM_CHECK(per_line == items);

  const std::u16string exchange = qm::BuildExchangeText(lines);
  QM_CHECK(exchange == comment_part + literal_part);
  QM_CHECK(static_cast<std::int64_t>(std::count(exchange.begin(), exchange.end(), u'\r')) == items);
  QM_CHECK(exchange.find_first_of(std::u16string_view(u"\n\0", 2)) == std::u16string::npos);
  // The translator's lines pair with the items one to one.
  QM_CHECK(static_cast<std::int64_t>(qm::SplitTranslatedText(exchange).size()) == items);

  QM_CHECK(lines.Extract() == items);
  QM_CHECK(qm::BuildExchangeText(lines) == exchange);
  return 0;
}
