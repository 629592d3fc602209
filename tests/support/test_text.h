// Texts tests build their inputs and expectations from, and the one question about the build.
#pragma once

#include <string>

// Whether this is the Windows build (under Wine); where the builds differ, tests ask this alone.
bool WindowsBuild();

std::string Repeated(const std::string& text, int count);

// count attributes, each named for its place from `first` on: " a<first>='1' a<first+1>='1'" ...
std::string Attributes(int count, int first = 0);

// The line end of a file written in text mode here: what the programs' text files and streams carry.
const std::string& TextModeLineEnd();

// text with each '\n' written as the platform's text line end.
std::string WithLineEnds(const std::string& text);

// text without its '\r's: a text file's lines ending in "\n" on every platform.
std::string WithoutCarriageReturns(const std::string& text);

// How many times what occurs in text, overlaps counted.
size_t Occurrences(const std::string& text, const std::string& what);

// text with every from replaced by to, the replacements not searched again.
std::string ReplaceAll(std::string text, const std::string& from, const std::string& to);
