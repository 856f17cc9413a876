#pragma once

#include "grab/png_check.h"

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <png.h>
#include <string>

// Reads a PNG file row by row as 8-bit BGRX, whatever its colour type and depth: palette, grey and
// 16-bit images are expanded or reduced, an alpha channel dropped. libpng is loaded when the first
// file is read: only captures through the desktop portal read one.
class PngReader {
public:
    // Reads the header of the open file `fd`, which it takes over, named `name` in messages; throws
    // a Failure naming the file when it cannot be read, is no PNG image, is an interlaced one (whose
    // rows come in passes, not in order), or is larger than any desktop (see kLargestDesktop).
    PngReader(int fd, std::string name);
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;
    ~PngReader();

    // The open file, which stays open as long as the reader.
    int fd() const { return fileno(m_file); }
    int width() const { return m_width; }
    int height() const { return m_height; }
    // Reads the next `count` rows, `stride` bytes apart; throws a Failure when the data is damaged.
    void readRows(std::uint8_t* first, std::size_t stride, int count);

private:
    void open(int fd);
    void release();
    static void onError(png_structp png, png_const_charp message);
    [[noreturn]] void fail(const std::string& why) const;
    bool readHeader(png_uint_32& width, png_uint_32& height, int& interlace);
    bool prepareRows();
    bool readRowsOrJump(std::uint8_t* first, std::size_t stride, int count);

    std::string m_path;
    std::FILE* m_file = nullptr;
    png_structp m_png = nullptr;
    png_infop m_info = nullptr;
    int m_width = 0;
    int m_height = 0;
    std::string m_error; // libpng's words for the last error
    std::jmp_buf m_jump;
};
