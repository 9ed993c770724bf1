// Whole sessions on the headless platform: what the user sees, in order, and
// what lands on disk. The clock is virtual; nothing here sleeps.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "text/encoding.h"
#include "pipeline/source_lines.h"
#include "pipeline/splice.h"
#include "text/text.h"
#include "pipeline/worker.h"
#include "platform/fs.h"
#include "tests/session.h"

namespace qm::test {
namespace {

using headless::Dialog;
using headless::FieldWrite;
using headless::Reply;

constexpr std::string_view kCommon =
    "; Shared texts\r\n"
    "#Greeting$ = \"Hello\"\r\n";

constexpr std::string_view kAlpha =
    "If OpenWindow(0, 0, 0, 200, 100, \"Main window\") ; open it\r\n"
    "  MessageRequester(\"Info\", \"Saved\") \r\n"
    "EndIf\r\n"
    "; IDE Options = PureBasic 6.00 (Windows - x64)\r\n"
    "; Folding = -\r\n";

constexpr std::string_view kBeta =
    "x$ = \";\" ; a semicolon\r\n"
    "Debug ~\"Line\\n\"\r\n";

// The project of three files, with a file and a folder that are not part
// of it.
struct Project {
  TempDir dir;
  std::string source = dir.File("src");
  std::string destination = dir.File("dst");
  std::string scratch = dir.File("private");

  enum Files { kAllFiles, kWithoutBeta, kIncludeFileOnly };

  explicit Project(Files files = kAllFiles) {
    std::filesystem::create_directories(source + kSep + "sub.pb");
    std::filesystem::create_directories(destination);
    if (files != kIncludeFileOnly) WriteBytes(source + kSep + "Alpha.pb", kAlpha);
    if (files == kAllFiles) WriteBytes(source + kSep + "Beta.pb", kBeta);
    WriteBytes(source + kSep + "Common.pbi", kCommon);
    WriteBytes(source + kSep + "notes.txt", "not PureBasic ; at all\n");
  }

  headless::Options Options() const {
    headless::Options options = Session::DefaultOptions();
    options.private_temp_folder = U(scratch);
    return options;
  }

  // Names of the project's .pb files in the order the system lists them.
  std::vector<std::u16string> ListedSources() const {
    std::vector<fs::FolderEntry> entries;
    fs::ListFolder(U(source), entries);
    std::vector<std::u16string> names;
    for (const auto& entry : entries) {
      if (entry.regular_file && entry.name.ends_with(u".pb")) names.push_back(entry.name);
    }
    return names;
  }
};

std::u16string ExchangeTextOf(std::string_view bytes) {
  SourceLines lines = SourceLines::FromBytes(std::string(bytes));
  lines.Extract();
  return DecodeUtf8(BuildExchangeText(lines));
}

std::string OutputOf(std::string_view bytes, std::u16string_view translation) {
  SourceLines lines = SourceLines::FromBytes(std::string(bytes));
  lines.Extract();
  const std::string text = MakeTranslationText(translation);
  return OutputBytes(lines, SplitTranslatedText(text));
}

std::string ContentOf(std::string_view name) {
  if (name == "Alpha.pb") return std::string(kAlpha);
  if (name == "Beta.pb") return std::string(kBeta);
  return std::string(kCommon);
}

// A translation for any file: every item upper-cased as the "translation".
std::u16string FakeTranslation(std::u16string_view exchange) {
  std::u16string text(exchange);
  for (char16_t& c : text) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return text;
}

int YesNoBoxes(Session& session) {
  int count = 0;
  for (const Dialog& dialog : session->Dialogs()) count += dialog.kind == Dialog::Kind::YesNo;
  return count;
}

bool NoScratchFilesIn(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".quillmark-") != std::string::npos) return false;
  }
  return true;
}

TEST(Session, TranslatesAThreeFileProjectFromStartToEnd) {
  Project project;
  Session session(project.Options());
  session.Start();
  EXPECT_FALSE(session->Enabled("TranslatorWebView"));
  EXPECT_EQ(session->Text("TranslatorWebView"), u"https://translate.google.com/");

  session.StartRun(project.source, project.destination);
  const std::vector<Dialog> choosers = session->Dialogs();
  ASSERT_EQ(choosers.size(), 2u);
  EXPECT_EQ(choosers[0].title, u"Select a Source Path For Quillmark Project");
  EXPECT_EQ(choosers[1].title, u"Select a Destination  Path For Quillmark Project");
  EXPECT_EQ(choosers[0].text, u"/home/tester/Desktop/");
  EXPECT_EQ(choosers[1].text, u"/home/tester/Desktop/");
  EXPECT_EQ(session->Text("SourcePathField"), U(project.source + kSep));
  EXPECT_EQ(session->Text("DestinationPathField"), U(project.destination + kSep));
  EXPECT_TRUE(session->Enabled("TranslatorWebView"));
  EXPECT_FALSE(session->Enabled("SourceButton")) << "runs must not overlap";
  EXPECT_FALSE(session->Press("SourceButton"));

  // Collection: the include file first, then the sources as listed.
  std::vector<std::u16string> order = {u"Common.pbi"};
  for (const auto& name : project.ListedSources()) order.push_back(name);
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(session->Rows("FileListView"), order);
  EXPECT_EQ(session->Field(0), u"Files: 3   FILES TRANSLATED  --> 0");

  // First file handed off.
  EXPECT_EQ(session->Clipboard(), u" Shared texts\rHello\r");
  EXPECT_EQ(session->Field(2), u"CURRENT FILE: Common.pbi");
  EXPECT_EQ(session->Field(3), u"TCL: 2");
  EXPECT_EQ(session->Field(4), u"TD: 2");

  std::int64_t expected_lines = 0;
  std::int64_t expected_items = 0;
  std::u16string last_translation;
  for (std::size_t i = 0; i < order.size(); ++i) {
    const std::string name = U8(order[i]);
    const std::string content = ContentOf(name);
    const std::u16string exchange = ExchangeTextOf(content);
    ASSERT_TRUE(session->RunUntil([&] { return session->Clipboard() == exchange; }, 5000ms))
        << name;
    expected_lines += static_cast<std::int64_t>(SourceLines::FromBytes(content).size());
    SourceLines lines = SourceLines::FromBytes(content);
    expected_items += lines.Extract();
    EXPECT_EQ(session->Field(2), u"CURRENT FILE: " + order[i]);
    EXPECT_EQ(session->Field(3), u"TCL: " + ToDecimal(expected_lines));
    EXPECT_EQ(session->Field(4), u"TD: " + ToDecimal(expected_items));

    // The box comes up within one poll of the copy.
    const std::u16string translation =
        name == "Alpha.pb" ? u"öffne es\r\nHauptfenster\r\nHinweis\r\nGespeichert\r\n"
                           : FakeTranslation(exchange);
    last_translation = translation;
    const std::int64_t copied_at = session->NowMs();
    session->UserCopies(translation);
    ASSERT_TRUE(session.WaitForDialog());
    const Dialog box = *session->OpenDialog();
    EXPECT_EQ(box.title, u"ClipBoard Text Changed");
    EXPECT_EQ(box.text, ConfirmationText(translation));
    EXPECT_LE(box.opened_at_ms - copied_at, 500);
    session->Respond(Reply::Yes());
    session->Settle();
    // Yes ends the hand-off after the 500 ms wait, not before.
    EXPECT_FALSE(Exists(project.destination + kSep + name));
    session->Advance(500ms);
    ASSERT_TRUE(Exists(project.destination + kSep + name));
    EXPECT_EQ(ReadBytes(project.destination + kSep + name), OutputOf(content, translation));
    // Completion.
    EXPECT_EQ(session->Clipboard(), u"");
    EXPECT_EQ(session->Rows("TranslatedListView"),
              std::vector<std::u16string>(i + 1, u"Translation Saved"));
    EXPECT_EQ(session->Field(0), u"Files: 3   FILES TRANSLATED -->  " + ToDecimal(static_cast<std::int64_t>(i) + 1));
  }

  // The one file checked byte for byte by hand: the comment, the literals,
  // the trailer untouched, a byte-order mark for the accented text.
  EXPECT_EQ(ReadBytes(project.destination + kSep + "Alpha.pb"),
            "\xEF\xBB\xBF"
            "If OpenWindow(0, 0, 0, 200, 100, \"Hauptfenster\") ; \xC3\xB6" "ffne es\r\n"
            "  MessageRequester(\"Hinweis\", \"Gespeichert\") \r\n"
            "EndIf\r\n"
            "; IDE Options = PureBasic 6.00 (Windows - x64)\r\n"
            "; Folding = -\r\n");
  // The sources are untouched.
  EXPECT_EQ(ReadBytes(project.source + kSep + "Alpha.pb"), kAlpha);

  // End of run: lists emptied at once, the final texts after 10 s.
  ASSERT_TRUE(session->RunUntil([&] { return session->Rows("FileListView").empty(); }, 3000ms));
  const std::int64_t end_at = session->NowMs();
  EXPECT_TRUE(session->Rows("TranslatedListView").empty());
  EXPECT_FALSE(session->Enabled("TranslatorWebView"));
  EXPECT_EQ(session->Text("SourcePathField"), u"");
  EXPECT_EQ(session->Text("DestinationPathField"), u"");
  EXPECT_EQ(session->Field(0), u"Files: 3   FILES TRANSLATED -->  3");
  EXPECT_FALSE(session->Enabled("SourceButton"));
  session->Advance(9999ms);
  EXPECT_EQ(session->Field(0), u"Files: 3   FILES TRANSLATED -->  3");
  session->Advance(1ms);
  EXPECT_EQ(session->Field(0), u"");
  EXPECT_EQ(session->Field(2), u"");
  EXPECT_TRUE(session->Enabled("SourceButton"));
  const auto state_writes = session->FieldHistory(1);
  const FieldWrite& last_worker_write = *std::find_if(
      state_writes.rbegin(), state_writes.rend(),
      [](const FieldWrite& w) { return w.text == u" <<<  Translation Completed  >>>"; });
  EXPECT_EQ(last_worker_write.time_ms, end_at + 10000);
  EXPECT_EQ(last_worker_write.align, FieldAlign::Center);
  // Fields 3 and 4 keep the run's last counts.
  EXPECT_EQ(session->Field(3), u"TCL: " + ToDecimal(expected_lines));
  EXPECT_EQ(session->Field(4), u"TD: " + ToDecimal(expected_items));

  // What field 1 showed, in order (the heartbeat's writes in between).
  EXPECT_TRUE(InOrder(Texts(state_writes),
                      {u"<<<  Monitoring  >>>", u"<<<  PARSING  >>>",
                       u"<<<  PARSED & READY To PASTE  >>>", u"Files Translated:  1",
                       u"Files Translated:  2", u"Files Translated:  3",
                       u"<<<  Translation Process Complete  >>>",
                       u" <<<  Translation Completed  >>>"}));
  EXPECT_EQ(Texts(session->FieldHistory(0)),
            (std::vector<std::u16string>{u"Files: 3   FILES TRANSLATED  --> 0",
                                         u"Files: 3   FILES TRANSLATED -->  1",
                                         u"Files: 3   FILES TRANSLATED -->  2",
                                         u"Files: 3   FILES TRANSLATED -->  3", u""}));
  // The web view went back to the translator after each file.
  EXPECT_EQ(session->Navigations(), 1 + 3);

  // The scratch copy of the last translation, private to the user.
#ifndef _WIN32
  struct stat folder {}, scratch {};
  ASSERT_EQ(::stat(project.scratch.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat((project.scratch + kSep + "btex").c_str(), &scratch), 0);
  EXPECT_EQ(scratch.st_mode & 0777, 0600u);
#endif
  EXPECT_EQ(ReadBytes(project.scratch + kSep + "btex"), EncodeUtf8(last_translation));

  EXPECT_EQ(session.Close(), 0);
  EXPECT_EQ(session->LiveThreads(), 0);
  EXPECT_FALSE(session->WindowOpen());
  EXPECT_TRUE(NoScratchFilesIn(project.destination));
}

TEST(Session, NoPutsTheExchangeTextBackAndWaitsForANewCopy) {
  Project project(Project::kIncludeFileOnly);
  Session session(project.Options());
  session.Start();
  session.StartRun(project.source, project.destination);
  const std::u16string exchange = u" Shared texts\rHello\r";
  ASSERT_EQ(session->Clipboard(), exchange);

  // Polling goes on without a box while the exchange text stays.
  session->Advance(5000ms);
  EXPECT_EQ(YesNoBoxes(session), 0);

  session->UserCopies(u"something else");
  ASSERT_TRUE(session.WaitForDialog());
  session->Respond(Reply::No());
  session->Settle();
  EXPECT_EQ(session->Clipboard(), exchange);
  session->Advance(3000ms);
  EXPECT_EQ(YesNoBoxes(session), 1) << "no box until the user copies again";
  EXPECT_FALSE(Exists(project.destination + kSep + "Common.pbi"));

  // The page turned every CR into CR LF: still a change, and it reads back.
  session.ConfirmTranslation(u" Gemeinsame Texte\r\nHallo\r\n");
  EXPECT_EQ(YesNoBoxes(session), 2);
  session->Advance(500ms);
  EXPECT_EQ(ReadBytes(project.destination + kSep + "Common.pbi"),
            "; Gemeinsame Texte\r\n#Greeting$ = \"Hallo\"\r\n");
  EXPECT_TRUE(session.WaitForRunEnd());
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, ThePreviewShowsSixtyCodeUnitsThenTheQuestion) {
  const std::u16string long_text = std::u16string(59, u'a') + u"\U0001F600" + u"tail";
  const std::u16string preview = ConfirmationText(long_text);
  EXPECT_EQ(preview.substr(0, 60), long_text.substr(0, 60));
  EXPECT_EQ(preview.substr(60),
            u"\r\rIf Data is Correct ! Click Yes \rElse Click No To Continue Monitoring the "
            u"ClipBoard");
  EXPECT_EQ(ConfirmationText(u"short").substr(0, 7), u"short\r\r");
  EXPECT_EQ(ConfirmationText(u"").substr(0, 2), u"\r\r");
}

struct ChooserCase {
  const char* name;
  bool source_chosen;
  bool destination_chosen;
  const char16_t* title;
  const char16_t* text;
};

std::string ChooserCaseName(const ::testing::TestParamInfo<ChooserCase>& param) {
  return std::string(param.param.name) + "Cancelled";
}

class CancelledChooser : public ::testing::TestWithParam<ChooserCase> {};

TEST_P(CancelledChooser, ShowsTheMatchingBoxAndStartsNoRun) {
  const ChooserCase& c = GetParam();
  Project project;
  Session session(project.Options());
  session.Start();
  session.ChooseFolders(c.source_chosen ? U(project.source) : u"",
                        c.destination_chosen ? U(project.destination) : u"");
  ASSERT_TRUE(session->Press("SourceButton"));
  session->Settle();

  const std::vector<Dialog> dialogs = session->Dialogs();
  ASSERT_EQ(dialogs.size(), 3u) << "both choosers, then one box";
  EXPECT_EQ(dialogs[2].kind, Dialog::Kind::Message);
  EXPECT_EQ(dialogs[2].title, c.title);
  EXPECT_EQ(dialogs[2].text, c.text);
  EXPECT_EQ(session->Text("SourcePathField"), c.source_chosen ? U(project.source + kSep) : u"");
  EXPECT_EQ(session->Text("DestinationPathField"),
            c.destination_chosen ? U(project.destination + kSep) : u"");
  EXPECT_FALSE(session->Enabled("TranslatorWebView"));
  EXPECT_TRUE(session->Enabled("SourceButton"));
  EXPECT_EQ(session->LiveThreads(), 2) << "main and heartbeat only";
  EXPECT_TRUE(session->Rows("FileListView").empty());
  EXPECT_EQ(session.Close(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Choosers, CancelledChooser,
    ::testing::Values(
        ChooserCase{"Both", false, false, u"Source Error", u"Please Select a Project Source Folder"},
        ChooserCase{"Source", false, true, u"Source Error",
                    u"Please Select a Project Source Folder"},
        ChooserCase{"Destination", true, false, u"Desitnation Error",
                    u"Please Select a Project Destination Folder"}),
    ChooserCaseName);

TEST(Session, AnEmptyProjectEndsTheRunAtOnce) {
  TempDir dir;
  const std::string empty = dir.File("empty");
  std::filesystem::create_directories(empty);
  WriteBytes(empty + kSep + "readme.txt", "nothing to translate");
  Session session;
  session.Start();
  session.StartRun(empty, dir.path());

  EXPECT_EQ(session->Field(0), u"Files: 0   FILES TRANSLATED  --> 0");
  EXPECT_FALSE(session->Enabled("TranslatorWebView"));
  EXPECT_EQ(session->Text("SourcePathField"), u"");
  EXPECT_EQ(YesNoBoxes(session), 0);
  session->Advance(1000ms);
  EXPECT_EQ(session->Field(1), u"<<<  Translation Process Complete  >>>");
  EXPECT_TRUE(session.WaitForRunEnd());
  EXPECT_EQ(session->NowMs(), 10000);
  EXPECT_EQ(session->Field(0), u"");
  EXPECT_EQ(session->Field(2), u"");
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, AFileThatCannotBeReadIsReportedAndNotOverwritten) {
  Project project(Project::kWithoutBeta);
  // What the destination already holds under that name must survive.
  WriteBytes(project.destination + kSep + "Alpha.pb", "precious\r\n");
  Session session(project.Options());
  session.Start();
  session.StartRun(project.source, project.destination);
  // Gone between the collection and its turn.
  std::filesystem::remove(project.source + kSep + "Alpha.pb");
  session.ConfirmTranslation(u"X\rY\r");

  ASSERT_TRUE(session.WaitForRunEnd());
  const std::vector<Dialog> dialogs = session->Dialogs();
  const auto read_error = std::find_if(dialogs.begin(), dialogs.end(), [](const Dialog& d) {
    return d.title == u"File Read Error";
  });
  ASSERT_NE(read_error, dialogs.end());
  EXPECT_EQ(read_error->text, U("Could not read " + project.source + kSep + "Alpha.pb\n") +
                                  fs::ErrorText(fs::SystemError(ENOENT)));
  EXPECT_EQ(YesNoBoxes(session), 1) << "nothing to hand off for the missing file";
  EXPECT_EQ(ReadBytes(project.destination + kSep + "Alpha.pb"), "precious\r\n");
  EXPECT_EQ(ReadBytes(project.destination + kSep + "Common.pbi"), "; X\r\n#Greeting$ = \"Y\"\r\n");
  // Only the file that was written counts as translated.
  const std::vector<std::u16string> counts = Texts(session->FieldHistory(0));
  EXPECT_TRUE(InOrder(counts, {u"Files: 2   FILES TRANSLATED -->  1"}));
  EXPECT_FALSE(InOrder(counts, {u"Files: 2   FILES TRANSLATED -->  2"}));
  const std::vector<std::string> log = session->Log();
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& line) {
                            return line.find("InsertRow(TranslatedListView, 0, \"Translation "
                                             "Failed\")") != std::string::npos;
                          }),
            1);
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, ADestinationThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
  Project project(Project::kWithoutBeta);
  Session session(project.Options());
  session.Start();
  session.StartRun(project.source, project.destination);
  std::filesystem::remove(project.destination);  // the folder is gone
  session.ConfirmTranslation(u"X\rY\r");
  session->Advance(500ms);

  const std::vector<Dialog> dialogs = session->Dialogs();
  ASSERT_EQ(dialogs.back().title, u"File Creation Error");
#ifdef _WIN32
  constexpr int kNoSuchFolder = 3;  // ERROR_PATH_NOT_FOUND
#else
  constexpr int kNoSuchFolder = ENOENT;
#endif
  EXPECT_EQ(dialogs.back().text,
            u"could`nt Create Temp Purebasic file\n" + fs::ErrorText(fs::SystemError(kNoSuchFolder)));
  EXPECT_EQ(session->Rows("TranslatedListView"),
            std::vector<std::u16string>{u"Translation Failed"});
  EXPECT_EQ(session->Field(0), u"Files: 2   FILES TRANSLATED -->  0");
  EXPECT_EQ(session->Field(1), u"Files Translated:  0");

  // The next file comes up all the same.
  ASSERT_TRUE(session->RunUntil(
      [&] { return session->Clipboard() == ExchangeTextOf(kAlpha); }, 3000ms));
  EXPECT_EQ(session->Field(2), u"CURRENT FILE: Alpha.pb");
  EXPECT_EQ(session.Close(), 0);
  EXPECT_FALSE(Exists(project.destination));
}

enum class Phase { ClipboardWait, YesNoBox, FileCreationErrorBox, EndOfRunPause };

std::string PhaseName(const ::testing::TestParamInfo<Phase>& param) {
  switch (param.param) {
    case Phase::ClipboardWait: return "ClipboardWait";
    case Phase::YesNoBox: return "YesNoBox";
    case Phase::FileCreationErrorBox: return "FileCreationErrorBox";
    case Phase::EndOfRunPause: return "EndOfRunPause";
  }
  return "Unknown";
}

class CloseDuring : public ::testing::TestWithParam<Phase> {};

TEST_P(CloseDuring, EndsEveryThreadWithExitCodeZeroAndNoPartialFile) {
  Project project(Project::kIncludeFileOnly);
  WriteBytes(project.destination + kSep + "Common.pbi", "old\r\n");
  Session session(project.Options());
  session.AcknowledgeMessages(false);
  session.Start();
  session.StartRun(project.source, project.destination);
  std::string expected = "old\r\n";
  switch (GetParam()) {
    case Phase::ClipboardWait:
      session->Advance(2000ms);
      break;
    case Phase::YesNoBox:
      session->UserCopies(u"A\rB\r");
      ASSERT_TRUE(session.WaitForDialog());
      break;
    case Phase::FileCreationErrorBox:
      std::filesystem::remove_all(project.destination);
      session->UserCopies(u"A\rB\r");
      ASSERT_TRUE(session.WaitForDialog());
      session->Respond(Reply::Yes());
      ASSERT_TRUE(session.WaitForDialog());
      ASSERT_EQ(session->OpenDialog()->title, u"File Creation Error");
      break;
    case Phase::EndOfRunPause:
      session.ConfirmTranslation(u"A\rB\r");
      ASSERT_TRUE(
          session->RunUntil([&] { return session->Rows("FileListView").empty(); }, 3000ms));
      session->Advance(4000ms);
      expected = "; A\r\n#Greeting$ = \"B\"\r\n";
      break;
  }
  const std::int64_t closed_at = session->NowMs();
  EXPECT_EQ(session.Close(), 0);
  EXPECT_EQ(session->NowMs(), closed_at) << "the close waits for no timer";
  EXPECT_EQ(session->LiveThreads(), 0);
  EXPECT_FALSE(session->WindowOpen());
  if (GetParam() != Phase::FileCreationErrorBox) {
    EXPECT_EQ(ReadBytes(project.destination + kSep + "Common.pbi"), expected);
    EXPECT_TRUE(NoScratchFilesIn(project.destination));
  }
}

INSTANTIATE_TEST_SUITE_P(Phases, CloseDuring,
                         ::testing::Values(Phase::ClipboardWait, Phase::YesNoBox,
                                           Phase::FileCreationErrorBox, Phase::EndOfRunPause),
                         PhaseName);

TEST(Session, ASecondRunCountsFromZeroAgain) {
  Project project(Project::kIncludeFileOnly);
  Session session(project.Options());
  session.Start();
  for (int run = 0; run < 2; ++run) {
    session.StartRun(project.source, project.destination);
    EXPECT_EQ(session->Field(0), u"Files: 1   FILES TRANSLATED  --> 0") << "run " << run;
    EXPECT_EQ(session->Field(3), u"TCL: 2") << "run " << run;
    EXPECT_EQ(session->Field(4), u"TD: 2") << "run " << run;
    session.ConfirmTranslation(u"X\rY\r");
    ASSERT_TRUE(session.WaitForRunEnd());
    const auto texts = Texts(session->FieldHistory(1));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"Files Translated:  1"), run + 1);
    EXPECT_TRUE(session->Enabled("SourceButton"));
  }
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, TheHeartbeatBlinksEveryHalfSecondCentred) {
  Session session;
  session.Start();
  session->Advance(2000ms);
  const std::vector<FieldWrite> writes = session->FieldHistory(1);
  ASSERT_EQ(writes.size(), 5u);
  for (std::size_t i = 0; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].time_ms, static_cast<std::int64_t>(i) * 500);
    EXPECT_EQ(writes[i].text, i % 2 == 0 ? u"<<<  Monitoring  >>>" : u"");
    EXPECT_EQ(writes[i].align, FieldAlign::Center);
  }
  EXPECT_EQ(session.Close(), 0);
  EXPECT_EQ(session->LiveThreads(), 0);
}

TEST(Session, WithoutAWindowTheProgramSaysSoAndExitsWithOne) {
  headless::Options options = Session::DefaultOptions();
  options.fail_window_creation = true;
  Session session(options);
  session.Start();
  EXPECT_TRUE(session.Ended());
  EXPECT_EQ(session.Close(), 1);
  EXPECT_EQ(session.Errors(), "quillmark: the main window could not be created\n");
  EXPECT_EQ(session->LiveThreads(), 0);
}

TEST(Session, AWorkerThatCannotStartLeavesTheButtonUsable) {
  Project project;
  Session session(project.Options());
  session.Start();
  session->FailNextThreadStart();
  session.StartRun(project.source, project.destination);
  EXPECT_TRUE(session->Enabled("SourceButton"));
  EXPECT_TRUE(session->Enabled("TranslatorWebView"));
  EXPECT_EQ(session->LiveThreads(), 2);
  // The next press starts the run.
  session.StartRun(project.source, project.destination);
  EXPECT_EQ(session->Rows("FileListView").size(), 3u);
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, AScratchFolderThatCannotBeUsedLosesNothing) {
  Project project(Project::kIncludeFileOnly);
  WriteBytes(project.scratch, "a file where the folder should be");
  Session session(project.Options());
  session.Start();
  session.StartRun(project.source, project.destination);
  session.ConfirmTranslation(u"X\rY\r");
  session->Advance(500ms);
  EXPECT_EQ(ReadBytes(project.destination + kSep + "Common.pbi"), "; X\r\n#Greeting$ = \"Y\"\r\n");
  EXPECT_EQ(session.Close(), 0);
}

TEST(Session, AFileWithNothingToTranslateWaitsForANonEmptyCopy) {
  TempDir dir;
  WriteBytes(dir.File("Plain.pb"), "x = 1\r\n");
  const std::string destination = dir.File("out");
  std::filesystem::create_directories(destination);
  Session session;
  session.Start();
  session.StartRun(dir.path(), destination);
  EXPECT_EQ(session->Clipboard(), u"");
  session->UserCopiesNonText();  // reads as "", the same as the exchange text
  session->Advance(2000ms);
  EXPECT_EQ(YesNoBoxes(session), 0);
  session.ConfirmTranslation(u"anything");
  session->Advance(500ms);
  EXPECT_EQ(ReadBytes(destination + kSep + "Plain.pb"), "x = 1\r\n");
  EXPECT_EQ(session.Close(), 0);
}

}  // namespace
}  // namespace qm::test
