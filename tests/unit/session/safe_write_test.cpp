#include "session/safe_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "support/scripted.h"
#include "support/tempdir.h"
#include "shell/abort.h"

namespace kalios {
namespace {

using testing::ReadAll;
using testing::TempDir;
using testing::WriteAll;

int CommitCode(AtomicTextFile& f, const std::string& text) {
  return test::AbortCodeOf([&] {
    f.Write(text);
    f.Commit();
  });
}

size_t FilesIn(const std::string& dir) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
  return n;
}

TEST(AtomicTextFile, ReplacesTheFileOnlyWhenCommitted) {
  TempDir dir;
  WriteAll(dir / "a.txt", "old content\n");
  {
    AtomicTextFile f(dir / "a.txt");
    ASSERT_TRUE(f.Open());
    f.Printf("%d %s\n", 7, "new");
    // Until the commit the old file is untouched.
    EXPECT_EQ(ReadAll(dir / "a.txt"), "old content\n");
    f.Commit();
  }
  EXPECT_EQ(ReadAll(dir / "a.txt"), "7 new\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
  // An abandoned write leaves no trace.
  WriteAll(dir / "a.txt", "old\n");
  {
    AtomicTextFile f(dir / "a.txt");
    ASSERT_TRUE(f.Open());
    f.Write("partial");
  }
  EXPECT_EQ(ReadAll(dir / "a.txt"), "old\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(AtomicTextFile, FailedWriteKeepsTheOldFile) {
  TempDir dir;
  WriteAll(dir / "a.txt", "old\n");
  // Limit the size of files this process may write, so the data cannot all go out.
  struct rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int code;
  {
    AtomicTextFile f(dir / "a.txt");
    ASSERT_TRUE(f.Open());
    code = CommitCode(f, std::string(100000, 'x'));
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(code, kAbortWriteFailed);
  EXPECT_EQ(ReadAll(dir / "a.txt"), "old\n");
  EXPECT_EQ(FilesIn(dir.path()), 1u);
}

TEST(AtomicTextFile, FailedRenameAbortsAndCleansUpUncreatableIsReported) {
  TempDir dir;
  std::filesystem::create_directories(dir / "a.txt/inside");
  AtomicTextFile f(dir / "a.txt");
  ASSERT_TRUE(f.Open());
  EXPECT_EQ(CommitCode(f, "x\n"), kAbortWriteFailed);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "a.txt"));
  EXPECT_EQ(FilesIn(dir.path()), 1u);
  AtomicTextFile g(dir / "missing/a.txt");
  EXPECT_FALSE(g.Open());
}


TEST(AtomicTextFile, LeftoversOfAKilledRunGoWithTheNextWrite) {
  TempDir dir;
  const std::string target = dir / "meadowPrinda.txt";
  WriteAll(target + ".tmpAb12Cd", "half a section");
  WriteAll(target + ".tmpXYZ", "not the program's pattern");
  WriteAll(dir / "otherPrinda.txt.tmpAb12Cd", "another file's");
  std::filesystem::create_directory(target + ".tmpDir123");
  AtomicTextFile f(target);
  ASSERT_TRUE(f.Open());
  EXPECT_EQ(CommitCode(f, "results\n"), 0);
  EXPECT_EQ(ReadAll(target), "results\n");
  EXPECT_FALSE(std::filesystem::exists(target + ".tmpAb12Cd"));
  EXPECT_TRUE(std::filesystem::exists(target + ".tmpXYZ"));
  EXPECT_TRUE(std::filesystem::exists(dir / "otherPrinda.txt.tmpAb12Cd"));
  EXPECT_TRUE(std::filesystem::exists(target + ".tmpDir123"));
}

TEST(AtomicTextFile, AFailedWriteNamesTheFile) {
  TempDir dir;
  const std::string target = dir / "sub";
  std::filesystem::create_directory(target);  // a directory cannot be replaced by a file
  std::ostringstream report;
  AtomicTextFile f(target, report);
  ASSERT_TRUE(f.Open());
  EXPECT_EQ(CommitCode(f, "x"), kAbortWriteFailed);
  EXPECT_EQ(report.str(), "\nfile " + target + " ");
}

TEST(CanReplace, OnlyRegularWritableFilesInAWritableDirectory) {
  TempDir dir;
  std::string why;
  EXPECT_TRUE(CanReplace(dir / "absent.txt", why));
  WriteAll(dir / "f.txt", "x");
  EXPECT_TRUE(CanReplace(dir / "f.txt", why));
  std::filesystem::create_directory(dir / "d.txt");
  EXPECT_FALSE(CanReplace(dir / "d.txt", why));
  EXPECT_EQ(why, "is not a regular file");
  EXPECT_FALSE(CanReplace(dir / "no/such/dir/f.txt", why));
  if (geteuid() != 0) {  // permissions do not bind the superuser
    std::filesystem::permissions(dir / "f.txt", std::filesystem::perms::owner_read);
    EXPECT_FALSE(CanReplace(dir / "f.txt", why));
    EXPECT_EQ(why, "is write-protected");
  }
}

}  // namespace
}  // namespace kalios
