#include "encode.h"
#include "failure.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
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

bool writeRows(jpeg_compress_struct* cinfo, ErrorManager* errors, const Frame& frame)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_start_compress(cinfo, TRUE);
    int ready = 0;
    while (cinfo->next_scanline < cinfo->image_height) {
        int y = int(cinfo->next_scanline);
        if (y >= ready)
            ready = frame.waitForRows(y + 1);
        JSAMPROW rows[16];
        int count = 0;
        while (count < 16 && y + count < ready)
            rows[count] = const_cast<JSAMPROW>(frame.row(y + count)), ++count;
        jpeg_write_scanlines(cinfo, rows, JDIMENSION(count));
    }
    jpeg_finish_compress(cinfo);
    return true;
}

} // namespace

void encodeJpeg(const Frame& frame, ByteSink& sink)
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
    if (ok) {
        cinfo.dest = &destination.manager;
        ok = writeRows(&cinfo, &errors, frame);
    }
    char message[JMSG_LENGTH_MAX] = "";
    if (!ok)
        (*cinfo.err->format_message)(reinterpret_cast<j_common_ptr>(&cinfo), message);
    jpeg_destroy_compress(&cinfo);
    if (destination.error)
        sink.fail(destination.error);
    if (!ok)
        throw Failure(std::string("JPEG encoding failed: ") + message);
}
