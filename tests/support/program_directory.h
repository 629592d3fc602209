// A scratch program directory holding a copy of the program under test, and the expected texts of its runs.
#pragma once

#include <string>
#include <vector>

#include "program_runner.h"
#include "scratch_directory.h"
#include "test_text.h"

// From the test program's command line: the built program and, where used (else empty), the stand-in
// client, the checker and the link program (Windows only).
struct ProgramsUnderTest {
    std::string program;
    std::string client;
    std::string checker;
    std::string linkProgram;
};
void SetProgramsUnderTest(const ProgramsUnderTest& programs);
const std::string& StandInClient();
const std::string& Checker();
const std::string& LinkProgram();

// The build's version ("1.1.1.27804") from the versions file beside the programs; where there is none, a
// text naming the file.
const std::string& BuildVersion();

// A built program's file version as its fixed numbers ("1.1.1.27804") and as its FileVersion text; false
// where it has no version resource, as no native program has.
bool ReadFileVersion(const std::string& program, std::string& numbers, std::string& text);

// The arguments, each followed by one space: how the run log and the checker show them.
std::string ArgumentsText(const std::vector<std::string>& arguments);

// A drive ("K:") whose root a test may fill and empty, and the program's place on it (empty: the root).
struct AtDriveRoot {
    std::string drive;
    std::string subdirectory;
};

class ProgramDirectory {
public:
    // subdirectory: the program's place inside the scratch directory (empty: the directory itself).
    explicit ProgramDirectory(const std::string& subdirectory = "");
    // The program on the drive, whose root is emptied before and after.
    explicit ProgramDirectory(const AtDriveRoot& root);
    ~ProgramDirectory();

    const std::string& Path() const { return path_; }
    const std::string& Program() const { return program_; }
    std::string File(const std::string& name) const;

    // Puts the stand-in client into the directory as the client program.
    void AddStandInClient() const;

    // The stand-in client's records once `count` are complete (it outlives the run); waits up to a minute.
    std::string ClientRecords(size_t count) const;

    // Puts a copy of a built program (LinkProgram(), Checker()) here; gives its path.
    std::string AddProgram(const std::string& built) const;

    // Runs the program (or another put here) in this directory; on a drive, from another directory there.
    ProgramRun Run(const std::vector<std::string>& arguments, const std::string& program = "") const;

    // The run log Kestrup.log here, its banners' times masked (see MaskedTimes).
    std::string Log() const;

    // The command line text the program (or another) logs for these arguments.
    std::string CommandLineText(const std::vector<std::string>& arguments,
                                const std::string& program = "") const;

private:
    void PutProgram();
    void EmptyRoot() const;

    ScratchDirectory scratch_;
    std::string path_;
    std::string program_;
    std::string drive_;  // the drive the program is on, when it is one of the tests' own
};

// A run's record in platform line ends: empty line, banner (time "<time>": MaskedTimes), command line, lines.
std::string ExpectedRecord(const std::string& commandLineText, const std::string& lines = "");

// text with each banner's time of day as "<time>"; an empty one stays empty, so that it fails.
std::string MaskedTimes(const std::string& text);
