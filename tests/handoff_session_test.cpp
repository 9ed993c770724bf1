// Whole sessions around the hand-off: a translation whose line count is
// off, a file too long for the translator page, a clipboard held by another
// program. The clock is virtual; nothing here sleeps.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "text/text.h"
#include "pipeline/worker.h"
#include "tests/session.h"

namespace qm::test {
namespace {

using headless::Dialog;
using headless::Reply;

// One source file in a source folder, an empty destination, a scratch folder.
struct OneFile {
  TempDir dir;
  std::string source = dir.File("src");
  std::string destination = dir.File("dst");
  std::string scratch = dir.File("private");
  std::string name;
  std::string content;

  OneFile(std::string file_name, std::string bytes)
      : name(std::move(file_name)), content(std::move(bytes)) {
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(destination);
    WriteBytes(source + kSep + name, content);
  }
  headless::Options Options() const {
    headless::Options options = Session::DefaultOptions();
    options.private_temp_folder = U(scratch);
    return options;
  }
  std::u16string Exchange() const {
    SourceLines lines = SourceLines::FromBytes(content);
    lines.Extract();
    return DecodeUtf8(BuildExchangeText(lines));
  }
  // What `quillmark-cli apply` writes for this translation.
  std::string Applied(std::u16string_view translation) const {
    SourceLines lines = SourceLines::FromBytes(content);
    lines.Extract();
    const std::string text = MakeTranslationText(translation);
    return OutputBytes(lines, SplitTranslatedText(text));
  }
  std::string Output() const { return ReadBytes(destination + kSep + name); }
  bool Written() const { return Exists(destination + kSep + name); }
};

// Four items: a comment and three literals.
constexpr std::string_view kWindow =
    "If OpenWindow(0, 0, 0, 200, 100, \"Main window\") ; open it\r\n"
    "  MessageRequester(\"Info\", \"Saved\")\r\n"
    "EndIf\r\n";

int YesNoBoxes(Session& session) {
  int count = 0;
  for (const Dialog& dialog : session->Dialogs()) count += dialog.kind == Dialog::Kind::YesNo;
  return count;
}

TEST(HandOff, ALineCountThatDiffersIsWarnedWithNoAsTheDefault) {
  struct Case {
    const char16_t* translation;
    std::size_t returned;  // 4 sent
  };
  const Case cases[] = {
      {u"öffne es\rHauptfenster\rGespeichert\r", 3},           // one line missing
      {u"öffne es\rHaupt\rfenster\rHinweis\rGespeichert\r", 5},  // one split in two
      {u"öffne es\r\nHauptfenster\r\nHinweis\r\nGespeichert\r\n\r\n  \r\n", 4},  // empty end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.translation));
    OneFile file("Window.pb", std::string(kWindow));
    Session session(file.Options());
    session.Start();
    session.StartRun(file.source, file.destination);
    ASSERT_EQ(session->Clipboard(), file.Exchange());

    session->UserCopies(c.translation);
    ASSERT_TRUE(session.WaitForDialog());
    const Dialog box = *session->OpenDialog();
    std::u16string expected = ConfirmationText(c.translation);
    if (c.returned != 4) {
      expected += u"\r\rWARNING: " + ToDecimal(static_cast<std::int64_t>(c.returned)) +
                  u" lines came back for 4 sent. Lines after a missing or extra one would land "
                  u"in the wrong places.";
    }
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.default_button, c.returned == 4 ? DefaultButton::Yes : DefaultButton::No);

    // No puts the exchange text back and goes on waiting; the same copy
    // again, and Yes writes what `apply` writes.
    session->Respond(Reply::No());
    session->Settle();
    EXPECT_EQ(session->Clipboard(), file.Exchange());
    session->Advance(2000ms);
    EXPECT_FALSE(file.Written());
    session.ConfirmTranslation(c.translation);
    session->Advance(500ms);
    ASSERT_TRUE(file.Written());
    EXPECT_EQ(file.Output(), file.Applied(c.translation));
    EXPECT_EQ(session.Close(), 0);
  }
}

// A file whose exchange text is about 12,000 code units: 200 comments of
// about 60 units.
std::string LongFile() {
  std::string text;
  for (int i = 0; i < 200; ++i) {
    char line[96];
    std::snprintf(line, sizeof line,
                  "x%d = %d ; step %03d of the program explains what happens next\r\n", i, i, i);
    text += line;
  }
  return text;
}

std::u16string Upper(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return out;
}

TEST(HandOff, ALongFileGoesThroughInPiecesThatFitThePage) {
  OneFile file("Long.pb", LongFile());
  const std::u16string exchange = file.Exchange();
  const std::vector<std::u16string_view> pieces = ExchangePieces(exchange);
  ASSERT_EQ(pieces.size(), 3u) << exchange.size();
  Session session(file.Options());
  session.Start();
  session.StartRun(file.source, file.destination);

  std::u16string joined;
  for (std::size_t k = 0; k < pieces.size(); ++k) {
    SCOPED_TRACE(k);
    ASSERT_LE(pieces[k].size(), kPieceUnits);
    ASSERT_TRUE(session->RunUntil([&] { return session->Clipboard() == pieces[k]; }, 5000ms));
    EXPECT_EQ(session->Field(2), u"CURRENT FILE: Long.pb  (part " +
                                     ToDecimal(static_cast<std::int64_t>(k) + 1) + u" of 3)");
    std::u16string translation = Upper(pieces[k]);
    if (k == 1) {
      // The middle piece: first refused, then confirmed one line short.
      session->UserCopies(translation);
      ASSERT_TRUE(session.WaitForDialog());
      session->Respond(Reply::No());
      session->Settle();
      EXPECT_EQ(session->Clipboard(), pieces[k]);
      session->Advance(1000ms);
      translation.erase(translation.rfind(u'\r', translation.size() - 2) + 1);
      session->UserCopies(translation);
      ASSERT_TRUE(session.WaitForDialog());
      EXPECT_EQ(session->OpenDialog()->default_button, DefaultButton::No);
      session->Respond(Reply::Yes());
      session->Settle();
      // The missing last line keeps the item's own text, so the third
      // piece's lines stay in their places.
      const std::u16string_view last_item =
          pieces[k].substr(pieces[k].rfind(u'\r', pieces[k].size() - 2) + 1);
      joined += translation;
      joined += last_item;
    } else {
      session.ConfirmTranslation(translation);
      joined += translation;
    }
    EXPECT_FALSE(file.Written()) << "one file is written once, after its last piece";
  }
  session->Advance(500ms);
  ASSERT_TRUE(file.Written());
  EXPECT_EQ(file.Output(), file.Applied(joined));
  // The scratch copy holds the joined translation, line for line.
  const std::string scratch = ReadBytes(file.scratch + kSep + "btex");
  const std::string expected = MakeTranslationText(joined);
  EXPECT_TRUE(SplitTranslatedText(scratch) == SplitTranslatedText(expected));
  EXPECT_EQ(session->Rows("TranslatedListView"), std::vector<std::u16string>{u"Translation Saved"});
  EXPECT_EQ(YesNoBoxes(session), 4);
  EXPECT_EQ(session.Close(), 0);
}

TEST(HandOff, AFileThatFitsThePageIsOnePiece) {
  EXPECT_EQ(ExchangePieces(u"").size(), 0u);
  const std::u16string fits = std::u16string(4999, u'a') + u'\r';
  EXPECT_EQ(ExchangePieces(fits).size(), 1u);
  // Whole items only; an item longer than a piece is a piece of its own.
  const std::u16string items = u"ab\rcd\ref\r";
  EXPECT_EQ(ExchangePieces(items, 6), (std::vector<std::u16string_view>{u"ab\rcd\r", u"ef\r"}));
  EXPECT_EQ(ExchangePieces(items, 5), (std::vector<std::u16string_view>{u"ab\r", u"cd\r", u"ef\r"}));
  const std::u16string long_item = u"a\r" + std::u16string(9, u'x') + u"\rb\r";
  EXPECT_EQ(ExchangePieces(long_item, 4),
            (std::vector<std::u16string_view>{u"a\r", std::u16string_view(long_item).substr(2, 10),
                                              u"b\r"}));
}

TEST(HandOff, AClipboardHeldByAnotherProgramIsNoChange) {
  OneFile file("Window.pb", std::string(kWindow));
  Session session(file.Options());
  session.Start();
  session.StartRun(file.source, file.destination);
  ASSERT_EQ(session->Clipboard(), file.Exchange());

  session->SetClipboardBusy(true);
  session->Advance(5000ms);
  EXPECT_EQ(YesNoBoxes(session), 0) << "an unreadable clipboard is not an empty translation";
  session->SetClipboardBusy(false);
  session->Advance(1000ms);
  EXPECT_EQ(YesNoBoxes(session), 0);
  EXPECT_FALSE(file.Written());

  // A clipboard that holds something other than text still reads as "".
  session->UserCopiesNonText();
  ASSERT_TRUE(session.WaitForDialog());
  EXPECT_EQ(session->OpenDialog()->text.substr(0, 2), u"\r\r");
  session->Respond(Reply::No());
  session->Settle();
  session.ConfirmTranslation(u"öffne es\rHauptfenster\rHinweis\rGespeichert\r");
  session->Advance(500ms);
  EXPECT_TRUE(file.Written());
  EXPECT_EQ(session.Close(), 0);
}

TEST(HandOff, AnEditSavedWhileWaitingIsNotOverwritten) {
  // The source folder is also the destination.
  OneFile file("Window.pb", std::string(kWindow));
  Session session(file.Options());
  session.Start();
  session.StartRun(file.source, file.source);
  ASSERT_EQ(session->Clipboard(), file.Exchange());

  const std::string edited = std::string(kWindow) + "; a line added in the editor\r\n";
  WriteBytes(file.source + kSep + file.name, edited);
  session.ConfirmTranslation(u"öffne es\rHauptfenster\rHinweis\rGespeichert\r");
  session->Advance(500ms);

  const std::vector<Dialog> dialogs = session->Dialogs();
  ASSERT_EQ(dialogs.back().title, u"File Creation Error");
  EXPECT_EQ(dialogs.back().text, u"could`nt Create Temp Purebasic file\n'" +
                                     U(file.source + kSep + file.name) +
                                     u"' changed on disk since it was read; it was not replaced, "
                                     u"so the change is kept.");
  EXPECT_EQ(ReadBytes(file.source + kSep + file.name), edited);
  EXPECT_EQ(session->Rows("TranslatedListView"), std::vector<std::u16string>{u"Translation Failed"});
  EXPECT_EQ(session.Close(), 0);
}

}  // namespace
}  // namespace qm::test
