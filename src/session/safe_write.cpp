#include "session/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdarg>
#include <filesystem>
#include <iostream>
#include <vector>

#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {

AtomicTextFile::AtomicTextFile(std::string path) : path_(std::move(path)), report_(&std::cerr) {}

AtomicTextFile::AtomicTextFile(std::string path, std::ostream& report)
    : path_(std::move(path)), report_(&report) {}

AtomicTextFile::~AtomicTextFile() { Discard(); }

bool AtomicTextFile::Open() {
  Discard();
  std::string pattern = path_ + ".tmpXXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  temp_ = name.data();
  // mkstemp creates the file private to the user; give the new file the mode
  // of the one it replaces, or the usual mode of a newly created file.
  struct stat st{};
  mode_t mode;
  if (stat(path_.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  fp_ = fdopen(fd, "w");
  if (fp_ == nullptr) {
    close(fd);
    unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  return true;
}

void AtomicTextFile::Write(const std::string& text) {
  if (fp_ == nullptr) Fail();
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), fp_) != text.size()) Fail();
}

void AtomicTextFile::Printf(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string text = Vformat(fmt, ap);
  va_end(ap);
  Write(text);
}

void AtomicTextFile::Commit() {
  if (fp_ == nullptr) Fail();
  if (std::fflush(fp_) != 0 || std::ferror(fp_) != 0) Fail();
  if (fsync(fileno(fp_)) != 0) Fail();
  int closed = std::fclose(fp_);
  fp_ = nullptr;
  if (closed != 0) Fail();
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) Fail();
  temp_.clear();
  RemoveLeftovers(path_);
}

void AtomicTextFile::Fail() {
  Discard();
  *report_ << Format("\nfile %s ", path_.c_str());
  Abort(kAbortWriteFailed);
}

void AtomicTextFile::Discard() {
  if (fp_ != nullptr) {
    std::fclose(fp_);
    fp_ = nullptr;
  }
  if (!temp_.empty()) {
    unlink(temp_.c_str());
    temp_.clear();
  }
}

namespace {

std::string DirectoryOf(const std::string& path) {
  std::filesystem::path dir = std::filesystem::path(path).parent_path();
  return dir.empty() ? "." : dir.string();
}

}  // namespace

bool CanReplace(const std::string& path, std::string& why) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      why = "is not a regular file";
      return false;
    }
    if (access(path.c_str(), W_OK) != 0) {
      why = "is write-protected";
      return false;
    }
  }
  // The new version is written beside the old one and renamed over it.
  std::string probe = DirectoryOf(path) + "/.kalios-probeXXXXXX";
  int fd = mkstemp(probe.data());
  if (fd < 0) {
    why = "cannot be replaced: its directory takes no new files";
    return false;
  }
  close(fd);
  unlink(probe.c_str());
  return true;
}

void RemoveLeftovers(const std::string& path) {
  namespace fs = std::filesystem;
  const std::string prefix = fs::path(path).filename().string() + ".tmp";
  std::error_code ec;
  for (fs::directory_iterator it(DirectoryOf(path), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    bool pattern = true;
    for (size_t i = prefix.size(); i < name.size(); ++i)
      if (!std::isalnum(static_cast<unsigned char>(name[i]))) pattern = false;
    std::error_code ignored;
    if (pattern && it->is_regular_file(ignored)) fs::remove(it->path(), ignored);
  }
}

}  // namespace kalios
