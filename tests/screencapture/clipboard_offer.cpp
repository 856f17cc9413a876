// The capture tool's clipboard server on its own: offers it an image at once, as -c does once its
// grab is stored, for a compositor that the grab would find frozen first.
#include "clipboard/clipboard_server.h"
#include "failure.h"

#include <cstdio>

int main()
{
    try {
        ClipboardServer().offer();
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "screencapture: %s\n", failure.what());
        return 1;
    }
}
