// Scratch program directories and file helpers for the end-to-end tests.
#pragma once

#include <string>

// A fresh, empty directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& nameHint = "kestrup");
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& Path() const { return path_; }
    // The path of name inside the directory.
    std::string File(const std::string& name) const;

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
std::string ListDirectory(const std::string& path);
