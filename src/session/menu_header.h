#pragma once
// A menu header (title, session name, rule line) belongs to the shell, which
// knows the session name and the progress line; the session's dialogues are
// handed the routine that prints it.
#include <functional>
#include <string>

namespace kalios {

using MenuHeader = std::function<void(const std::string& title)>;

}  // namespace kalios
