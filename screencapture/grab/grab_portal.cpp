#include "grab/grab_portal.h"

#include "failure.h"
#include "grab/png_check.h"
#include "grab/png_reader.h"
#include "grab/portal_screenshot.h"
#include "messages.h"
#include "output/file_name.h"
#include "removal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The portal's file, opened in its folder, which stays open too, so that the file is removed from
// the folder it was read in. Opened as a regular file of its own only: never through a symbolic
// link, and never waiting (a FIFO named by the portal would keep the open waiting for a writer).
class PortalFile {
public:
    explicit PortalFile(const std::string& path);
    PortalFile(const PortalFile&) = delete;
    PortalFile& operator=(const PortalFile&) = delete;
    ~PortalFile();

    // The file, for a reader to take over.
    int takeFd();
    // Removes the file where its name still names it; says so otherwise.
    void remove(int readFd) const;

private:
    [[noreturn]] void fail(const std::string& why) const;

    std::string m_path;
    std::string m_name;
    int m_folder = -1;
    int m_fd = -1;
};

PortalFile::PortalFile(const std::string& path)
    : m_path(path), m_name(path.substr(path.find_last_of('/') + 1))
{
    m_folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0)
        fail(errnoText(errno));
    m_fd = openat(m_folder, m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0) {
        const int error = errno;
        close(m_folder);
        fail(error == ELOOP ? "a symbolic link, which is not followed" : errnoText(error));
    }
    struct stat file {};
    if (fstat(m_fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        close(m_fd);
        close(m_folder);
        fail("not a regular file");
    }
    // A regular file reads the same either way; the reader's stdio expects to wait.
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
}

PortalFile::~PortalFile()
{
    if (m_fd >= 0)
        close(m_fd);
    close(m_folder);
}

int PortalFile::takeFd()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void PortalFile::fail(const std::string& why) const
{
    throw Failure("cannot read '" + m_path + "': " + why);
}

void PortalFile::remove(int readFd) const
{
    struct stat read {};
    if (fstat(readFd, &read) != 0)
        return;
    std::string keptAs;
    if (removeIfSame(m_folder, m_name, read, keptAs) != Removal::Other)
        return;
    say("'" + m_path + "' is no longer the desktop portal's screenshot that was read; left alone" +
        (keptAs.empty() ? "" : ", as '" + folderOf(m_path) + "/" + keptAs + "'"));
}

// The desktop portal's screenshot, read into the frame stripe by stripe. The portal writes the
// whole image to a file before answering, so the grab only decodes it, or hands the file's bytes
// over as they are where a PNG is wanted; the file is removed once the capture is stored, and kept
// otherwise, so the user never loses the picture.
class GrabberPortal final : public Grabber {
public:
    explicit GrabberPortal(const std::string& path)
        : m_path(path), m_file(path), m_reader(m_file.takeFd(), path)
    {}
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
    PortalFile m_file;
    PngReader m_reader;
    bool m_stored = false;
    bool m_unreadable = false;
};

// Larger than any desktop's PNG; a file beyond it is decoded rather than held in memory.
constexpr off_t kLargestWholePng = off_t(1) << 30;

std::optional<std::vector<std::uint8_t>> GrabberPortal::wholePng()
{
    // Read from the start beside the reader, which stays where it is.
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
    m_file.remove(m_reader.fd());
}

GrabberPortal::~GrabberPortal()
{
    // The failure's own message names the file when it could not be read.
    if (!m_stored && !m_unreadable)
        say("the desktop portal's screenshot is kept in '" + m_path + "'");
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
