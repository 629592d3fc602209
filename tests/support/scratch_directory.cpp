#include "scratch_directory.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include "platform.h"

namespace fs = std::filesystem;

// Paths travel as UTF-8, as the programs receive them; on Windows a narrow path is read as ANSI.
fs::path PathOf(const std::string& text) { return fs::u8path(text); }

ScratchDirectory::ScratchDirectory(const std::string& nameHint) {
    static int created = 0;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / (nameHint + "-" + std::to_string(std::random_device()()) + "-" +
                                     std::to_string(++created));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.u8string();
            return;
        }
        if (error) throw fs::filesystem_error("cannot make a scratch directory", candidate, error);
    }
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(PathOf(path_), ignored);
}

std::string ScratchDirectory::File(const std::string& name) const { return path_ + PathSeparator() + name; }

std::string ScratchDirectory::Write(const std::string& name, const std::string& bytes) const {
    WriteFileBytes(File(name), bytes);
    return File(name);
}

bool FileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(PathOf(path), ignored);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string MakeDirectory(const std::string& path) {
    fs::create_directories(PathOf(path));
    return path;
}

void CopyFileTo(const std::string& from, const std::string& to) {
    fs::copy_file(PathOf(from), PathOf(to), fs::copy_options::overwrite_existing);
}

std::vector<std::string> NamesIn(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(PathOf(path))) {
        names.push_back(entry.path().filename().u8string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ListDirectory(const std::string& path) {
    std::string listing;
    for (const auto& name : NamesIn(path)) listing += name + "\n";
    return listing;
}

// The name itself, a link's own time included: a run reads the time of the name.
bool SetWrittenAgo(const std::string& path, int seconds) {
#ifdef _WIN32
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
    time.QuadPart -= static_cast<ULONGLONG>(seconds) * 10000000;
    const FILETIME then{time.LowPart, time.HighPart};
    const bool set = SetFileTime(file, nullptr, nullptr, &then) != 0;
    CloseHandle(file);
    return set;
#else
    const timespec times[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - seconds, 0}};
    return utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
#endif
}
