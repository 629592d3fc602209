// The run log: absent, standard error, a file, or a text the caller shows. A file's record is appended in one
// write at close, so overlapping runs' records stay whole.
#pragma once

#include <string>

// Each replaces the one before; a file that cannot be opened changes nothing.
void SetRunLogOff();
void SetRunLogToStandardError();
bool SetRunLogToFile(const std::string& path);
// Each line is appended to text, which must outlive this destination.
void SetRunLogToText(std::string& text);

// For a program that has no standard error (the link program, a GUI program):
// what would go there goes to the system's log instead, a run's lines on
// standard error at its close as one entry.
void SendStandardErrorToSystemLog();

// A printf-style line (the format carries its own line end). Does nothing while the log is absent.
void WriteLogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Appends the record to a file, or to standard error where the file refuses it; the log is absent afterwards.
void CloseRunLog();
