#pragma once
// Replacing a text file without ever leaving it half written. The new content
// goes to a temporary file in the same directory; only when every write, the
// flush and the close have succeeded is it renamed over the old file, so a
// failure (full disk, lost device) keeps the previous version intact.
#include <cstdio>
#include <ostream>
#include <string>

namespace kalios {

class AtomicTextFile {
 public:
  // A failed write is reported on `report` ("\nfile %s " with the path) before
  // the abort, so the user learns which file could not be written.
  explicit AtomicTextFile(std::string path);  // reports on standard error
  AtomicTextFile(std::string path, std::ostream& report);
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
  // Temporary files of this target left by a run that was killed halfway are
  // removed then.
  void Commit();

  const std::string& path() const { return path_; }
  const std::string& temp_path() const { return temp_; }

 private:
  [[noreturn]] void Fail();
  void Discard();

  std::string path_;
  std::string temp_;
  std::FILE* fp_ = nullptr;
  std::ostream* report_;
};

// Whether the file at `path` could be replaced: it is absent or a regular
// file the user may write, and its directory takes new files. Otherwise false
// with the reason in `why`.
bool CanReplace(const std::string& path, std::string& why);

// Removes the temporary files that writing `path` left behind when a run was
// killed: regular files named like `path` followed by ".tmp" and six letters
// or digits.
void RemoveLeftovers(const std::string& path);

}  // namespace kalios
