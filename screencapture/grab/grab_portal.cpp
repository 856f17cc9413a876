#include "grab/grab_portal.h"

#include "failure.h"
#include "grab/png_reader.h"
#include "grab/portal_screenshot.h"

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The desktop portal's screenshot, read into the frame stripe by stripe. The portal writes the
// whole image to a file before answering, so the grab only decodes it; the file is removed once
// the capture is stored, and kept otherwise, so the user never loses the picture.
class GrabberPortal final : public Grabber {
public:
    explicit GrabberPortal(const std::string& path) : m_path(path), m_reader(path) {}
    GrabberPortal(const GrabberPortal&) = delete;
    GrabberPortal& operator=(const GrabberPortal&) = delete;
    ~GrabberPortal() override;

    int width() const override { return m_reader.width(); }
    int height() const override { return m_reader.height(); }
    void grab(Frame& frame) override;
    void captureStored() override;

private:
    std::string m_path;
    PngReader m_reader;
    bool m_stored = false;
    bool m_unreadable = false;
};

void GrabberPortal::captureStored()
{
    m_stored = true;
    // Only the file that was read goes: the name may have come to name another file since.
    struct stat read {};
    struct stat named {};
    if (fstat(m_reader.fd(), &read) != 0 || lstat(m_path.c_str(), &named) != 0)
        return;
    if (read.st_dev == named.st_dev && read.st_ino == named.st_ino)
        unlink(m_path.c_str());
    else
        std::fprintf(
            stderr,
            "screencapture: '%s' is no longer the desktop portal's screenshot that was read; left alone\n",
            m_path.c_str());
}

GrabberPortal::~GrabberPortal()
{
    // The failure's own message names the file when it could not be read.
    if (!m_stored && !m_unreadable)
        std::fprintf(stderr, "screencapture: the desktop portal's screenshot is kept in '%s'\n",
                     m_path.c_str());
}

void GrabberPortal::grab(Frame& frame)
{
    try {
        for (int s = 0; s < frame.stripes(); ++s) {
            std::uint8_t* stripe = frame.beginStripe(s);
            if (!stripe)
                return;
            m_reader.readRows(stripe, frame.stride(), frame.rowsOf(s));
            frame.publish(s);
        }
    } catch (const Failure& failure) {
        m_unreadable = true;
        throw Failure(std::string("the desktop portal's screenshot is damaged: ") + failure.what());
    }
}

} // namespace

std::unique_ptr<Grabber> connectToPortal()
{
    const std::string path = takePortalScreenshot();
    try {
        return std::make_unique<GrabberPortal>(path);
    } catch (const Failure& failure) {
        // Kept, for the user to look at: it may be a picture after all, in a format not read here.
        throw Failure(std::string("the desktop portal's screenshot is unreadable: ") + failure.what());
    }
}
