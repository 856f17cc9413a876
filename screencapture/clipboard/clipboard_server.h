#pragma once

#include <chrono>
#include <cstddef>
#include <sys/types.h>

// Once the clipboard has passed on, how long a server still writes the pastes under way: a reader
// that stopped reading must not keep it for long.
constexpr auto kPasteGrace = std::chrono::seconds(10);
// How long the server may take to own the clipboard once the image is offered: it waits on the
// display server, which may have frozen.
constexpr auto kAnswerWait = std::chrono::seconds(10);

// The background process that owns the CLIPBOARD and serves the image to whoever pastes it,
// until another client takes the clipboard over or a clipboard manager has saved a copy.
// It is started before the grab: it connects and prepares while the desktop is grabbed and
// encoded, and it inherits none of the grab's large buffers.
class ClipboardServer {
public:
    ClipboardServer();
    ClipboardServer(const ClipboardServer&) = delete;
    ClipboardServer& operator=(const ClipboardServer&) = delete;
    // Without offer(), the server gives up quietly.
    ~ClipboardServer();

    // Where the PNG image goes before it is offered.
    int imageFd() const { return m_image; }
    // Returns once the server has connected to the display server, and so can take the clipboard;
    // throws a Failure saying why it cannot. Called before anything that the user would see.
    void awaitConnection();
    // Hands the image over; returns once the clipboard holds it, throws a Failure otherwise.
    void offer();

private:
    int m_image = -1;   // memfd with the PNG data, shared with the server
    int m_command = -1; // our end of the pipe that says "offer now"
    int m_answer = -1;  // our end of the pipe on which the server says whether it owns the clipboard
    pid_t m_server = -1;
    bool m_connected = false; // its word that it connected has been read
};
