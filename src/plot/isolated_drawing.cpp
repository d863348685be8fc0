#include "plot/isolated_drawing.h"

#include <fcntl.h>
#include <plplot.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kalios {
namespace {

std::string SystemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The library's first line of complaint, without its decoration.
std::string FirstMessage(const std::string& text) {
  std::size_t start = text.find_first_not_of("\n *");
  if (start == std::string::npos) return "";
  std::size_t end = text.find('\n', start);
  std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
  return line;
}

[[noreturn]] void DrawInChild(const char* temp, int width, int height, const std::function<void()>& draw,
                              int errFd) {
  // Nothing of the library may reach the dialogue: its input is empty, its
  // output goes nowhere, its complaints go to the parent.
  const int null = open("/dev/null", O_RDWR);
  if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(null, STDOUT_FILENO) < 0 || dup2(errFd, STDERR_FILENO) < 0)
    _exit(2);
  plsdev("svg");
  plsfnam(temp);
  char geometry[64];
  std::snprintf(geometry, sizeof geometry, "%dx%d", width, height);
  plsetopt("geometry", geometry);
  plscolbg(255, 255, 255);
  plscol0(1, 0, 0, 0);        // axes and text
  plscol0(2, 200, 30, 30);    // observed values
  plscol0(3, 30, 70, 190);    // limits and bands
  plscol0(4, 190, 190, 190);  // bars
  plscol0(5, 90, 90, 90);     // outlines
  plinit();
  draw();
  plend();
  struct stat info{};
  _exit(stat(temp, &info) == 0 && info.st_size > 0 ? 0 : 3);
}

}  // namespace

std::string DrawIsolated(const std::string& path, int width, int height, const std::function<void()>& draw) {
  std::string temp = path + ".tmpXXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) return SystemError("cannot create a file there");
  // mkstemp makes the file private; a figure gets the usual mode of a new file.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  temp.assign(name.data());

  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    std::remove(temp.c_str());
    return SystemError("cannot start the drawing");
  }
  // What the program has printed must not be printed twice by the child.
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::remove(temp.c_str());
    return SystemError("cannot start the drawing");
  }
  if (pid == 0) {
    close(pipeFds[0]);
    DrawInChild(temp.c_str(), width, height, draw, pipeFds[1]);
  }
  close(pipeFds[1]);
  std::string complaints;
  char buf[512];
  for (;;) {
    const ssize_t got = read(pipeFds[0], buf, sizeof buf);
    if (got > 0) {
      if (complaints.size() < 4096) complaints.append(buf, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::remove(temp.c_str());
    const std::string why = FirstMessage(complaints);
    return why.empty() ? "the plotting library failed" : why;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string why = SystemError("cannot put the file in place");
    std::remove(temp.c_str());
    return why;
  }
  return "";
}

}  // namespace kalios
