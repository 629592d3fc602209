#include "run_log.h"

#include <cstdarg>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform.h"

namespace {

enum class Destination { Absent, StandardError, File, Text };

struct RunLog {
    Destination destination = Destination::Absent;
    AppendFilePointer file;
    std::string record;            // lines not yet appended to the file
    std::string* lines = nullptr;  // the caller's text, for a Text destination
    bool systemLog = false;        // standard error is the system's log
};

RunLog& TheRunLog() {
    static RunLog log;
    return log;
}

void Write(const std::string& text) {
    RunLog& log = TheRunLog();
    if (log.destination == Destination::StandardError && !log.systemLog) {
        std::fputs(text.c_str(), stderr);
    } else if (log.destination == Destination::File || log.destination == Destination::StandardError) {
        log.record += text;
    } else if (log.destination == Destination::Text) {
        *log.lines += text;
    }
}

// Text for standard error, or for the system's log in its place.
void WriteStandardError(const std::string& text) {
    if (TheRunLog().systemLog) {
        ReportToSystemLog(text);
    } else {
        std::fputs(text.c_str(), stderr);
    }
}

}  // namespace

void SetRunLogOff() { CloseRunLog(); }

void SetRunLogToStandardError() {
    CloseRunLog();
    TheRunLog().destination = Destination::StandardError;
}

bool SetRunLogToFile(const std::string& path) {
    AppendFilePointer file = OpenAppendFile(path);
    if (!file) return false;
    CloseRunLog();
    RunLog& log = TheRunLog();
    log.destination = Destination::File;
    log.file = std::move(file);
    return true;
}

void SetRunLogToText(std::string& text) {
    CloseRunLog();
    TheRunLog().destination = Destination::Text;
    TheRunLog().lines = &text;
}

void SendStandardErrorToSystemLog() { TheRunLog().systemLog = true; }

void WriteLogLine(const char* format, ...) {
    if (TheRunLog().destination == Destination::Absent) return;
    va_list arguments, counting;
    va_start(arguments, format);
    va_copy(counting, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, counting);
    va_end(counting);
    // An empty line (or a format error) writes nothing.
    if (length > 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        Write(std::string(text.data(), static_cast<size_t>(length)));
    }
    va_end(arguments);
}

void CloseRunLog() {
    RunLog& log = TheRunLog();
    if (log.destination == Destination::File) {
        // A refused record (a full disk) is never lost without a word.
        if (!AppendToFile(*log.file, log.record)) WriteStandardError(log.record);
    } else if (log.destination == Destination::StandardError && !log.record.empty()) {
        WriteStandardError(log.record);  // the system log's, kept for one entry
    }
    log.destination = Destination::Absent;
    log.file.reset();
    log.record.clear();
}
