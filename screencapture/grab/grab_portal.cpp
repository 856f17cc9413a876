#include "grab/grab_portal.h"

#include "failure.h"
#include "grab/png_check.h"
#include "grab/png_reader.h"
#include "grab/portal_screenshot.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The desktop portal's screenshot, read into the frame stripe by stripe. The portal writes the
// whole image to a file before answering, so the grab only decodes it, or hands the file's bytes
// over as they are where a PNG is wanted; the file is removed once the capture is stored, and kept
// otherwise, so the user never loses the picture.
class GrabberPortal final : public Grabber {
public:
    explicit GrabberPortal(const std::string& path) : m_path(path), m_reader(path) {}
    GrabberPortal(const GrabberPortal&) = delete;
    GrabberPortal& operator=(const GrabberPortal&) = delete;
    ~GrabberPortal() override;

    int width() const override { return m_reader.width(); }
    int height() const override { return m_reader.height(); }
    std::optional<std::vector<std::uint8_t>> wholePng() override;
    void grab(Frame& frame) override;
    void captureStored() override;

private:
    std::string m_path;
    PngReader m_reader;
    bool m_stored = false;
    bool m_unreadable = false;
};

// Larger than any desktop's PNG; a file beyond it is decoded rather than held in memory.
constexpr off_t kLargestWholePng = off_t(1) << 30;

std::optional<std::vector<std::uint8_t>> GrabberPortal::wholePng()
{
    // Read from the start beside the reader, which stays where it is: a file that reads only once
    // (a pipe) is decoded instead.
    const int fd = m_reader.fd();
    struct stat file {};
    if (fstat(fd, &file) != 0 || !S_ISREG(file.st_mode) || file.st_size <= 0 ||
        file.st_size > kLargestWholePng)
        return std::nullopt;
    std::vector<std::uint8_t> bytes(std::size_t(file.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += std::size_t(n);
    }
    // Anything this check does not vouch for is decoded, and refused there if it is damaged.
    if (!isWholePng(bytes, width(), height()))
        return std::nullopt;
    return bytes;
}

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
