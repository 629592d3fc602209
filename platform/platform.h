// The operating-system services the program needs, behind one small interface.
// platform_win32.cpp and platform_posix.cpp implement it; the build picks one,
// so nothing above this header knows which system it runs on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Asks the C runtime's allocator to serve large blocks from its heap, as it
// serves small ones, instead of mapping fresh pages for each and unmapping them
// when freed. A run reads a big site file through large buffers, frees them and
// then fills the camera directory, which can then reuse their memory. Call once,
// before anything is allocated that matters; where the allocator has no such
// setting (Windows) it does nothing.
void KeepLargeBlocksInHeap();

// Full path of the running program file, as the operating system reports it.
// False when it cannot be obtained, with errorText set to the operating
// system's reason.
bool GetRunningProgramPath(std::string& path, std::string& errorText);

// The separator between a directory and a name in the paths this program forms.
char PathSeparator();

// The local time of day in the locale's own time format, for the run log banner.
// Empty when it cannot be formatted.
std::string LocalTimeOfDayText();

// The bounding rectangle of all monitors, in pixels.
struct VirtualScreen {
    int left;
    int top;
    int width;
    int height;
};
VirtualScreen GetVirtualScreen();

// The identifier of this process, for names that concurrent runs must not share.
unsigned long CurrentProcessId();

// Moves the file at fromPath over toPath in one step: a reader of toPath sees
// either the old file or the new one, never a mixture. False on failure, with
// errorText set to the operating system's reason.
bool ReplaceFileInOneStep(const std::string& fromPath, const std::string& toPath, std::string& errorText);

// The operating system's reason for the last failed C library call (errno).
std::string LastErrorText();

// A file opened for appending whole records at its end, so that records from
// runs that overlap never interleave. The pointer owns the file and closes it.
struct AppendFile;
struct AppendFileCloser {
    void operator()(AppendFile* file) const;
};
using AppendFilePointer = std::unique_ptr<AppendFile, AppendFileCloser>;

// Null when the file cannot be opened (or created) for appending, with
// errorText set to the operating system's reason.
AppendFilePointer OpenAppendFile(const std::string& path, std::string& errorText);

// Appends text, whose lines end in '\n', in one write at the current end of the
// file, with each line end in the platform's text form. False when the file
// refuses it (a full disk, for one), with errorText set to the reason; part of
// the text may then have been written.
bool AppendToFile(AppendFile& file, const std::string& text, std::string& errorText);

// Whether "/" marks an option on the command line, beside "-". Not where an
// absolute path begins with "/": such a path would be read as an option.
bool SlashMarksOptions();

// The command line that StartProgram uses for program and argument, as the run
// log shows it.
std::string ProgramCommandLine(const std::string& programPath, const std::string& argument);

// Starts programPath with the one argument, in workingDirectory, and does not
// wait for it. The child's handles are released at once. It gets none of this
// program's standard input, output and error (the null device, or no handles),
// so a caller reading our output sees its end when we exit. False when it could
// not be started, with errorText set to the operating system's reason.
bool StartProgram(const std::string& programPath, const std::string& argument,
                  const std::string& workingDirectory, std::string& errorText);

// Opens path for reading as text, but only when it is a regular file: a
// directory, a named pipe or a device gives null, and the call never waits for
// a writer or a device. The caller closes the stream with fclose.
std::FILE* OpenRegularFileForReading(const std::string& path);

// The size in bytes of the open file's contents on disk, in 64 bits on every
// build. False on failure, with errorText set to the operating system's reason.
bool GetOpenFileSize(std::FILE* file, std::uint64_t& size, std::string& errorText);
