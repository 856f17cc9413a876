#pragma once

#include "ui/DirectoryChooser.h"

#include <memory>

class Log;

// The desktop's own chooser through the desktop portal where a session bus is there, and Qt's dialog
// where the portal cannot be asked.
std::unique_ptr<DirectoryChooser> makeDirectoryChooser(Log& log);
