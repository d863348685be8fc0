#include "shell/console.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace kalios {

TextIn::TextIn(std::istream& is, std::string name) : is_(&is), name_(std::move(name)) {}

TextIn::TextIn(std::unique_ptr<std::ifstream> owned, std::string name)
    : owned_(std::move(owned)), is_(owned_.get()), name_(std::move(name)) {}

std::unique_ptr<TextIn> TextIn::OpenFile(const std::string& path) {
  auto f = std::make_unique<std::ifstream>(path, std::ios::in | std::ios::binary);
  if (!f->is_open()) return nullptr;
  return std::unique_ptr<TextIn>(new TextIn(std::move(f), path));
}

int TextIn::Get() {
  if (!pushed_.empty()) {
    int c = pushed_.back();
    pushed_.pop_back();
    return c;
  }
  if (closed_ || is_ == nullptr) return kEof;
  int c = is_->get();
  if (c == std::char_traits<char>::eof()) return kEof;
  return static_cast<unsigned char>(c);
}

void TextIn::Unget(int c) {
  if (c != kEof) pushed_.push_back(c);
}

int TextIn::Peek() {
  int c = Get();
  Unget(c);
  return c;
}

void TextIn::Close() {
  closed_ = true;
  pushed_.clear();
  if (owned_) owned_->close();
}

void TextIn::SkipSpace() {
  int c;
  while ((c = Get()) != kEof && std::isspace(c)) {
  }
  Unget(c);
}

// Skips white space and takes an optional sign into s; returns the character
// after it, or kEof when input ended before any character.
int TextIn::BeginNumber(std::string& s) {
  SkipSpace();
  int c = Get();
  if (c == kEof) return kEof;
  if (c == '+' || c == '-') {
    s.push_back(static_cast<char>(c));
    c = Get();
  }
  return c;
}

// Appends the run of digits that starts with c; c ends as the first non-digit.
int TextIn::TakeDigits(int& c, std::string& s) {
  int digits = 0;
  while (c != kEof && std::isdigit(c)) {
    s.push_back(static_cast<char>(c));
    ++digits;
    c = Get();
  }
  return digits;
}

int TextIn::ScanDouble(double& x) {
  std::string s;
  int c = BeginNumber(s);
  if (c == kEof && s.empty()) return kEof;
  int digits = TakeDigits(c, s);
  if (c == '.') {
    s.push_back('.');
    c = Get();
    digits += TakeDigits(c, s);
  }
  if (digits == 0) {
    // Like fscanf, the sign or point already taken is lost; the character that
    // did not fit stays in the input.
    Unget(c);
    return 0;
  }
  if (c == 'e' || c == 'E') {
    std::string e(1, static_cast<char>(c));
    int c2 = Get();
    if (c2 == '+' || c2 == '-') {
      e.push_back(static_cast<char>(c2));
      c2 = Get();
    }
    if (TakeDigits(c2, e) > 0) {
      s += e;
      c = c2;
    } else {
      // An exponent mark without digits: keep the mantissa and leave the mark
      // and its sign in the input.
      Unget(c2);
      if (e.size() == 2) Unget(static_cast<unsigned char>(e[1]));
    }
  }
  Unget(c);
  x = std::strtod(s.c_str(), nullptr);
  return 1;
}

int TextIn::ScanInt(int& x) {
  std::string s;
  int c = BeginNumber(s);
  if (c == kEof && s.empty()) return kEof;
  int digits = TakeDigits(c, s);
  Unget(c);
  if (digits == 0) return 0;
  // Values beyond the range of int are held at its bounds instead of wrapping.
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  x = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
  return 1;
}

int TextIn::ScanWord(std::string& w) {
  SkipSpace();
  int c = Get();
  if (c == kEof) return kEof;
  w.clear();
  while (c != kEof && !std::isspace(c)) {
    w.push_back(static_cast<char>(c));
    c = Get();
  }
  Unget(c);
  return 1;
}

}  // namespace kalios
