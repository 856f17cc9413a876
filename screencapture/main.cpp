// screencapture [-c] [-P] [-x] [file]: captures the whole desktop into an image file, or onto
// the clipboard with -c.
#include "clipboard/clipboard_server.h"
#include "encode/encoders.h"
#include "failure.h"
#include "grab/grabber.h"
#include "messages.h"
#include "notification.h"
#include "options.h"
#include "output/output_file.h"
#include "output/viewer.h"
#include "sound.h"
#include "translation.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The capture was saved, but the image viewer did not open it.
class NotOpened : public Failure {
public:
    using Failure::Failure;
};

// What the user reads first in the notification of a failure.
const char* summaryOf(std::exception_ptr thrown, const Options& options)
{
    try {
        std::rethrow_exception(thrown);
    } catch (const NotOpened&) {
        // TRANSLATORS: A notification's title: the screenshot was saved, but the image viewer did not
        // open it.
        return translated("Screenshot not opened");
    } catch (...) {
        // TRANSLATORS: A notification's title: a capture to the clipboard failed.
        return options.clipboard ? translated("Screenshot not copied to the clipboard")
                                 // TRANSLATORS: A notification's title: a capture to a file failed.
                                 : translated("Screenshot not saved");
    }
}

// A capture that failed, whatever failed: one line on stderr and, since nobody may be watching
// stderr (the program that started the tool does not read it), one desktop notification.
void report(std::exception_ptr thrown, const Options& options) noexcept
{
    try {
        const std::string message = messageOf(thrown);
        say(message);
        notifyFailure(summaryOf(thrown, options), message);
    } catch (...) {
        // Out of memory even for the message: the status says it failed.
    }
}

// Grabs on a thread of its own while the caller encodes the stripes already grabbed. A caller
// that leaves early abandons the frame first, so that the grab stops waiting for free slots.
class GrabThread {
public:
    GrabThread(Grabber& desktop, Frame& frame)
        : m_frame(frame), m_thread([&desktop, &frame] {
              try {
                  desktop.grab(frame);
              } catch (...) {
                  frame.fail(std::current_exception());
              }
          })
    {}
    GrabThread(const GrabThread&) = delete;
    GrabThread& operator=(const GrabThread&) = delete;
    ~GrabThread() { m_frame.abandon(); }

private:
    Frame& m_frame;
    std::jthread m_thread;
};

// The picture on its way to storage: the bytes of the desktop's own PNG file where it hands over
// one and PNG is what is stored, else a frame grabbed on a thread of its own while it is encoded.
class Capture {
public:
    Capture(Grabber& desktop, ImageFormat format) : m_format(format)
    {
        if (format == ImageFormat::Png)
            m_wholePng = desktop.wholePng();
        if (m_wholePng)
            return;
        m_frame.emplace(desktop.width(), desktop.height());
        m_grab.emplace(desktop, *m_frame);
    }

    void playSound()
    {
        if (m_frame)
            m_sound.emplace(*m_frame);
        else
            m_sound.emplace();
    }

    void store(FileWriter& file)
    {
        if (m_wholePng)
            file.write(m_wholePng->data(), m_wholePng->size());
        else
            encode(m_format, *m_frame, file);
    }

private:
    ImageFormat m_format;
    std::optional<std::vector<std::uint8_t>> m_wholePng;
    std::optional<Frame> m_frame;
    // Before the grab, so that a capture that fails early abandons and joins the grab before it
    // waits for the sound: the sound thread holds its state while it waits for the whole frame,
    // which an abandoned frame ends.
    std::optional<CaptureSound> m_sound;
    std::optional<GrabThread> m_grab;
};

void captureToClipboard(const Options& options)
{
    ClipboardServer clipboard;
    auto desktop = connectToDesktop([&clipboard] { clipboard.awaitConnection(); });
    Capture capture(*desktop, ImageFormat::Png);
    if (!options.silent)
        capture.playSound();

    FileWriter image(clipboard.imageFd(), "the clipboard image");
    capture.store(image);
    clipboard.offer();
    desktop->captureStored();
}

void captureToFile(const Options& options)
{
    std::optional<ImageFormat> format = formatForFileName(options.file);
    if (!format)
        say("'" + options.file + "' names no image format this tool writes; saving PNG data");
    std::exception_ptr viewerFailure;
    {
        auto desktop = connectToDesktop();
        Capture capture(*desktop, format.value_or(ImageFormat::Png));
        // Made while the first stripes are on their way.
        OutputFile output(options.file);
        if (!options.silent)
            capture.playSound();

        capture.store(output.writer());
        std::string saved = output.commit();
        desktop->captureStored();
        if (options.openInViewer) {
            // The capture is stored whatever the viewer does, and the grab must see it so.
            try {
                openInViewer(saved);
            } catch (const Failure& failure) {
                viewerFailure = std::make_exception_ptr(NotOpened(failure.what()));
            }
        }
    }
    if (viewerFailure)
        std::rethrow_exception(viewerFailure);
}

} // namespace

int main(int argc, char** argv)
{
    ParsedCommandLine commandLine = parseCommandLine({argv + 1, argv + argc});
    switch (commandLine.command) {
    case Command::Help:
        std::fputs(translated(kHelp), stdout);
        return 0;
    case Command::Misuse:
        say(commandLine.problem + "; " + kUsage);
        return 2;
    case Command::Capture:
        break;
    }

    // A reader that went away, or a file-size limit reached, must surface as a write error, not
    // end the process with the capture half-written.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    int status = 0;
    try {
        if (commandLine.options.clipboard)
            captureToClipboard(commandLine.options);
        else
            captureToFile(commandLine.options);
    } catch (...) {
        // Not only the tool's own failures: no thread to be had, or no memory, ends the capture
        // as cleanly, its file removed on the way here.
        report(std::current_exception(), commandLine.options);
        status = 1;
    }
    if (CaptureSound::leftBehind()) {
        std::fflush(nullptr);
        _exit(status);
    }
    return status;
}
