#include "encode.h"
#include "failure.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace {

constexpr int kQuality = 90;

struct Destination {
    jpeg_destination_mgr manager;
    ByteSink* sink;
    std::vector<JOCTET> buffer;
    int error; // errno of a failed write; libjpeg cannot carry it back itself
};

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void initDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    d->manager.next_output_byte = d->buffer.data();
    d->manager.free_in_buffer = d->buffer.size();
}

void flush(Destination* d, std::size_t size)
{
    if (!d->error)
        d->error = d->sink->writeAll(d->buffer.data(), size);
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    flush(d, d->buffer.size());
    initDestination(cinfo);
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto* d = reinterpret_cast<Destination*>(cinfo->dest);
    flush(d, d->buffer.size() - d->manager.free_in_buffer);
}

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Kept free of objects with destructors, so that libjpeg's longjmp out of it is sound.
bool compress(jpeg_compress_struct* cinfo, ErrorManager* errors, const Frame& frame)
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
    return true;
}

// Feeds the stripes as they are grabbed. libjpeg converts each row into its own buffers at
// once, so every stripe is released as soon as it is handed over.
bool writeRows(jpeg_compress_struct* cinfo, ErrorManager* errors, Frame& frame)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_start_compress(cinfo, TRUE);
    for (int s = 0; s < frame.stripes(); ++s) {
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

struct DestroyCompress {
    void operator()(jpeg_compress_struct* cinfo) const { jpeg_destroy_compress(cinfo); }
};

} // namespace

void encodeJpeg(Frame& frame, ByteSink& sink)
{
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = errorExit;
    Destination destination{{}, &sink, std::vector<JOCTET>(256 * 1024), 0};
    destination.manager.init_destination = initDestination;
    destination.manager.empty_output_buffer = emptyOutputBuffer;
    destination.manager.term_destination = termDestination;

    bool ok = compress(&cinfo, &errors, frame);
    // jpeg_destroy_compress is safe on a struct that jpeg_create_compress did not finish.
    std::unique_ptr<jpeg_compress_struct, DestroyCompress> destroy(&cinfo);
    if (ok) {
        cinfo.dest = &destination.manager;
        ok = writeRows(&cinfo, &errors, frame);
    }
    char message[JMSG_LENGTH_MAX] = "";
    if (!ok)
        (*cinfo.err->format_message)(reinterpret_cast<j_common_ptr>(&cinfo), message);
    destroy.reset();
    if (destination.error)
        sink.fail(destination.error);
    if (!ok)
        throw Failure(std::string("JPEG encoding failed: ") + message);
}
