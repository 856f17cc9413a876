#pragma once

#include <exception>
#include <stdexcept>
#include <string>

// A capture that cannot complete; what() is the one line the user reads after "screencapture: ".
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of errno, for messages that name a path or an operation.
std::string errnoText(int error);

// The one line for whatever a capture threw: a Failure's own, or what the system or the library
// said, for an exception that is not the tool's own (no memory, no thread to be had).
std::string messageOf(std::exception_ptr thrown);
