#pragma once
// Validated reading of answers and data items. Every answer typed at the
// console and every item read from a text file passes through here; a wrong
// answer is asked again, an unexpected end of input ends in the end-of-file
// abort.
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "shell/console.h"

namespace kalios {

// One character from the stream, lower case. `accepted` is a set such as
// "N O S A X" (blanks ignored, case ignored); empty accepts any non-blank.
int ScanChar(Console& con, TextIn& stream, const std::string& accepted);
int ReadCharIn(Console& con, const std::string& accepted);

// One number. `accepted` is empty (any number), a blank-separated list
// ("1 2 3"), or "-" for the closed range [lower, upper].
double ScanNumber(Console& con, TextIn& stream, const std::string& accepted, double lower = 0,
                  double upper = 0);
double ReadNumberIn(Console& con, const std::string& accepted, double lower = 0, double upper = 0);

// One word from the console (the "%s" item of ReadStringIn).
std::string ReadStringIn(Console& con);
// One word of at most n characters; false at end of input.
bool ScanString(Console& con, TextIn& stream, int n, std::string& word);
// A line of at most n characters from the console.
std::string ReadLineIn(Console& con, int n);

// Labels or integers entered from a file or the keyboard, confirmed by the user.
int ReadLongInput(Console& con, int n, int width, std::vector<std::string>& labels,
                  const std::string& what);
int ReadLongInput(Console& con, int n, std::vector<int>& values, const std::string& what,
                  const std::string& accepted);

// Asks for a data file name until a file that opens is given.
std::unique_ptr<TextIn> ReadDataFileName(Console& con, std::string* name = nullptr);

// Opens directory + name for reading; on failure reports it and returns null.
std::unique_ptr<TextIn> fopenck(Console& con, const std::string& name, const std::string& directory);
// Opens directory + name for writing ("w" or "a"); on failure reports it and returns null.
std::unique_ptr<std::ofstream> fopenckWrite(Console& con, const std::string& name,
                                            const std::string& directory, bool append);

// One item; a missing item or end of input aborts (code 2) naming the stream.
void freadck(Console& con, TextIn& stream, double& x);
void freadck(Console& con, TextIn& stream, float& x);
void freadck(Console& con, TextIn& stream, int& x);
void freadck(Console& con, TextIn& stream, std::string& word);
// One number, skipping characters that cannot start one; 0 at end of input.
int freadck1(Console& con, TextIn& stream, double& x);

// A line or a tab-delimited field of at most n characters; returns the
// character that ended it (kEof at end of input after some characters).
int freadlineck(Console& con, TextIn& stream, int n, std::string& buffer);
// A whole line of at most n characters, tabs turned into blanks.
int freadlineckTEMP(Console& con, TextIn& stream, int n, std::string& buffer);

// Reports the end of input on the stream and aborts with code 2.
[[noreturn]] void EndOfFileAbort(Console& con, TextIn& stream);

int StrCmp(const std::string& a, const std::string& b);
void StrToUpper(std::string& text);

}  // namespace kalios
