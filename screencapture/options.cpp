#include "options.h"

#include "translation.h"

const char* const kUsage = "usage: screencapture [-c] [-P] [-x] [file]";

// TRANSLATORS: The capture tool's --help. Keep the options (-c, -P, -x), the word "screencapture", the
// extensions and the layout; translate "file" in both places alike; keep lines under 80 characters.
const char* const kHelp = N_(R"(usage: screencapture [-c] [-P] [-x] [file]
Captures the whole desktop, every monitor, into one image.

  -c      put the image on the clipboard (as PNG) instead of writing a file
  -P      open the saved file in the desktop's image viewer
  -x      do not play the screen-capture sound
  file    where to save the image; its extension picks the format:
          png, jpg/jpeg, tif/tiff, bmp, webp (any other extension gets PNG data)

An existing file is never replaced: the new image gets " 2", " 3", ... before the extension.
)");

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed{Command::Capture, {}, {}};
    auto misuse = [&](std::string problem) {
        parsed.command = Command::Misuse;
        parsed.problem = std::move(problem);
        return parsed;
    };

    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string& argument : arguments) {
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "--help") {
            parsed.command = Command::Help;
            return parsed;
        }
        // Single-letter options may be grouped, as in "-Px".
        for (char letter : argument.substr(1)) {
            switch (letter) {
            case 'c':
                parsed.options.clipboard = true;
                break;
            case 'P':
                parsed.options.openInViewer = true;
                break;
            case 'x':
                parsed.options.silent = true;
                break;
            default:
                return misuse("unknown option '" + argument + "'");
            }
        }
    }

    if (parsed.options.clipboard) {
        if (!files.empty())
            return misuse("-c takes no file");
        if (parsed.options.openInViewer)
            return misuse("-P needs a file, which -c does not write");
        return parsed;
    }
    if (files.empty())
        return misuse("no file given");
    if (files.size() > 1)
        return misuse("more than one file given");
    if (files.front().empty())
        return misuse("the file name is empty");
    parsed.options.file = files.front();
    return parsed;
}
