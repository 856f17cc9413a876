#pragma once

#include <string>

// Opens a saved image in the desktop's default image viewer and does not wait for it.
void openInViewer(const std::string& path);
