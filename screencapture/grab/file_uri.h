#pragma once

#include <string>
#include <string_view>

// The local path a file URI names ("file:///a%20b.png" -> "/a b.png"), its percent escapes decoded
// byte for byte, so that any file name survives, UTF-8 or not. Throws a Failure for any other URI,
// and for escapes that no path holds (NUL, '/').
std::string pathOfFileUri(std::string_view uri);
