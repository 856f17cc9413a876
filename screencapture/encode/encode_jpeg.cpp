#include "encode/encoders.h"
#include "encode/in_order_writer.h"
#include "encode/run_on_both_cores.h"
#include "failure.h"

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int kQuality = 90;

// The image is cut into bands of rows, each compressed as a small image of its own on
// whichever core is free as soon as its stripes are grabbed; the bands' scan data joined in
// order, with restart markers between them, is the whole image. Every row of blocks is a
// restart interval, so a decoder starts each band afresh, just as its encoder did. With bands
// of eight rows of blocks, libjpeg's own marker numbers (it counts modulo eight) are already
// right in the joined scan, and the marker between two bands is always the last one, RST7.
constexpr int kBandStripes = 8;
static_assert(kBandStripes * Frame::kStripeRows % (8 * 16) == 0, "a band must be 8 rows of blocks");

constexpr std::uint8_t kMarker = 0xff;
constexpr std::uint8_t kStartOfFrame = 0xc0; // baseline
constexpr std::uint8_t kStartOfScan = 0xda;
constexpr std::uint8_t kEndOfImage = 0xd9;
constexpr std::uint8_t kLastRestart = 0xd7;

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

struct DestroyCompress {
    void operator()(jpeg_compress_struct* cinfo) const { jpeg_destroy_compress(cinfo); }
};

// One band as libjpeg writes it: a complete little image.
using Band = std::vector<JOCTET>;

// Collects a band in memory that grows as libjpeg fills it. (libjpeg's own memory destination
// would leave a freed buffer behind when a band is abandoned half-way.)
struct BandDestination {
    jpeg_destination_mgr manager;
    Band* band;
};

constexpr std::size_t kFirstBandBytes = 64 * 1024;

void startBand(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<BandDestination*>(cinfo->dest);
    d->band->resize(kFirstBandBytes);
    d->manager.next_output_byte = d->band->data();
    d->manager.free_in_buffer = d->band->size();
}

boolean growBand(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<BandDestination*>(cinfo->dest);
    const std::size_t used = d->band->size();
    bool grown = true;
    try {
        d->band->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    d->manager.next_output_byte = d->band->data() + used;
    d->manager.free_in_buffer = d->band->size() - used;
    return TRUE;
}

void endBand(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<BandDestination*>(cinfo->dest);
    d->band->resize(d->band->size() - d->manager.free_in_buffer);
}

// Kept free of objects with destructors, so that libjpeg's longjmp out of it is sound.
bool setUp(jpeg_compress_struct* cinfo, ErrorManager* errors, const Frame& frame)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_create_compress(cinfo);
    cinfo->image_width = JDIMENSION(frame.width());
    cinfo->image_height = JDIMENSION(frame.height());
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, kQuality, TRUE);
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->restart_in_rows = 1;
    return true;
}

// Feeds the band's stripes as they are grabbed. libjpeg converts each row into its own buffers
// at once, so every stripe is released as soon as it is handed over.
bool compressBand(jpeg_compress_struct* cinfo, ErrorManager* errors, Frame& frame, int band,
                  BandDestination* out)
{
    if (setjmp(errors->jump))
        return false;
    const int first = band * kBandStripes;
    const int end = std::min(frame.stripes(), first + kBandStripes);
    cinfo->image_height = JDIMENSION(Frame::topOf(end - 1) + frame.rowsOf(end - 1) - Frame::topOf(first));
    cinfo->dest = &out->manager;
    jpeg_start_compress(cinfo, TRUE);
    for (int s = first; s < end; ++s) {
        const std::uint8_t* pixels = frame.waitForStripe(s);
        JSAMPROW rows[Frame::kStripeRows];
        for (int r = 0; r < frame.rowsOf(s); ++r)
            rows[r] = const_cast<JSAMPROW>(pixels + frame.stride() * std::size_t(r));
        jpeg_write_scanlines(cinfo, rows, JDIMENSION(frame.rowsOf(s)));
        frame.release(s);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

void compressBands(Frame& frame, std::vector<Band>& bands, std::atomic<int>& next, InOrderWriter& inOrder)
{
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = errorExit;
    // Safe on a struct that jpeg_create_compress did not finish.
    std::unique_ptr<jpeg_compress_struct, DestroyCompress> destroy(&cinfo);
    BandDestination destination{{}, nullptr};
    destination.manager.init_destination = startBand;
    destination.manager.empty_output_buffer = growBand;
    destination.manager.term_destination = endBand;
    bool ok = setUp(&cinfo, &errors, frame);
    for (int b; ok && (b = next++) < int(bands.size());) {
        destination.band = &bands[std::size_t(b)];
        ok = compressBand(&cinfo, &errors, frame, b, &destination);
        if (ok)
            inOrder.finished(b);
    }
    if (!ok) {
        char message[JMSG_LENGTH_MAX] = "";
        (*cinfo.err->format_message)(reinterpret_cast<j_common_ptr>(&cinfo), message);
        throw Failure(std::string("JPEG encoding failed: ") + message);
    }
}

// The band's markers up to its scan data: where the scan data starts, and where the frame
// header that gives the image's height is.
struct Layout {
    std::size_t scanData = 0;
    std::size_t frameHeader = 0;
};

Layout layoutOf(const Band& band)
{
    Layout layout;
    const JOCTET* d = band.data();
    for (std::size_t at = 2; at + 4 <= band.size() && d[at] == kMarker;) {
        const std::size_t length = std::size_t(d[at + 2]) << 8 | d[at + 3];
        if (d[at + 1] == kStartOfFrame)
            layout.frameHeader = at;
        if (d[at + 1] == kStartOfScan) {
            layout.scanData = at + 2 + length;
            break;
        }
        at += 2 + length;
    }
    if (layout.scanData == 0 || layout.frameHeader == 0 || layout.scanData + 2 > band.size() ||
        band[band.size() - 2] != kMarker || band[band.size() - 1] != kEndOfImage)
        throw Failure("JPEG encoding failed: libjpeg wrote an unexpected layout");
    return layout;
}

// The first band brings the headers, given the whole image's height; every band brings its
// scan data, and the last one the end of the image.
void writeBand(const Frame& frame, std::vector<Band>& bands, int index, FileWriter& file)
{
    Band& band = bands[std::size_t(index)];
    const Layout layout = layoutOf(band);
    if (index == 0) {
        JOCTET* height = band.data() + layout.frameHeader + 5;
        height[0] = std::uint8_t(frame.height() >> 8);
        height[1] = std::uint8_t(frame.height());
        file.write(band.data(), layout.scanData);
    } else {
        static constexpr std::uint8_t kRestart[2] = {kMarker, kLastRestart};
        file.write(kRestart, sizeof kRestart);
    }
    file.write(band.data() + layout.scanData, band.size() - 2 - layout.scanData);
    if (index + 1 == int(bands.size())) {
        static constexpr std::uint8_t kEnd[2] = {kMarker, kEndOfImage};
        file.write(kEnd, sizeof kEnd);
    }
    Band().swap(band);
}

} // namespace

void encodeJpeg(Frame& frame, FileWriter& file)
{
    std::vector<Band> bands(std::size_t((frame.stripes() + kBandStripes - 1) / kBandStripes));
    InOrderWriter inOrder(int(bands.size()), [&](int band) { writeBand(frame, bands, band, file); });
    std::atomic<int> next{0};
    runOnBothCores(frame, [&] { compressBands(frame, bands, next, inOrder); });
}
