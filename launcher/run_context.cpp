#include "run_context.h"

#include "platform.h"

std::string ProgramFilePath(const RunContext& context, const char* fileName) {
    return context.programDirectory + PathSeparator() + fileName;
}
