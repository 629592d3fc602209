#include "program_directory.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform.h"

namespace {

constexpr char kClientName[] = "norvclient.exe";
constexpr char kVersionsFile[] = "package-versions.txt";
constexpr char kVersionLineStart[] = "\nversion=";
constexpr char kCallerDirectory[] = "caller";

ProgramsUnderTest programsUnderTest;

std::string FileName(const std::string& path) { return PathOf(path).filename().u8string(); }

std::string AbsolutePath(const std::string& path) {
    return path.empty() ? path : std::filesystem::absolute(PathOf(path)).u8string();
}

const std::string& BannerStart() {
    static const std::string start = "Kestrup v" + BuildVersion() + " executing at: ";
    return start;
}

}  // namespace

void SetProgramsUnderTest(const ProgramsUnderTest& programs) {
    programsUnderTest = {AbsolutePath(programs.program), AbsolutePath(programs.client),
                         AbsolutePath(programs.checker), AbsolutePath(programs.linkProgram)};
}

const std::string& StandInClient() { return programsUnderTest.client; }
const std::string& Checker() { return programsUnderTest.checker; }
const std::string& LinkProgram() { return programsUnderTest.linkProgram; }

const std::string& BuildVersion() {
    static const std::string version = [] {
        const std::string file =
            (std::filesystem::path(programsUnderTest.program).parent_path() / kVersionsFile).string();
        const std::string text = "\n" + (FileExists(file) ? ReadFileBytes(file) : "");
        const auto start = text.find(kVersionLineStart);
        if (start == std::string::npos) return "(no version line in " + file + ")";
        const auto from = start + sizeof kVersionLineStart - 1;
        return text.substr(from, text.find_first_of("\r\n", from) - from);
    }();
    return version;
}

std::string ArgumentsText(const std::vector<std::string>& arguments) {
    std::string text;
    for (const auto& argument : arguments) text += argument + " ";
    return text;
}

ProgramDirectory::ProgramDirectory(const std::string& subdirectory) : scratch_("kestrup-e2e") {
    path_ = subdirectory.empty() ? scratch_.Path() : MakeDirectory(scratch_.File(subdirectory));
    PutProgram();
}

ProgramDirectory::ProgramDirectory(const AtDriveRoot& root) : scratch_("kestrup-e2e"), drive_(root.drive) {
    EmptyRoot();
    path_ = root.subdirectory.empty() ? drive_ : MakeDirectory(drive_ + PathSeparator() + root.subdirectory);
    PutProgram();
    MakeDirectory(drive_ + PathSeparator() + kCallerDirectory);
}

ProgramDirectory::~ProgramDirectory() {
    if (!drive_.empty()) EmptyRoot();
}

// An empty root has not even "." to list, which the C++ library takes for an error.
void ProgramDirectory::EmptyRoot() const {
    std::error_code error;
    for (std::filesystem::directory_iterator entry(PathOf(drive_ + PathSeparator()), error), end;
         !error && entry != end; entry.increment(error)) {
        std::error_code ignored;
        std::filesystem::remove_all(entry->path(), ignored);
    }
}

void ProgramDirectory::PutProgram() {
    program_ = File(FileName(programsUnderTest.program));
    CopyFileTo(programsUnderTest.program, program_);
    std::filesystem::permissions(PathOf(program_), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
}

std::string ProgramDirectory::File(const std::string& name) const { return path_ + PathSeparator() + name; }

std::string ProgramDirectory::ClientRecords(size_t count) const {
    const std::string end = WithLineEnds("end\n");
    std::string records;
    for (int wait = 0; wait < 1200; ++wait) {
        records = ReadFileBytes(File("norvclient-started.txt"));
        if (Occurrences(records, end) >= count) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return records;
}

void ProgramDirectory::AddStandInClient() const {
    const std::string client = File(kClientName);
    CopyFileTo(programsUnderTest.client, client);
    std::filesystem::permissions(PathOf(client), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
}

std::string ProgramDirectory::AddProgram(const std::string& built) const {
    const std::string program = File(FileName(built));
    CopyFileTo(built, program);
    return program;
}

ProgramRun ProgramDirectory::Run(const std::vector<std::string>& arguments,
                                 const std::string& program) const {
    ProgramRun run;
    // On a drive, run from another directory there, as a caller's may be: "K:" alone names it, not the root.
    const std::string& started = program.empty() ? program_ : program;
    const std::string caller = drive_ + PathSeparator() + kCallerDirectory;
    if (!RunProgramAndWait(started, arguments, drive_.empty() ? path_ : caller, run)) {
        run.exitStatus = -1;
    }
    return run;
}

std::string ProgramDirectory::Log() const { return MaskedTimes(ReadFileBytes(File("Kestrup.log"))); }

std::string ProgramDirectory::CommandLineText(const std::vector<std::string>& arguments,
                                              const std::string& program) const {
    return (program.empty() ? program_ : program) + " " + ArgumentsText(arguments);
}

std::string ExpectedRecord(const std::string& commandLineText, const std::string& lines) {
    return WithLineEnds("\n" + BannerStart() + "<time>\nCommand Line: " + commandLineText + "\n" + lines);
}

std::string MaskedTimes(const std::string& text) {
    std::string masked;
    std::string::size_type from = 0;
    for (;;) {
        auto banner = text.find(BannerStart(), from);
        if (banner == std::string::npos) break;
        auto timeStart = banner + BannerStart().size();
        auto timeEnd = text.find_first_of("\r\n", timeStart);
        if (timeEnd == std::string::npos) timeEnd = text.size();
        masked += text.substr(from, timeStart - from);
        if (timeEnd > timeStart) masked += "<time>";
        from = timeEnd;
    }
    return masked + text.substr(from);
}
