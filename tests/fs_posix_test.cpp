// The atomic write on POSIX under hostile conditions: read-only targets and
// other users' links (checked as root too, where access() says yes to
// everything), the mode of the temporary file while it is written, the
// target's owner, set-id bits and extended attributes, edits made since the
// read, long names and the files killed writes leave behind.
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "text/encoding.h"
#include "pipeline/files.h"
#include "platform/fs.h"
#include "tests/test_support.h"

namespace qm {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

constexpr uid_t kOtherUser = 65534;  // "nobody" on Debian

std::u16string P(const std::string& path) { return DecodeFileName(path); }

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> TemporariesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(".qm-")) names.push_back(name);
  }
  return names;
}

void SetModifiedHoursAgo(const std::string& path, int hours) {
  struct timeval times[2] = {};
  times[0].tv_sec = times[1].tv_sec = ::time(nullptr) - hours * 3600;
  ASSERT_EQ(::lutimes(path.c_str(), times), 0);
}

TEST(AtomicWrite, AFileWithoutWriteBitsIsNotReplacedEvenByRoot) {
  TempDir dir;
  const std::string target = dir.File("ro.pb");
  for (const mode_t mode : {0444, 0400, 0555}) {
    WriteBytes(target, "keep");
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    std::u16string reason;
    EXPECT_EQ(fs::WriteFileAtomically(P(target), [](const ByteSink& sink) { return sink("x"); },
                                      nullptr, &reason),
              fs::FileError::ReadOnly)
        << std::oct << mode;
    EXPECT_EQ(ReadBytes(target), "keep");
    EXPECT_NE(reason.find(u"read-only"), std::u16string::npos);
    EXPECT_EQ(ModeOf(target), mode);
    ::chmod(target.c_str(), 0644);
  }
  EXPECT_TRUE(TemporariesIn(dir.path()).empty());
}

TEST(AtomicWrite, AnotherUsersLinkIsNotFollowed) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  TempDir dir;
  const std::string secret = dir.File("secret");
  WriteBytes(secret, "root's own");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  const std::string link = dir.File("Main.pb");
  std::filesystem::create_symlink(secret, link);
  ASSERT_EQ(::lchown(link.c_str(), kOtherUser, kOtherUser), 0);

  std::u16string reason;
  EXPECT_EQ(fs::WriteFileAtomically(P(link), [](const ByteSink& sink) { return sink("x"); },
                                    nullptr, &reason),
            fs::FileError::ForeignLink);
  EXPECT_EQ(ReadBytes(secret), "root's own");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  // The reason names the link and its owner.
  EXPECT_NE(reason.find(P(link)), std::u16string::npos) << test::U8(reason);
  EXPECT_NE(reason.find(u"uid 65534"), std::u16string::npos) << test::U8(reason);

  // The same link owned by the user running the program is followed.
  ASSERT_EQ(::lchown(link.c_str(), ::geteuid(), ::getegid()), 0);
  EXPECT_FALSE(fs::WriteFileAtomically(P(link), "new"));
  EXPECT_EQ(ReadBytes(secret), "new");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
}

TEST(AtomicWrite, TheTemporaryFileIsPrivateFromItsCreation) {
  TempDir dir;
  const std::string target = dir.File(std::string(250, 'n') + ".pb");  // near the name limit
  WriteBytes(target, "old");
  ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
  std::vector<std::string> seen;
  mode_t mode_while_written = 0;
  const std::error_code error = fs::WriteFileAtomically(P(target), [&](const ByteSink& sink) {
    // The file as it stands while the content is written.
    seen = TemporariesIn(dir.path());
    if (seen.size() == 1) mode_while_written = ModeOf(dir.File(seen[0]));
    return sink("new");
  });
  ASSERT_FALSE(error) << error.message();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].size(), fs::kTemporaryNameLength);
  EXPECT_EQ(mode_while_written, 0600u);
  EXPECT_EQ(ModeOf(target), 0644u) << "the target's mode once it is in place";
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_TRUE(TemporariesIn(dir.path()).empty());

  // A new file gets the usual mode for new files, not the private one.
  const std::string fresh = dir.File("fresh.pb");
  ASSERT_FALSE(fs::WriteFileAtomically(P(fresh), "x"));
  const mode_t mask = ::umask(022);
  ::umask(mask);
  EXPECT_EQ(ModeOf(fresh), 0666u & ~mask);
}

TEST(AtomicWrite, OwnerSetIdBitsAndExtendedAttributesAreKept) {
  TempDir dir;
  const std::string target = dir.File("tool.pb");
  WriteBytes(target, "old");
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(target.c_str(), kOtherUser, kOtherUser), 0);
  }
  const mode_t mode = root ? 06754 : 04754;  // setgid needs the group, which root has
  ASSERT_EQ(::chmod(target.c_str(), mode), 0);

  const char user_value[] = "kept";
  const bool user_xattr = ::setxattr(target.c_str(), "user.quillmark", user_value, 4, 0) == 0;
  // An ACL granting one more user read access: version 2, then entries of
  // tag, permissions and id, in tag order.
  struct Entry {
    std::uint16_t tag, perm;
    std::uint32_t id;
  };
  const std::uint32_t version = 2;
  const Entry entries[] = {{0x01, 7, 0xFFFFFFFF}, {0x02, 4, 4242}, {0x04, 5, 0xFFFFFFFF},
                           {0x10, 5, 0xFFFFFFFF}, {0x20, 4, 0xFFFFFFFF}};
  std::string acl(reinterpret_cast<const char*>(&version), sizeof version);
  acl.append(reinterpret_cast<const char*>(entries), sizeof entries);
  const bool has_acl =
      ::setxattr(target.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  // Setting an ACL sets the group bits from its mask; take the mode as it is now.
  const mode_t before = ModeOf(target);

  ASSERT_FALSE(fs::WriteFileAtomically(P(target), "new"));
  EXPECT_EQ(ReadBytes(target), "new");
  EXPECT_EQ(ModeOf(target), before) << std::oct << ModeOf(target) << " vs " << before;
  if (root) {
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, kOtherUser);
  }
  if (user_xattr) {
    char value[16] = {};
    EXPECT_EQ(::getxattr(target.c_str(), "user.quillmark", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
  } else {
    std::printf("note: user.* extended attributes are not supported here (%s)\n",
                std::strerror(errno));
  }
  if (has_acl) {
    std::string got(64, '\0');
    const ssize_t n =
        ::getxattr(target.c_str(), "system.posix_acl_access", got.data(), got.size());
    ASSERT_GT(n, 0);
    got.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(got, acl);
  } else {
    std::printf("note: POSIX ACLs are not supported here\n");
  }
}

TEST(AtomicWrite, AnEditMadeSinceTheReadIsNotOverwritten) {
  TempDir dir;
  const std::string source = dir.File("Main.pb");
  WriteBytes(source, "; one\r\n");
  SourceLines lines;
  fs::FileStamp stamp;
  ASSERT_FALSE(ReadSourceFile(P(source), lines, &stamp));
  lines.Extract();
  EXPECT_TRUE(stamp.valid());

  // Unchanged: written.
  ASSERT_FALSE(WriteOutputFile(P(source), lines, SplitTranslatedText("eins"), nullptr, &stamp));
  EXPECT_EQ(ReadBytes(source), "; eins\r\n");
  ASSERT_FALSE(ReadSourceFile(P(source), lines, &stamp));
  lines.Extract();

  // Edited since (same size, later time; then another size): refused.
  struct Edit {
    const char* content;
    int hours_ago;
  };
  for (const Edit edit : {Edit{"; EINS\r\n", -1}, Edit{"; eins, edited\r\n", 0}}) {
    WriteBytes(source, edit.content);
    if (edit.hours_ago != 0) SetModifiedHoursAgo(source, edit.hours_ago);
    std::u16string reason;
    EXPECT_EQ(WriteOutputFile(P(source), lines, SplitTranslatedText("zwei"), nullptr, &stamp,
                              &reason),
              fs::FileError::ChangedOnDisk);
    EXPECT_EQ(ReadBytes(source), edit.content);
    EXPECT_NE(reason.find(u"changed on disk"), std::u16string::npos);
  }
  // Another file is not compared with the stamp.
  EXPECT_FALSE(WriteOutputFile(P(dir.File("copy.pb")), lines, SplitTranslatedText("zwei"), nullptr,
                               &stamp));
}

TEST(AtomicWrite, StaleTemporaryFilesOfThisUserAreRemoved) {
  TempDir dir;
  struct Leftover {
    const char* name;
    int hours_ago;
    bool other_user;
    bool removed;
  };
  const bool root = ::geteuid() == 0;
  const Leftover leftovers[] = {
      {".qm-aB3xY9", 2, false, true},   // a killed write, long ago
      {".qm-Fresh1", 0, false, false},  // perhaps another write in progress
      {".qm-other1", 2, true, false},   // not ours to remove
      {".qm-toolong1", 2, false, false},
      {"notes.qm-abcdef", 2, false, false},
  };
  for (const Leftover& l : leftovers) {
    if (l.other_user && !root) continue;
    WriteBytes(dir.File(l.name), "partial");
    if (l.other_user) {
      ASSERT_EQ(::chown(dir.File(l.name).c_str(), kOtherUser, kOtherUser), 0);
    }
    SetModifiedHoursAgo(dir.File(l.name), l.hours_ago);
  }
  ASSERT_FALSE(fs::WriteFileAtomically(P(dir.File("Main.pb")), "x"));
  for (const Leftover& l : leftovers) {
    if (l.other_user && !root) continue;
    EXPECT_EQ(std::filesystem::exists(dir.File(l.name)), !l.removed) << l.name;
  }
}

TEST(AtomicWrite, AUtf16SourceComesOutAsUtf8WithTheMark) {
  TempDir dir;
  const std::u16string text = u"\uFEFF; Gr\u00F6\u00DFe\r\nx$ = \"Hallo Welt\"\r\n";
  const std::string le = test::Utf16Bytes(text, false), be = test::Utf16Bytes(text, true);
  for (const std::string& bytes : {le, be}) {
    WriteBytes(dir.File("in.pb"), bytes);
    SourceLines lines;
    ASSERT_FALSE(ReadSourceFile(P(dir.File("in.pb")), lines));
    lines.Extract();
    EXPECT_EQ(BuildExchangeText(lines), " Gr\xC3\xB6\xC3\x9F" "e\rHallo Welt\r");
    ASSERT_FALSE(
        WriteOutputFile(P(dir.File("out.pb")), lines, SplitTranslatedText("Size\rHello world")));
    EXPECT_EQ(ReadBytes(dir.File("out.pb")),
              "\xEF\xBB\xBF; Size\r\nx$ = \"Hello world\"\r\n");
  }
}

}  // namespace
}  // namespace qm
