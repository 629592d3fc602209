// The run log: the one stream that every part of a run writes its lines to.
//
// It is absent (logging off), standard error, a file opened for appending, or a
// text in memory that the caller shows itself. Lines for a file are kept in
// memory and appended in one write when the log is closed, so the records of
// runs that overlap stay whole. Lines for standard error are written at once.
#pragma once

#include <string>

// Destinations. Each replaces the one before; a file destination that cannot be
// opened leaves the log as it was and returns false.
void SetRunLogOff();
void SetRunLogToStandardError();
bool SetRunLogToFile(const std::string& path);
// Each line is appended to text as it is written; text must outlive this
// destination.
void SetRunLogToText(std::string& text);

bool RunLogPresent();

// For a program that has no standard error (the link program, a GUI program):
// what would go there goes to the system's log instead, a run's lines on
// standard error at its close as one entry.
void SendStandardErrorToSystemLog();

// Text for standard error, or for the system's log in its place.
void WriteStandardError(const std::string& text);

// A printf-style line (the format carries its own line end). Does nothing while
// the log is absent.
void WriteLogLine(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Ends the log: a file gets the run's record and is closed; a record the file
// refuses is written to standard error instead. Standard error is never closed.
// The log is absent afterwards.
void CloseRunLog();
