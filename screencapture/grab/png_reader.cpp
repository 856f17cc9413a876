#include "grab/png_reader.h"

#include "failure.h"
#include "shared_library.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace {

// The libpng functions this reader calls.
struct Png {
    SharedLibrary library{"libpng16.so.16"};
    LIBRARY_FUNCTION(createReadStruct, png_create_read_struct);
    LIBRARY_FUNCTION(createInfoStruct, png_create_info_struct);
    LIBRARY_FUNCTION(destroyReadStruct, png_destroy_read_struct);
    LIBRARY_FUNCTION(getErrorPtr, png_get_error_ptr);
    LIBRARY_FUNCTION(initIo, png_init_io);
    LIBRARY_FUNCTION(setSigBytes, png_set_sig_bytes);
    LIBRARY_FUNCTION(readInfo, png_read_info);
    LIBRARY_FUNCTION(getIhdr, png_get_IHDR);
    LIBRARY_FUNCTION(setExpand, png_set_expand);
    LIBRARY_FUNCTION(setStrip16, png_set_strip_16);
    LIBRARY_FUNCTION(setGrayToRgb, png_set_gray_to_rgb);
    LIBRARY_FUNCTION(setStripAlpha, png_set_strip_alpha);
    LIBRARY_FUNCTION(setBgr, png_set_bgr);
    LIBRARY_FUNCTION(setFiller, png_set_filler);
    LIBRARY_FUNCTION(readUpdateInfo, png_read_update_info);
    LIBRARY_FUNCTION(getRowbytes, png_get_rowbytes);
    LIBRARY_FUNCTION(readRow, png_read_row);
};

// Loaded once and kept: the error callback needs it too.
const Png& png()
{
    static const Png lib;
    return lib;
}

void ignoreWarning(png_structp, png_const_charp) {}

} // namespace

PngReader::PngReader(int fd, std::string name) : m_path(std::move(name))
{
    try {
        open(fd);
    } catch (...) {
        release(); // no destructor runs for a constructor that throws
        throw;
    }
}

void PngReader::open(int fd)
{
    m_file = fdopen(fd, "rb");
    if (!m_file) {
        const int error = errno;
        close(fd);
        fail(errnoText(error));
    }
    const Png& lib = png();
    unsigned char signature[8];
    static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (std::fread(signature, 1, sizeof signature, m_file) != sizeof signature ||
        !std::equal(signature, signature + 8, kSignature))
        fail("not a PNG image");
    m_png = lib.createReadStruct(PNG_LIBPNG_VER_STRING, this, onError, ignoreWarning);
    if (m_png)
        m_info = lib.createInfoStruct(m_png);
    if (!m_info)
        fail("out of memory");
    png_uint_32 width = 0, height = 0;
    int interlace = PNG_INTERLACE_NONE;
    if (!readHeader(width, height, interlace))
        fail(m_error);
    const std::string size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width > png_uint_32(kLargestDesktopSide) || height > png_uint_32(kLargestDesktopSide))
        fail(size + ", wider or taller than a desktop's " + std::to_string(kLargestDesktopSide));
    if (static_cast<long long>(width) * height > kLargestDesktopPixels)
        fail(size + ", more than a desktop's " + std::to_string(kLargestDesktopPixels));
    if (interlace != PNG_INTERLACE_NONE)
        fail("an interlaced PNG image, which this tool does not read");
    m_width = int(width);
    m_height = int(height);
    if (!prepareRows())
        fail(m_error);
}

PngReader::~PngReader()
{
    release();
}

void PngReader::release()
{
    if (m_png)
        png().destroyReadStruct(&m_png, m_info ? &m_info : nullptr, nullptr);
    m_png = nullptr;
    m_info = nullptr;
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
}

void PngReader::onError(png_structp png, png_const_charp message)
{
    auto* reader = static_cast<PngReader*>(::png().getErrorPtr(png));
    reader->m_error = message;
    // Back to the setjmp of the call into libpng; only plain data lives in between.
    std::longjmp(reader->m_jump, 1);
}

void PngReader::fail(const std::string& why) const
{
    throw Failure("cannot read '" + m_path + "': " + why);
}

// Nothing in this function or the next two needs destroying when libpng jumps out of its calls.
bool PngReader::readHeader(png_uint_32& width, png_uint_32& height, int& interlace)
{
    const Png& lib = png();
    if (setjmp(m_jump))
        return false;
    // Read on from the signature, never back: any file that reads once will do, a pipe included.
    lib.initIo(m_png, m_file);
    lib.setSigBytes(m_png, 8);
    lib.readInfo(m_png, m_info);
    int depth, colourType;
    lib.getIhdr(m_png, m_info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    return true;
}

bool PngReader::prepareRows()
{
    const Png& lib = png();
    if (setjmp(m_jump))
        return false;
    // Whatever the file holds becomes 8-bit BGRX.
    lib.setExpand(m_png);
    lib.setStrip16(m_png);
    lib.setGrayToRgb(m_png);
    lib.setStripAlpha(m_png);
    lib.setBgr(m_png);
    lib.setFiller(m_png, 0xff, PNG_FILLER_AFTER);
    lib.readUpdateInfo(m_png, m_info);
    if (lib.getRowbytes(m_png, m_info) != std::size_t(m_width) * 4) {
        m_error = "rows of an unexpected size";
        return false;
    }
    return true;
}

void PngReader::readRows(std::uint8_t* first, std::size_t stride, int count)
{
    if (!readRowsOrJump(first, stride, count))
        fail(m_error);
}

bool PngReader::readRowsOrJump(std::uint8_t* first, std::size_t stride, int count)
{
    const Png& lib = png();
    if (setjmp(m_jump))
        return false;
    for (int r = 0; r < count; ++r)
        lib.readRow(m_png, first + stride * std::size_t(r), nullptr);
    return true;
}
