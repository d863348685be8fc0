#include "functional/results_file.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "shell/abort.h"
#include "shell/cformat.h"

namespace kalios {

ResultsFile::ResultsFile(Console& con, std::string path, bool append)
    : con_(con), path_(std::move(path)), append_(append), file_(path_) {}

void ResultsFile::OpenFailed() {
  Print(con_.err, "\ncan't open %s \n", path_.c_str());
  Abort(kAbortOpenFailed);
}

void ResultsFile::Open() {
  struct stat info{};
  const bool existed = stat(path_.c_str(), &info) == 0;
  if (existed && !S_ISREG(info.st_mode)) OpenFailed();
  // The target must be writable where it stands: opening it to append
  // changes nothing in an existing file; a file created only for the check
  // is removed again.
  std::FILE* probe = std::fopen(path_.c_str(), "a");
  if (probe == nullptr) OpenFailed();
  std::fclose(probe);
  if (!existed) std::remove(path_.c_str());
  if (!file_.Open()) OpenFailed();
  if (append_ && existed) {
    std::ifstream old(path_, std::ios::binary);
    if (!old) OpenFailed();
    std::string content((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
    if (old.bad()) OpenFailed();
    file_.Write(content);
  }
}

void ResultsFile::Flush() {
  file_.Write(buffer_.str());
  buffer_.str(std::string());
}

void ResultsFile::Commit() {
  Flush();
  file_.Commit();
}

}  // namespace kalios
