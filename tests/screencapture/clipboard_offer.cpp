// clipboard_offer FILE: puts a PNG file on the clipboard through the capture tool's clipboard
// server, as -c does once its grab is encoded. For the server's choice of clipboard and what it
// reports on desktops where the tool's own grab would fail first.
#include "clipboard/clipboard_server.h"
#include "failure.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: clipboard_offer FILE\n", stderr);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN); // as the tool does
    try {
        ClipboardServer clipboard;
        std::ifstream file(argv[1], std::ios::binary);
        const std::string png{std::istreambuf_iterator<char>(file), {}};
        if (!file || write(clipboard.imageFd(), png.data(), png.size()) != ssize_t(png.size()))
            throw Failure(std::string("cannot read ") + argv[1]);
        // No grab is that quick: a server that fails has ended by the time the image is offered.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        clipboard.offer();
        return 0;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "screencapture: %s\n", failure.what());
        return 1;
    }
}
