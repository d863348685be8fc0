#include "session/safe_write.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

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

}  // namespace
}  // namespace kalios
