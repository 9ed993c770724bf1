// Runs the built quillmark-cli as a user would and checks what it prints,
// writes and returns.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/test_support.h"

namespace qm {
namespace {

using test::Exists;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

struct CliRun {
  int status = -1;
  std::string out, err;
};

// Runs quillmark-cli (or the copy `program`) with `args`; `meanwhile`, when
// given, runs in this process while the program runs (as another user, with
// `as_user`).
CliRun Cli(std::vector<std::string> args, const std::function<void()>& meanwhile = {},
           uid_t as_user = 0, const std::string& program = QM_CLI_PATH) {
  TempDir capture;
  const std::string out_path = capture.File("out"), err_path = capture.File("err");
  args.insert(args.begin(), program);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (as_user != 0 && (::setgid(as_user) != 0 || ::setuid(as_user) != 0)) ::_exit(126);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (meanwhile) meanwhile();
  int wstatus = 0;
  ::waitpid(pid, &wstatus, 0);
  CliRun run;
  run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
  run.out = ReadBytes(out_path);
  run.err = ReadBytes(err_path);
  return run;
}

std::size_t Lines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(Cli, ExtractWritesTheExchangeTextByteForByte) {
  TempDir dir;
  WriteBytes(dir.File("m.pb"),
             "a = 1 ; one\r\nb$ = \"zwei \xC3\xA4\"\r\n; three\r\n; IDE Options = x\r\n; four\r\n");
  const CliRun run = Cli({"extract", dir.File("m.pb")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, " one\r three\rzwei \xC3\xA4\r");
  EXPECT_EQ(run.err, "");

  WriteBytes(dir.File("empty.pb"), "");
  EXPECT_EQ(Cli({"extract", dir.File("empty.pb")}).out, "");
}

TEST(Cli, ApplyWritesTheTranslatedFile) {
  TempDir dir;
  WriteBytes(dir.File("m.pb"), "a = 1 ; one  \nb$ = \"two\"\n;- Section\nc = 3\n");
  WriteBytes(dir.File("t.txt"), "eins\r\nAbschnitt\r\nzwei \xC3\xA4\r\n");
  const CliRun run = Cli({"apply", dir.File("m.pb"), dir.File("t.txt"), dir.File("out.pb")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(ReadBytes(dir.File("out.pb")),
            "\xEF\xBB\xBF" "a = 1 ; eins  \r\nb$ = \"zwei \xC3\xA4\"\r\n;- Abschnitt\r\nc = 3\r\n");
}

TEST(Cli, ApplyMayOverwriteItsSource) {
  TempDir dir;
  WriteBytes(dir.File("m.pb"), "; one\n");
  WriteBytes(dir.File("t.txt"), "eins");
  const CliRun run = Cli({"apply", dir.File("m.pb"), dir.File("t.txt"), dir.File("m.pb")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir.File("m.pb")), "; eins\r\n");
}

TEST(Cli, FailuresNameTheFileAndLeaveTheOutputUntouched) {
  TempDir dir;
  WriteBytes(dir.File("m.pb"), "; one\n");
  WriteBytes(dir.File("t.txt"), "eins");
  WriteBytes(dir.File("out.pb"), "keep me");

  struct Case {
    std::vector<std::string> args;
    std::string names;
  };
  const Case cases[] = {
      {{"extract", dir.File("missing.pb")}, dir.File("missing.pb")},
      {{"apply", dir.File("missing.pb"), dir.File("t.txt"), dir.File("out.pb")},
       dir.File("missing.pb")},
      {{"apply", dir.File("m.pb"), dir.File("missing.txt"), dir.File("out.pb")},
       dir.File("missing.txt")},
      {{"apply", dir.File("m.pb"), dir.File("t.txt"), dir.File("nodir/out.pb")},
       dir.File("nodir/out.pb")},
      {{"apply", dir.File("m.pb"), dir.File("t.txt"), dir.path()}, dir.path()},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.args);
    EXPECT_EQ(run.status, 1) << c.names;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("'" + c.names + "'"), std::string::npos) << run.err;
    EXPECT_EQ(ReadBytes(dir.File("out.pb")), "keep me");
  }
  const CliRun missing = Cli({"extract", dir.File("missing.pb")});
  EXPECT_NE(missing.err.find("No such file or directory"), std::string::npos) << missing.err;
}

TEST(Cli, CollectPrintsOnePathALineIncludeFilesFirst) {
  TempDir dir;
  WriteBytes(dir.File("main.pb"), "");
  WriteBytes(dir.File("inc.pbi"), "");
  WriteBytes(dir.File("notes.txt"), "");
  const CliRun run = Cli({"collect", dir.path()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, dir.File("inc.pbi") + "\n" + dir.File("main.pb") + "\n");
  EXPECT_EQ(Cli({"collect", dir.File("missing")}).out, "");
}

TEST(Cli, HelpAndUsageErrors) {
  const CliRun help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("quillmark-cli apply [--force] FILE TRANSLATION OUTPUT"),
            std::string::npos);
  EXPECT_EQ(help.err, "");

  const std::vector<std::string> wrong[] = {
      {}, {"frobnicate"}, {"extract"}, {"extract", "a", "b"}, {"apply", "a", "b"}, {"collect"},
      {"--help", "extract"},
      {"extract", "--max-chars", "0", "a"}, {"extract", "--max-chars", "x", "a"},
      {"extract", "a", "--max-chars"}, {"extract", "--force", "a"},
      {"apply", "--max-chars=5", "a", "b", "c"}, {"collect", "--force", "a"},
  };
  for (const auto& args : wrong) {
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Usage:"), std::string::npos);
  }
}

TEST(Cli, ApplyRefusesATranslationWhoseLineCountDiffers) {
  TempDir dir;
  const std::string source = "a = 1 ; one\nb$ = \"two\"\n; three\n";  // three items
  WriteBytes(dir.File("m.pb"), source);
  WriteBytes(dir.File("out.pb"), "what was there\r\n");
  struct Case {
    const char* translation;
    int status;
    const char* counts;  // in the message, when refused
  };
  const Case cases[] = {
      {"eins\r\ndrei\r\n", 3, "has 2 lines for the 3 items"},
      {"eins\r\ndrei\r\nzwei\r\nvier\r\n", 3, "has 4 lines for the 3 items"},
      {"eins\r\ndrei\r\nzwei\r\n\r\n  \r\n", 0, nullptr},  // empty lines at the end
      {"eins\rdrei\rzwei", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.translation);
    WriteBytes(dir.File("t.txt"), c.translation);
    const CliRun run = Cli({"apply", dir.File("m.pb"), dir.File("t.txt"), dir.File("out.pb")});
    EXPECT_EQ(run.status, c.status) << run.err;
    if (c.counts != nullptr) {
      EXPECT_NE(run.err.find(c.counts), std::string::npos) << run.err;
      EXPECT_EQ(Lines(run.err), 1u);
      EXPECT_EQ(ReadBytes(dir.File("out.pb")), "what was there\r\n");
      // --force writes what the splice makes of it.
      const CliRun forced =
          Cli({"apply", "--force", dir.File("m.pb"), dir.File("t.txt"), dir.File("out.pb")});
      EXPECT_EQ(forced.status, 0) << forced.err;
      EXPECT_NE(ReadBytes(dir.File("out.pb")), "what was there\r\n");
      WriteBytes(dir.File("out.pb"), "what was there\r\n");
    } else {
      EXPECT_EQ(ReadBytes(dir.File("out.pb")), "a = 1 ; eins\r\nb$ = \"zwei\"\r\n; drei\r\n");
    }
  }
}

TEST(Cli, ExtractCutsThePiecesTheWindowHandsOff) {
  TempDir dir;
  WriteBytes(dir.File("m.pb"), "; alpha\n; beta\n; gamma\nx$ = \"delta epsilon\"\n");
  struct Case {
    const char* max_chars;
    const char* out;
  };
  const Case cases[] = {
      {"100", " alpha\r beta\r gamma\rdelta epsilon\r\f"},
      {"14", " alpha\r beta\r\f gamma\r\fdelta epsilon\r\f"},
      {"3", " alpha\r\f beta\r\f gamma\r\fdelta epsilon\r\f"},  // longer items stand alone
  };
  for (const Case& c : cases) {
    const CliRun run = Cli({"extract", "--max-chars", c.max_chars, dir.File("m.pb")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, c.out) << c.max_chars;
    EXPECT_EQ(Cli({"extract", dir.File("m.pb"), std::string("--max-chars=") + c.max_chars}).out,
              c.out);
  }
  WriteBytes(dir.File("empty.pb"), "x = 1\n");
  EXPECT_EQ(Cli({"extract", "--max-chars", "10", dir.File("empty.pb")}).out, "");
}

TEST(Cli, ApplyKeepsAnEditMadeWhileItRan) {
  TempDir dir;
  const std::string source = dir.File("Main.pb");
  WriteBytes(source, "; one\r\n");
  // The translation comes through a pipe, so the test can edit the source
  // after the program has read it and before it writes.
  const std::string pipe = dir.File("translation");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  const CliRun run = Cli({"apply", source, pipe, source}, [&] {
    // The program opens the pipe only once it has read the source (and a
    // program that never does fails the test instead of hanging it).
    int fd = -1;
    for (int i = 0; i < 1000 && fd < 0; ++i) {
      fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) ::usleep(10000);
    }
    ASSERT_GE(fd, 0) << "the program never opened the translation";
    ::fcntl(fd, F_SETFL, 0);
    WriteBytes(source, "; one, edited meanwhile\r\n");
    ASSERT_EQ(::write(fd, "eins\n", 5), 5);
    ::close(fd);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("changed on disk since it was read"), std::string::npos) << run.err;
  EXPECT_EQ(ReadBytes(source), "; one, edited meanwhile\r\n");
}

TEST(Cli, CollectSaysWhenAFolderCannotBeListed) {
  TempDir dir;
  WriteBytes(dir.File("file.pb"), "x");
  for (const std::string& folder : {dir.File("missing"), dir.File("file.pb")}) {
    const CliRun run = Cli({"collect", folder});
    EXPECT_EQ(run.status, 1) << folder;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Lines(run.err), 1u) << run.err;
    EXPECT_NE(run.err.find("cannot list '" + folder + "'"), std::string::npos) << run.err;
  }
  // A folder its owner keeps to themselves, listed by another user.
  if (::geteuid() == 0) {
    const std::string secret = dir.File("secret");
    std::filesystem::create_directory(secret);
    WriteBytes(secret + "/a.pb", "x");
    ASSERT_EQ(::chmod(secret.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    // The other user runs a copy of the program that it can reach: the
    // build folder may lie in a folder only its owner enters.
    const std::string program = dir.File("quillmark-cli");
    std::filesystem::copy_file(QM_CLI_PATH, program);
    ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    const CliRun run = Cli({"collect", secret}, {}, 65534, program);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Permission denied"), std::string::npos) << run.err;
  }
}

// A project for `translate`: two files at the top, one in a subfolder, one
// without anything to translate, and translator scripts beside it.
struct TranslateProject {
  TempDir dir;
  std::string source = dir.File("src"), destination = dir.File("dst");
  TranslateProject() {
    std::filesystem::create_directories(source + "/sub");
    std::filesystem::create_directories(destination);
    WriteBytes(source + "/Main.pb",
               "; Main window\r\nIf OpenWindow(0, 0, 0, 200, 100, \"Hello there\") ; open it\r\n"
               "  MessageRequester(\"Info\", \"All saved\")\r\nEndIf\r\n");
    WriteBytes(source + "/Texts.pbi", "#Title$ = \"My program\" ; the title\n");
    WriteBytes(source + "/Plain.pb", "x = 1\n");
    WriteBytes(source + "/sub/Deep.pb", "; deep comment\n");
  }
  // Writes an executable script and returns the command that runs it.
  std::string Script(const std::string& name, const std::string& body) const {
    const std::string path = dir.File(name);
    WriteBytes(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path;
  }
  // What `apply` writes for `file` with its items upper-cased.
  std::string Upper(const std::string& file) const {
    const std::string exchange = Cli({"extract", source + "/" + file}).out;
    std::string upper;
    for (const char c : exchange) upper += c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
    WriteBytes(dir.File("t"), upper);
    Cli({"apply", source + "/" + file, dir.File("t"), dir.File("expected")});
    return ReadBytes(dir.File("expected"));
  }
};

TEST(CliTranslate, WritesWhatApplyWritesAndRetriesItemByItem) {
  TranslateProject project;
  const std::string drops = project.Script(
      "drop.sh", "tr a-z A-Z > in.$$; n=$(wc -l < in.$$); awk -v n=$n 'NR != 2 || n == 1' in.$$; rm in.$$");
  for (const std::string& command : {std::string("tr a-z A-Z"), drops}) {
    SCOPED_TRACE(command);
    std::filesystem::remove_all(project.destination);
    std::filesystem::create_directories(project.destination);
    const CliRun run = Cli({"translate", project.source, project.destination, "--with", command});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    for (const char* file : {"Main.pb", "Texts.pbi"}) {
      EXPECT_EQ(ReadBytes(project.destination + "/" + file), project.Upper(file)) << file;
    }
    // Nothing to translate: the file is copied through as its output bytes.
    EXPECT_EQ(ReadBytes(project.destination + "/Plain.pb"), "x = 1\r\n");
    EXPECT_FALSE(Exists(project.destination + "/sub/Deep.pb")) << "not without --recursive";
    EXPECT_NE(run.err.find("3 files: 2 written, 1 with nothing to translate, 0 failed"),
              std::string::npos)
        << run.err;
  }
}

TEST(CliTranslate, FailuresArePerFile) {
  TranslateProject project;
  // Fails for the file with the title, translates the others.
  const std::string picky = project.Script(
      "picky.sh", "in=$(cat); case \"$in\" in *title*) echo 'no titles here' >&2; exit 1;; esac; "
                  "printf '%s\\n' \"$in\" | tr a-z A-Z");
  const CliRun run = Cli({"translate", project.source, project.destination, "--with", picky});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(Exists(project.destination + "/Texts.pbi"));
  EXPECT_EQ(ReadBytes(project.destination + "/Main.pb"), project.Upper("Main.pb"));
  EXPECT_NE(run.err.find("failed: Texts.pbi: the command exited with 1: no titles here"),
            std::string::npos)
      << run.err;

  // A command that hangs, with a child of its own: ended at the time limit,
  // the child too.
  const std::string pid_file = project.dir.File("child.pid");
  const std::string hangs = project.Script(
      "hangs.sh", "sleep 300 & echo $! > " + pid_file + "; wait");
  const CliRun hung = Cli({"translate", project.source, project.destination, "--with", hangs,
                           "--timeout", "1", "--jobs", "1"});
  EXPECT_EQ(hung.status, 1);
  EXPECT_NE(hung.err.find("the command ran past the time limit of 1 s"),
            std::string::npos)
      << hung.err;
  // Gone, or ended and waiting to be reaped by whoever inherited it.
  const std::string proc = "/proc/" + std::to_string(std::stoi(ReadBytes(pid_file))) + "/stat";
  const std::string stat = Exists(proc) ? ReadBytes(proc) : std::string();
  const std::size_t state = stat.rfind(')');
  EXPECT_TRUE(stat.empty() || (state != std::string::npos && stat.substr(state + 2, 1) == "Z"))
      << "the command's child still runs: " << stat;
}

TEST(CliTranslate, ParallelJobsWriteWhatOneJobWrites) {
  TranslateProject project;
  for (int i = 0; i < 6; ++i) {
    WriteBytes(project.source + "/F" + std::to_string(i) + ".pb",
               "; comment number " + std::to_string(i) + "\nDebug \"text " + std::to_string(i) + "\"\n");
  }
  const std::string slow = project.Script("slow.sh", "sleep 0.2; tr a-z A-Z");
  const std::string one = project.dir.File("one"), four = project.dir.File("four");
  std::filesystem::create_directories(one);
  std::filesystem::create_directories(four);
  ASSERT_EQ(Cli({"translate", project.source, one, "--with", slow, "--jobs", "1"}).status, 0);
  ASSERT_EQ(Cli({"translate", project.source, four, "--with", slow, "--jobs", "4"}).status, 0);
  for (const auto& entry : std::filesystem::directory_iterator(one)) {
    const std::string name = entry.path().filename().string();
    EXPECT_EQ(ReadBytes(four + "/" + name), ReadBytes(one + "/" + name)) << name;
  }
}

TEST(CliTranslate, DryRunRecursiveAndInPlace) {
  TranslateProject project;
  const std::string before = ReadBytes(project.source + "/Main.pb");
  const CliRun dry = Cli({"translate", project.source, project.source, "--with", "tr a-z A-Z",
                          "--recursive", "--dry-run"});
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(ReadBytes(project.source + "/Main.pb"), before) << "a dry run writes nothing";
  EXPECT_NE(dry.out.find("--- a/Main.pb\n+++ b/Main.pb\n@@ -1,4 +1,4 @@\n-; Main window\n+; MAIN WINDOW\n"),
            std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("--- a/sub/Deep.pb"), std::string::npos) << dry.out;
  EXPECT_EQ(dry.out.find("Plain.pb"), std::string::npos) << "no change, no diff";

  const CliRun mirrored = Cli({"translate", project.source, project.destination, "--with",
                               "tr a-z A-Z", "--recursive"});
  EXPECT_EQ(mirrored.status, 0) << mirrored.err;
  EXPECT_EQ(ReadBytes(project.destination + "/sub/Deep.pb"), "; DEEP COMMENT\r\n");

  // DEST = SOURCE: the files are replaced in place.
  const std::string expected = project.Upper("Main.pb");
  EXPECT_EQ(Cli({"translate", project.source, project.source, "--with", "tr a-z A-Z"}).status, 0);
  EXPECT_EQ(ReadBytes(project.source + "/Main.pb"), expected);

  EXPECT_EQ(Cli({"translate", project.source, project.destination}).status, 2) << "no --with";
  // A destination that is not there fails at once, naming it, before any
  // translator runs.
  const CliRun nowhere = Cli({"translate", project.source, project.dir.File("nowhere"), "--with",
                              "touch " + project.dir.File("ran")});
  EXPECT_EQ(nowhere.status, 1);
  EXPECT_NE(nowhere.err.find("cannot write into '" + project.dir.File("nowhere") + "'"),
            std::string::npos)
      << nowhere.err;
  EXPECT_FALSE(Exists(project.dir.File("ran")));
  // A translator that answers nothing: every item keeps its text, and the
  // summary says so.
  const CliRun silent = Cli({"translate", project.source, project.destination, "--with", "true"});
  EXPECT_EQ(silent.status, 0) << silent.err;
  EXPECT_NE(silent.err.find("0 items translated, 7 kept their text"), std::string::npos)
      << silent.err;
  EXPECT_EQ(Cli({"translate", project.dir.File("missing"), project.destination, "--with", "cat"})
                .status,
            1);
}

TEST(Cli, TheSampleProjectTranslates) {
  const std::string samples = QM_SAMPLES_DIR;
  const CliRun collected = Cli({"collect", samples + "/project"});
  ASSERT_EQ(collected.status, 0);
  EXPECT_GE(Lines(collected.out), 2u);
  TempDir dir;
  const CliRun run = Cli({"apply", samples + "/project/Main.pb", samples + "/Main.de.txt",
                       dir.File("Main.pb")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadBytes(dir.File("Main.pb")), ReadBytes(samples + "/Main.de.expected.pb"));
}

}  // namespace
}  // namespace qm
