#pragma once
// Runs a PLplot drawing in a child process and puts its SVG file in place.
#include <functional>
#include <string>

namespace kalios {

// Starts an SVG stream of width x height pixels on a temporary file beside
// `path` in a child process, calls draw, ends the stream, and renames the
// file over `path` when the child succeeded. Returns an empty text on success,
// otherwise the reason (the library's own message when it gave one).
std::string DrawIsolated(const std::string& path, int width, int height, const std::function<void()>& draw);

}  // namespace kalios
