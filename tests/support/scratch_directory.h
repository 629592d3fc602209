// Scratch directories and file helpers for the tests. Paths are UTF-8 text.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The path that UTF-8 text names, on every build.
std::filesystem::path PathOf(const std::string& text);

// A fresh directory under the system's temporary directory, removed with its contents when it goes.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& nameHint = "kestrup");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;
    // Writes bytes to the file name inside the directory; returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string path_;
};

bool FileExists(const std::string& path);
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
// Makes a directory (and its parents); returns its path.
std::string MakeDirectory(const std::string& path);
void CopyFileTo(const std::string& from, const std::string& to);
// The names in a directory, sorted.
std::vector<std::string> NamesIn(const std::string& path);
// The same names, one a line.
std::string ListDirectory(const std::string& path);
// Sets path's last-write time seconds back (negative: ahead); an hour back frees a client init document.
bool SetWrittenAgo(const std::string& path, int seconds = 3600);
