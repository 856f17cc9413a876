// The capture tool's command line and the names it derives: the input is split into arguments at
// NUL bytes. Besides crashes, checks what the tool relies on: a capture to a file has exactly one
// non-empty file, and a numbered name keeps the folder and the format of the one it replaces.
#include "options.h"
#include "output/file_name.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            arguments.emplace_back();
        else
            arguments.back().push_back(char(data[i]));
    }

    const ParsedCommandLine parsed = parseCommandLine(arguments);
    if (parsed.command == Command::Misuse)
        require(!parsed.problem.empty());
    if (parsed.command == Command::Capture)
        require(parsed.options.clipboard ? parsed.options.file.empty() && !parsed.options.openInViewer
                                         : !parsed.options.file.empty());

    for (const std::string& name : arguments) {
        const auto format = formatForFileName(name);
        for (int n : {2, 10, 12345}) {
            const std::string numbered = numberedName(name, n);
            require(formatForFileName(numbered) == format);
            require(folderOf(numbered) == folderOf(name));
        }
    }
    return 0;
}
