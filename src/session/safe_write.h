#pragma once
// Replacing a text file without ever leaving it half written. The new content
// goes to a temporary file in the same directory; only when every write, the
// flush and the close have succeeded is it renamed over the old file, so a
// failure (full disk, lost device) keeps the previous version intact.
#include <cstdio>
#include <string>

namespace kalios {

class AtomicTextFile {
 public:
  explicit AtomicTextFile(std::string path);
  ~AtomicTextFile();  // an unfinished temporary file is removed
  AtomicTextFile(const AtomicTextFile&) = delete;
  AtomicTextFile& operator=(const AtomicTextFile&) = delete;

  // Creates the temporary file; false when it cannot be created.
  bool Open();
  // Each write is checked: a failure discards the temporary file and aborts
  // with the write-failed code (3).
  void Write(const std::string& text);
  void Printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  // Flushes the data to disk, closes and renames over the target; a failure
  // discards the temporary file, keeps the old one and aborts with code 3.
  void Commit();

  const std::string& path() const { return path_; }
  const std::string& temp_path() const { return temp_; }

 private:
  [[noreturn]] void Fail();
  void Discard();

  std::string path_;
  std::string temp_;
  std::FILE* fp_ = nullptr;
};

}  // namespace kalios
