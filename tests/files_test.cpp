#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "pipeline/collect.h"
#include "text/encoding.h"
#include "pipeline/files.h"
#include "text/text.h"
#include "platform/fs.h"
#include "tests/test_support.h"

namespace qm {
namespace {

using test::kSep;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

std::u16string P(const std::string& path) { return DecodeFileName(path); }

// The system's codes for a missing folder and a folder where a file should
// be, and the program's own for a file its owner made read-only.
#ifdef _WIN32
const std::error_code kNoSuchFolder = fs::SystemError(3);  // ERROR_PATH_NOT_FOUND
const std::error_code kIsAFolder = fs::SystemError(267);   // ERROR_DIRECTORY
#else
const std::error_code kNoSuchFolder = fs::SystemError(ENOENT);
const std::error_code kIsAFolder = fs::SystemError(EISDIR);
#endif
const std::error_code kReadOnly = fs::FileError::ReadOnly;

TEST(MatchesExtension, ExactAndCaseSensitive) {
  struct Case {
    std::u16string name, extension;
    bool matches;
  };
  const Case cases[] = {
      {u"main.pb", u"pb", true},     {u".pb", u"pb", true},        {u"pb", u"pb", false},
      {u"MAIN.PB", u"pb", false},    {u"main.pbi", u"pb", false},  {u"main.pbx", u"pb", false},
      {u"main.pb.bak", u"pb", false}, {u"inc.pbi", u"pbi", true},  {u"inc.pb", u"pbi", false},
      {u"xpb", u"pb", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchesExtension(c.name, c.extension), c.matches) << test::U8(c.name);
  }
}

TEST(CollectFiles, IncludeFilesFirstOnlyPlainFilesDirectlyInTheFolder) {
  TempDir dir;
  for (const char* name : {"b.pb", "a.pbi", "c.PB", "d.pbx", "e.pb.bak", ".pb"}) {
    WriteBytes(dir.File(name), "x");
  }
  std::filesystem::create_directory(dir.File("x.pb"));
  WriteBytes(dir.File("x.pb") + kSep + "inner.pb", "x");
#ifndef _WIN32
  ASSERT_EQ(::mkfifo(dir.File("pipe.pb").c_str(), 0600), 0);       // would block a reader
  std::filesystem::create_symlink(dir.File("b.pb"), dir.File("link.pb"));
  std::filesystem::create_symlink(dir.File("gone"), dir.File("broken.pb"));
#endif

  const std::string folder = dir.path();
  const auto files = CollectProjectFiles(P(folder));
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front(), P(folder + kSep + "a.pbi"));
  std::vector<std::u16string> sources(files.begin() + 1, files.end());
  std::sort(sources.begin(), sources.end());  // the listing order is the system's
  std::vector<std::u16string> expected = {P(folder + kSep + ".pb"), P(folder + kSep + "b.pb")};
#ifndef _WIN32
  expected.push_back(P(folder + kSep + "link.pb"));
#endif
  EXPECT_EQ(sources, expected);

  // With or without a trailing separator: exactly one between folder and name.
  EXPECT_EQ(CollectProjectFiles(P(folder + kSep)), files);
}

TEST(CollectFiles, KeepsListingOrderWithinEachGroup) {
  TempDir dir;
  for (const char* name : {"p1.pbi", "s1.pb", "p2.pbi", "s2.pb", "s3.pb"}) {
    WriteBytes(dir.File(name), "x");
  }
  std::vector<fs::FolderEntry> listing;
  ASSERT_FALSE(fs::ListFolder(P(dir.path()), listing));
  std::vector<std::u16string> expected;
  for (const char16_t* ext : {u"pbi", u"pb"}) {
    for (const fs::FolderEntry& entry : listing) {
      if (MatchesExtension(entry.name, ext)) expected.push_back(P(dir.path() + kSep) + entry.name);
    }
  }
  EXPECT_EQ(CollectProjectFiles(P(dir.path())), expected);
  EXPECT_EQ(expected.size(), 5u);
}

TEST(CollectFiles, MissingFolderAndOddNamesAreHandled) {
  TempDir dir;
  EXPECT_TRUE(CollectProjectFiles(P(dir.File("missing"))).empty());
  EXPECT_TRUE(CollectProjectFiles(P(dir.path())).empty());
#ifndef _WIN32
  // A name that is not UTF-8 can still be read back through its collected path.
  WriteBytes(dir.File("caf\xE9.pb"), "; x");
  const auto files = CollectProjectFiles(P(dir.path()));
  ASSERT_EQ(files.size(), 1u);
  SourceLines lines;
  EXPECT_FALSE(ReadSourceFile(files[0], lines));
  ASSERT_EQ(lines.size(), 1u);
#endif
}

TEST(ReadSourceFile, ReportsTheSystemError) {
  TempDir dir;
  SourceLines lines;
  EXPECT_EQ(ReadSourceFile(P(dir.File("missing.pb")), lines), fs::SystemError(ENOENT));
  EXPECT_TRUE(ReadSourceFile(P(dir.path()), lines));
  EXPECT_FALSE(fs::ErrorText(fs::SystemError(ENOENT)).empty());
  EXPECT_TRUE(fs::ErrorText(std::error_code()).empty());
  // The program's own errors, in its own words.
  EXPECT_EQ(fs::ErrorText(fs::FileError::TooLarge), u"The file is too large to read into memory.");
}

TEST(WriteFileAtomically, ReplacesWholeAndLeavesNoTemporaryFile) {
  TempDir dir;
  const std::string target = dir.File("out.pb");
  ASSERT_FALSE(fs::WriteFileAtomically(P(target), "new"));
  EXPECT_EQ(ReadBytes(target), "new");

  WriteBytes(target, "old content");
#ifndef _WIN32
  ::chmod(target.c_str(), 0640);
#endif
  ASSERT_FALSE(fs::WriteFileAtomically(P(target), "replaced"));
  EXPECT_EQ(ReadBytes(target), "replaced");
#ifndef _WIN32
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);  // the owner's permission bits stay
#endif

  std::vector<fs::FolderEntry> entries;
  fs::ListFolder(P(dir.path()), entries);
  EXPECT_EQ(entries.size(), 1u);
}

TEST(WriteFileAtomically, AFailureLeavesTheOldFileAsItWas) {
  TempDir dir;
  const std::string target = dir.File("out.pb");
  WriteBytes(target, "precious");
  // The producer gives up half-way: nothing changes.
  const std::error_code error = fs::WriteFileAtomically(P(target), [](const ByteSink& sink) {
    sink("half of it");
    return false;
  });
  EXPECT_TRUE(error);
  EXPECT_EQ(ReadBytes(target), "precious");
  std::vector<fs::FolderEntry> entries;
  fs::ListFolder(P(dir.path()), entries);
  EXPECT_EQ(entries.size(), 1u) << "the temporary file was not removed";

  // A folder that does not exist, and a target that is a folder.
  EXPECT_EQ(fs::WriteFileAtomically(P(dir.File("no") + kSep + "such.pb"), "x"), kNoSuchFolder);
  EXPECT_EQ(fs::WriteFileAtomically(P(dir.path()), "x"), kIsAFolder);
}

#ifndef _WIN32
TEST(WriteFileAtomically, ALinkStaysALink) {
  TempDir dir;
  WriteBytes(dir.File("real.pb"), "old");
  std::filesystem::create_symlink("real.pb", dir.File("link.pb"));
  ASSERT_FALSE(fs::WriteFileAtomically(P(dir.File("link.pb")), "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.pb")));
  EXPECT_EQ(ReadBytes(dir.File("real.pb")), "new");
}

#endif

TEST(WriteFileAtomically, ReadOnlyTargetsAreNotReplaced) {
  TempDir dir;
  const std::string target = dir.File("ro.pb");
  WriteBytes(target, "keep");
  std::filesystem::permissions(target, std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_write |
                                           std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  EXPECT_EQ(fs::WriteFileAtomically(P(target), "x"), kReadOnly);
  EXPECT_EQ(ReadBytes(target), "keep");
  std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

TEST(WriteOutputFile, WritesTheEncodedLines) {
  TempDir dir;
  const SourceLines lines = SourceLines::FromBytes("a\nb\r\n");
  ASSERT_FALSE(WriteOutputFile(P(dir.File("o.pb")), lines, {}));
  EXPECT_EQ(ReadBytes(dir.File("o.pb")), "a\r\nb\r\n");
}

#ifndef _WIN32
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(EnsurePrivateFolder, CreatesTightensAndRefusesLinks) {
  TempDir dir;
  const std::string fresh = dir.File("fresh");
  EXPECT_FALSE(fs::EnsurePrivateFolder(P(fresh)));
  EXPECT_EQ(ModeOf(fresh), 0700u);

  const std::string open = dir.File("open");
  std::filesystem::create_directory(open);
  ::chmod(open.c_str(), 0755);
  EXPECT_FALSE(fs::EnsurePrivateFolder(P(open)));
  EXPECT_EQ(ModeOf(open), 0700u);

  const std::string link = dir.File("link");
  std::filesystem::create_directory_symlink(open, link);
  EXPECT_TRUE(fs::EnsurePrivateFolder(P(link))) << "a planted link is not followed";

  const std::string file = dir.File("file");
  WriteBytes(file, "x");
  EXPECT_TRUE(fs::EnsurePrivateFolder(P(file)));
  EXPECT_TRUE(fs::EnsurePrivateFolder(u""));
}

TEST(WritePrivateFile, OnlyTheUserMayReadItAndLinksAreNotFollowed) {
  TempDir dir;
  const std::string scratch = dir.File("btex");
  ASSERT_FALSE(fs::WritePrivateFile(P(scratch), "first, and longer"));
  EXPECT_EQ(ModeOf(scratch), 0600u);
  ASSERT_FALSE(fs::WritePrivateFile(P(scratch), "second"));
  EXPECT_EQ(ReadBytes(scratch), "second");

  ::chmod(scratch.c_str(), 0644);
  ASSERT_FALSE(fs::WritePrivateFile(P(scratch), "third"));
  EXPECT_EQ(ModeOf(scratch), 0600u);

  // A link planted under the name does not redirect the write.
  const std::string victim = dir.File("victim");
  WriteBytes(victim, "keep me");
  const std::string link = dir.File("link");
  std::filesystem::create_symlink(victim, link);
  EXPECT_TRUE(fs::WritePrivateFile(P(link), "overwritten"));
  EXPECT_EQ(ReadBytes(victim), "keep me");

  // Nor does a pipe block it.
  const std::string pipe = dir.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_TRUE(fs::WritePrivateFile(P(pipe), "x"));
}

TEST(PrivateScratchFolder, FollowsXdgCacheHomeAndIgnoresRelativeValues) {
  TempDir dir;
  const char* old_cache = std::getenv("XDG_CACHE_HOME");
  const char* old_home = std::getenv("HOME");
  const std::string saved_cache = old_cache ? old_cache : "";
  const std::string saved_home = old_home ? old_home : "";

  ::setenv("XDG_CACHE_HOME", dir.File("cache").c_str(), 1);
  std::filesystem::create_directory(dir.File("cache"));
  EXPECT_EQ(fs::PrivateScratchFolder(), P(dir.File("cache") + kSep + "quillmark"));
  EXPECT_EQ(ModeOf(dir.File("cache") + kSep + "quillmark"), 0700u);

  ::setenv("XDG_CACHE_HOME", "relative/cache", 1);
  ::setenv("HOME", dir.path().c_str(), 1);
  EXPECT_EQ(fs::PrivateScratchFolder(), P(dir.path() + kSep + ".cache/quillmark"));

  if (old_cache) ::setenv("XDG_CACHE_HOME", saved_cache.c_str(), 1); else ::unsetenv("XDG_CACHE_HOME");
  if (old_home) ::setenv("HOME", saved_home.c_str(), 1); else ::unsetenv("HOME");
}

#endif  // POSIX

TEST(JoinPath, ExactlyOneSeparator) {
  const std::u16string joined = u"/d" + std::u16string(1, fs::kSeparator) + u"f.pb";
  EXPECT_EQ(fs::JoinPath(u"/d", u"f.pb"), joined);
  EXPECT_EQ(fs::JoinPath(u"/d/", u"f.pb"), u"/d/f.pb") << "an existing separator is kept";
  EXPECT_EQ(fs::JoinPath(u"", u"f.pb"), u"f.pb");
}

}  // namespace
}  // namespace qm
