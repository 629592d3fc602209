// The operating-system services the program needs, behind one small interface.
// platform_win32.cpp and platform_posix.cpp implement it; the build picks one,
// so nothing above this header knows which system it runs on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

// Asks the C runtime's allocator to serve large blocks from its heap, as it
// serves small ones, instead of mapping fresh pages for each and unmapping them
// when freed. A run reads a big site file through large buffers, frees them and
// then fills the camera directory, which can then reuse their memory. Call once,
// before anything is allocated that matters; where the allocator has no such
// setting (Windows) it does nothing.
void KeepLargeBlocksInHeap();

// Full path of the running program file, as the operating system reports it.
// False when it cannot be obtained.
bool GetRunningProgramPath(std::string& path);

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

// A file that this process created at a name that was free. Until it is moved
// over another file, it is held open, and letting it go removes it: on Windows
// through the handle that created it, so no name is looked up again and
// nothing found at the name by then is touched; natively by unlinking the name
// it was created at, which removes that name and never what a link there
// leads to.
struct NewFile;
struct NewFileCloser {
    void operator()(NewFile* file) const;
};
using NewFilePointer = std::unique_ptr<NewFile, NewFileCloser>;

// Creates path as a new file, and opens stream on it for writing text (the
// platform's line ends); the caller closes the stream with fclose, and the file
// stays held. Anything already there, be it a file, a directory or a link,
// makes it fail with nameTaken set, so the file is always one this call made
// and never one reached through a link. Null on failure, with errorText set to
// the operating system's reason.
NewFilePointer CreateNewTextFile(const std::string& path, std::FILE*& stream, bool& nameTaken,
                                 std::string& errorText);

// Moves the new file over toPath in one step: a reader of toPath finds either
// the old file or the new one, never a mixture and never none. The new file
// keeps its own access and attributes (see GiveFileThePermissionsOf); a
// read-only file at toPath is replaced too. Once moved, the file is toPath's,
// and letting it go leaves it. False on failure, with errorText set to the
// operating system's reason.
bool MoveNewFileOver(NewFile& file, const std::string& toPath, std::string& errorText);

// Gives the open file the access of the regular file at modelPath, so that a
// file renamed over it later changes nobody's access: natively the permission
// bits, and where this process may, the owner and group; on Windows the access
// control list and the attributes (read-only, hidden, system, archive, not
// content-indexed). Nothing happens when there is no file there. Where there is
// one whose access cannot be read (a link, or on Windows anything that cannot
// be told to be a plain file of modelPath's directory with no other name, or
// whose access control list cannot be read), the open file keeps what it
// inherited and accessCarried is false; the call goes on. False when the access
// cannot be set, with errorText set to the operating system's reason; an owner
// or group this process may not give is no failure.
bool GiveFileThePermissionsOf(std::FILE* file, const std::string& modelPath, bool& accessCarried,
                              std::string& errorText);

// The names of the regular files in directory, which is empty (the current
// directory) or ends in the separator; directories, links and devices are left
// out, as far as the system tells them apart (a Unix link under Wine looks like
// a plain file). False when it cannot be read.
bool ListRegularFiles(const std::string& directory, std::vector<std::string>& names);

// True only when no process with this identifier runs any more. Whatever cannot
// be told for sure (no such identifier at all, no permission to look) counts as
// still running.
bool ProcessHasEnded(unsigned long processId);

// Removes the file at path, never what a link at path leads to. Where a link
// cannot be told from a file (Windows, where Wine shows Unix links as plain
// files), only a plain file of path's directory with no other name is removed,
// and anything else is left alone. False on failure or when left alone. A file
// this process created goes with its NewFile instead, with no such check.
bool RemoveFile(const std::string& path);

// The operating system's reason for the last failed C library call (errno).
std::string LastErrorText();

// A file opened for appending whole records at its end, so that records from
// runs that overlap never interleave. The pointer owns the file and closes it.
struct AppendFile;
struct AppendFileCloser {
    void operator()(AppendFile* file) const;
};
using AppendFilePointer = std::unique_ptr<AppendFile, AppendFileCloser>;

// Null when the file cannot be opened (or created) for appending.
AppendFilePointer OpenAppendFile(const std::string& path);

// Appends text, whose lines end in '\n', in one write at the current end of the
// file, with each line end in the platform's text form. False when the file
// refuses it (a full disk, for one); part of the text may then have been
// written.
bool AppendToFile(AppendFile& file, const std::string& text);

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
// a writer or a device. The caller closes the stream with fclose. Null on
// failure.
std::FILE* OpenRegularFileForReading(const std::string& path);

// The size in bytes of the open file's contents on disk, in 64 bits on every
// build. False on failure.
bool GetOpenFileSize(std::FILE* file, std::uint64_t& size);

// The calendar time of this local date and time, chosen by UTC offset: a time
// that happens twice is read with the smaller offset (the later instant), and
// one that does not exist with the larger of the two offsets around the gap.
// Nothing carries over from one call to the next. False when the C library
// cannot represent the time.
bool LocalCalendarTime(const std::tm& localTime, std::time_t& time);

// The program's arguments, argument 0 included, as the system received them:
// natively argv. On Windows argv is ANSI, where characters the code page lacks
// become lookalikes (a full-width "c" a "c"); this is the wide command line,
// split by CommandLineToArgvW, in UTF-8. Empty when it cannot be split.
std::vector<std::string> ArgumentsAsReceived(int argc, char* argv[]);
