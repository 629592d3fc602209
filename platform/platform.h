// The operating-system services the program needs, behind one small interface.
// platform_win32.cpp and platform_posix.cpp implement it; the build picks one.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// Lets the allocator reuse the site file's freed large buffers; call once, early.
void KeepLargeBlocksInHeap();

// Full path of the running program file as the system reports it, else argument
// 0 (empty if neither). Windows: in the ANSI code page where it spells the path
// exactly, else the short path if plain ASCII; else false, unspelt in UTF-8.
bool GetRunningProgramPath(const char* argumentZero, std::string& path, std::string& unspelt);

// Text to the system's log (the Application event log, source "Kestrup"; syslog).
void ReportToSystemLog(const std::string& text);
// Lets the program started next come to the front, as a click asks (Windows).
void AllowNextProgramToTheFront();
char PathSeparator();
// The local time of day in the locale's own format, for the banner; empty on failure.
std::string LocalTimeOfDayText();

// The bounding rectangle of all monitors, in pixels.
struct VirtualScreen {
    int left, top, width, height;
};
VirtualScreen GetVirtualScreen();

// A new file beside a document, to be moved over it in one step; the system removes
// it until it is kept, or where it cannot, letting the pointer go removes it by name.
struct TemporaryFile;
void DiscardTemporaryFile(TemporaryFile* file);
using TemporaryFilePointer = std::unique_ptr<TemporaryFile, decltype(&DiscardTemporaryFile)>;

// Created exclusively beside besidePath, never through a link, with stream open
// on it for text (the caller fcloses it). Null, with errorText, on failure.
TemporaryFilePointer CreateTemporaryFile(const std::string& besidePath, std::FILE*& stream,
                                         std::string& errorText);

// Gives file the access of the file at modelPath: its mode (owner where allowed), or its access list and
// attributes but read-only. accessCarried is false where a link, a device or the system's refusal stops it.
bool CarryAccess(TemporaryFile& file, const std::string& modelPath, bool& accessCarried,
                 std::string& errorText);

// kInUse: another program holds the target open, which Windows refuses to replace.
enum class MoveResult { kMoved, kInUse, kRefused };
MoveResult KeepTemporaryFile(TemporaryFile& file, const std::string& path, std::string& errorText);

// Removes temporary files beside besidePath last written before `before` that a
// killed run left: plain files of this user with one link (Windows needs none).
void RemoveStrayTemporaryFiles(const std::string& besidePath, std::time_t before);

// The last-write time of the name itself (a link's own; a directory has none), unopened.
bool GetLastWriteTime(const std::string& path, std::time_t& time);
bool TouchFile(const std::string& path);
std::size_t LongestPath();  // the longest path the system's file calls take

// An exclusive lock on a file of ours, created when absent and never removed,
// tried without waiting for about two seconds; null when not made or not taken.
struct FileLock;
void ReleaseFileLock(FileLock* lock);
using FileLockPointer = std::unique_ptr<FileLock, decltype(&ReleaseFileLock)>;
FileLockPointer LockFile(const std::string& path);

std::string LastErrorText();  // the reason for the last failed C library call (errno)

// A file that whole records are appended to, so that runs that overlap never
// interleave theirs. The pointer owns the file; null when it cannot be opened.
struct AppendFile;
struct AppendFileCloser {
    void operator()(AppendFile* file) const;
};
using AppendFilePointer = std::unique_ptr<AppendFile, AppendFileCloser>;
AppendFilePointer OpenAppendFile(const std::string& path);
// One write at the end, line ends in the platform's text form; false when refused.
bool AppendToFile(AppendFile& file, const std::string& text);

// Whether "/" marks an option beside "-" (not where absolute paths begin with it).
bool SlashMarksOptions();

// The command line that StartProgram uses, as the run log shows it.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument);
// Starts programPath with the one argument in workingDirectory, without waiting and
// without our standard handles (a caller reading our output sees its end when we
// exit). False, with the system's reason, when it could not be started.
bool StartProgram(const std::string& programPath, const std::string& argument,
                  const std::string& workingDirectory, std::string& errorText);

// A text stream on path only when it is a regular file; never waits on a pipe.
std::FILE* OpenRegularFileForReading(const std::string& path);

// Local time to calendar time by UTC offset: a repeated time takes the smaller
// offset, a skipped one the larger (zone data's daylight flags mislead).
bool LocalCalendarTime(const std::tm& localTime, std::time_t& time);

// As received: Windows' wide command line in UTF-8 (ANSI argv would make lookalikes); natively argv.
std::vector<std::string> ArgumentsAsReceived(int argc, char* argv[]);
