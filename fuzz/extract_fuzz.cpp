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
#include "text/encoding.h"
#include "text/text.h"

namespace {

// An ASCII letter or a character beyond ASCII (in UTF-8, any byte of one).
bool Translatable(std::string_view text) {
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c > 0x7F) return true;
  }
  return false;
}

bool Within(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  qm::SourceLines lines = qm::SourceLines::FromBytes(std::string(bytes));
  const std::int64_t items = lines.Extract();

  std::int64_t comments = 0, literals = 0, per_line = 0;
  std::string comment_part, literal_part;
  bool after_trailer = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const qm::SourceLine line = lines[i];
    // Lines are held as well-formed UTF-8; positions count UTF-16 code units.
    QM_CHECK(qm::IsValidUtf8(line.Text));
    const std::string_view trimmed = qm::TrimSpaces(line.Text);
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
      QM_CHECK(Within(line.Comment, trimmed));
      const std::size_t body = static_cast<std::size_t>(line.Comment.data() - trimmed.data());
      const std::size_t at = body - 1 - (line.Marker != 0 ? 1 : 0);
      QM_CHECK(trimmed[at] == ';');
      QM_CHECK(qm::Utf16Length(trimmed.substr(0, at)) + 1 == static_cast<std::size_t>(line.Semicolon));
      if (line.Marker != 0) QM_CHECK(trimmed[at + 1] == static_cast<char>(line.Marker));
      QM_CHECK(line.Comment == trimmed.substr(body));
      QM_CHECK(Within(line.Comment, line.Text));
      QM_CHECK(Translatable(line.Comment));
      QM_CHECK(!qm::fuzz::HoldsLineEnd(line.Comment));
      comment_part.append(line.Comment).append(1, '\r');
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
      QM_CHECK(qm::Utf16Length(line.Text.substr(0, quote)) ==
               lead + static_cast<std::size_t>(literal.Position) - 1);
      QM_CHECK(quote >= previous_end);
      QM_CHECK(line.Text[quote] == '"');
      QM_CHECK(quote + 1 + literal.Text.size() < line.Text.size());
      QM_CHECK(line.Text[quote + 1 + literal.Text.size()] == '"');
      QM_CHECK(Translatable(literal.Text));
      QM_CHECK(literal.Text.find(":\\") == std::string_view::npos);
      const bool escaped = quote > 0 && line.Text[quote - 1] == '~';
      QM_CHECK(!qm::IsTechnicalLiteral(literal.Text, escaped));
      QM_CHECK(!qm::IsTechnicalLiteral(qm::DecodeUtf8(literal.Text), escaped));
      QM_CHECK(!qm::fuzz::HoldsLineEnd(literal.Text));
      // Every literal stands in front of the comment.
      if (line.Semicolon > 0) QM_CHECK(line.Comment.data() > literal.Text.data() + literal.Text.size());
      previous_end = quote + literal.Text.size() + 2;
      literal_part.append(literal.Text).append(1, '\r');
    }
  }
  QM_CHECK(items == comments + literals);
  QM_CHECK(per_line == items);

  const std::string exchange = qm::BuildExchangeText(lines);
  QM_CHECK(exchange == comment_part + literal_part);
  QM_CHECK(static_cast<std::int64_t>(std::count(exchange.begin(), exchange.end(), '\r')) == items);
  QM_CHECK(exchange.find_first_of(std::string_view("\n\0", 2)) == std::string::npos);
  QM_CHECK(static_cast<std::int64_t>(qm::CountItems(qm::DecodeUtf8(exchange))) == items);
  // The translator's lines pair with the items one to one.
  QM_CHECK(static_cast<std::int64_t>(qm::SplitTranslatedText(exchange).size()) == items);

  QM_CHECK(lines.Extract() == items);
  QM_CHECK(qm::BuildExchangeText(lines) == exchange);
  return 0;
}
