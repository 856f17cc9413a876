#pragma once

#include <stdexcept>
#include <string>

// A capture that cannot complete; what() is the one line the user reads after "screencapture: ".
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of errno, for messages that name a path or an operation.
std::string errnoText(int error);
