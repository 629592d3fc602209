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

// Full path of the running program file as the system reports it, else argument
// 0 (empty if neither). Windows: in the ANSI code page where it spells the path
// exactly, else the short path if plain ASCII; else false, unspelt in UTF-8.
bool GetRunningProgramPath(const char* argumentZero, std::string& path, std::string& unspelt);

// Text to the system's log (the Application event log, source "Kestrup"; syslog).
void ReportToSystemLog(const std::string& text);
// Lets the program started next come to the front, as a click asks (Windows).
void AllowNextProgramToTheFront();

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

// The one way this program writes a file that others read: a temporary file
// beside the document, created new (never through a link or anything found at
// its name), that then replaces the document in one step, so that a reader
// finds the old document or the new one, never none and never half. The
// temporary file is "~", eight random lower-case letters or digits, ".tmp":
// as long a name as the document's own, so no path limit refuses the one and
// not the other. Letting a ReplacingFile go without KeepReplacingFile discards
// the temporary file. On Windows the system removes it even when the run is
// killed first: it is marked for deletion from its creation until the moment
// of the move. On Linux it has no name until just before the move (O_TMPFILE);
// where the file system cannot make such a file, it is created at a name, and
// the creation first removes such files left in the directory over ten
// minutes ago by runs that were killed.
struct ReplacingFile;
struct ReplacingFileCloser {
    void operator()(ReplacingFile* file) const;
};
using ReplacingFilePointer = std::unique_ptr<ReplacingFile, ReplacingFileCloser>;

// Creates the temporary file that is to replace documentPath, with the access
// of the document there, and opens stream on it for writing text (the
// platform's line ends); the caller closes the stream with fclose before
// keeping the file. The access carried over is natively the permission bits,
// and where this process may, the owner and group; on Windows the access
// control list and the attributes (read-only, hidden, system, archive, not
// content-indexed). With no document there is nothing to carry. A document that
// is a link, a device or another special file has no access to carry:
// accessCarried is then false, and the file keeps the access the directory
// gives it. Null on failure, with errorText set to the operating system's
// reason; an owner or group this process may not give is no failure.
ReplacingFilePointer CreateReplacingFile(const std::string& documentPath, std::FILE*& stream,
                                         bool& accessCarried, std::string& errorText);

// Moves the written file over the document in one step. A read-only document
// is replaced too, and while another program holds the document open (Windows
// refuses the move then), the move is tried again for up to two seconds. False
// on failure, with errorText set to the operating system's reason; the
// document is then as it was.
bool KeepReplacingFile(ReplacingFile& file, std::string& errorText);

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
