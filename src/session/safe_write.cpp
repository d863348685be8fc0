#include "session/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <vector>

#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {

AtomicTextFile::AtomicTextFile(std::string path) : path_(std::move(path)) {}

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
}

void AtomicTextFile::Fail() {
  Discard();
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

}  // namespace kalios
