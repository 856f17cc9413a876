#pragma once

#include <optional>
#include <string>
#include <vector>

struct Options {
    bool clipboard = false;    // -c: put the image on the clipboard, write no file
    bool openInViewer = false; // -P: open the saved file in the image viewer
    bool silent = false;       // -x: play no sound
    std::string file;
};

enum class Command { Capture, Help, Misuse };

struct ParsedCommandLine {
    Command command;
    Options options;
    std::string problem; // why the command line is misused
};

ParsedCommandLine parseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;
extern const char* const kHelp;
