#pragma once
// The results file of an analysis, put in place only when the analysis has
// completed. Sections are written to a temporary file next to the target as
// they are produced; Commit renames it over the target. In append mode the
// temporary file starts with a copy of the previous results, so an abort or
// a kill halfway never leaves a torn section behind, and a replaced file is
// never lost before its successor is complete.
#include <sstream>
#include <string>

#include "session/safe_write.h"
#include "shell/console.h"

namespace kalios {

class ResultsFile {
 public:
  ResultsFile(Console& con, std::string path, bool append);
  // Checks that the target can be written and creates the temporary file;
  // prints "\ncan't open %s \n" and aborts with the open-failed code when
  // either fails.
  void Open();
  // Where the sections go; Flush moves what they wrote to the temporary file.
  std::ostream& stream() { return buffer_; }
  void Flush();
  // Flushes and puts the file in place (aborts with the write-failed code on
  // a failure, keeping the previous file).
  void Commit();

 private:
  [[noreturn]] void OpenFailed();
  Console& con_;
  std::string path_;
  bool append_;
  AtomicTextFile file_;
  std::ostringstream buffer_;
};

}  // namespace kalios
