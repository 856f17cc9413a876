#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <pixman.h>
#include <vector>

// One output's copy, as the compositor wrote it, and where the output lies on the desktop.
struct OutputCopy {
    int x = 0, y = 0, logicalWidth = 0, logicalHeight = 0; // in the compositor's logical space
    const std::uint8_t* pixels = nullptr;
    std::uint32_t format = 0; // a wl_shm format
    int width = 0, height = 0, stride = 0;
    int transform = 0; // how the output shows its buffer: a wl_output transform
    bool yInverted = false;
};

struct PixelBox {
    int x0, y0, x1, y1;
};

// The whole desktop in one image: the outputs' logical bounding box at the largest output
// scale, where an output's scale is its buffer's width over its logical width. Outputs of a
// smaller scale are scaled up into their place.
struct DesktopLayout {
    int width = 0, height = 0;
    std::vector<PixelBox> places; // each output's box in the image, in the order of the copies
};
DesktopLayout layOutDesktop(const std::vector<OutputCopy>& outputs);

// Places an output that xdg-output does not describe: at the position wl_output gives, as large
// as its buffer shown by its transform, over wl_output's whole-number scale.
void placeByOutputScale(OutputCopy& output, int x, int y, int scale);

// Whether a wl_shm format is one the composer reads.
bool composableFormat(std::uint32_t format);
// Of a composable format.
int bytesPerPixel(std::uint32_t format);

// Draws the outputs' copies into rows of the desktop image, as 8-bit BGRX; areas no output
// covers are black.
class OutputComposer {
public:
    explicit OutputComposer(const std::vector<OutputCopy>& outputs);

    int width() const { return m_layout.width; }
    int height() const { return m_layout.height; }
    // Fills `count` rows from row `top` of the image into `rows`.
    void render(std::uint8_t* rows, std::size_t stride, int top, int count) const;

private:
    struct Unref {
        void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
    };
    using Image = std::unique_ptr<pixman_image_t, Unref>;

    DesktopLayout m_layout;
    std::vector<Image> m_sources;            // each wraps a copy's pixels, transformed into its place
    std::vector<pixman_box32_t> m_uncovered; // the image's areas that no output covers
};
