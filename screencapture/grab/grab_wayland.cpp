#include "grab/grab_wayland.h"

#include "failure.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace {

using Output = GrabberWayland::Output;
using Globals = GrabberWayland::Globals;

// How long the compositor may take to copy every output: it copies at its next frame.
constexpr auto kCopyTimeout = std::chrono::seconds(10);
// How long it may take to answer a request.
constexpr auto kAnswerTimeout = std::chrono::seconds(10);

template <typename T>
T* bind(wl_registry* registry, std::uint32_t name, const wl_interface& interface, std::uint32_t offered,
        std::uint32_t highest)
{
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, highest)));
}

const wl_output_listener kOutputListener{
    .geometry =
        [](void* data, wl_output*, std::int32_t x, std::int32_t y, std::int32_t, std::int32_t, std::int32_t,
           const char*, const char*, std::int32_t transform) {
            auto* o = static_cast<Output*>(data);
            o->x = x, o->y = y, o->transform = transform;
        },
    .mode = [](void*, wl_output*, std::uint32_t, std::int32_t, std::int32_t, std::int32_t) {},
    .done = [](void*, wl_output*) {},
    .scale = [](void* data, wl_output*, std::int32_t factor) { static_cast<Output*>(data)->scale = factor; },
    .name = [](void* data, wl_output*, const char* name) { static_cast<Output*>(data)->name = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener{
    .logical_position =
        [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
            auto* o = static_cast<Output*>(data);
            o->hasLogical = true, o->logicalX = x, o->logicalY = y;
        },
    .logical_size =
        [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
            auto* o = static_cast<Output*>(data);
            o->logicalWidth = width, o->logicalHeight = height;
        },
    .done = [](void*, zxdg_output_v1*) {},
    .name =
        [](void* data, zxdg_output_v1*, const char* name) {
            auto* o = static_cast<Output*>(data);
            if (o->name.empty())
                o->name = name;
        },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const zwlr_screencopy_frame_v1_listener kFrameListener{
    .buffer =
        [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t format, std::uint32_t width,
           std::uint32_t height, std::uint32_t stride) {
            auto* o = static_cast<Output*>(data);
            // The first shared-memory format offered that we can read; the compositor's
            // preferred one comes first.
            if (o->offersShm && composableFormat(o->shmFormat))
                return;
            o->offersShm = true;
            o->shmFormat = format, o->shmWidth = width, o->shmHeight = height, o->shmStride = stride;
        },
    .flags = [](void* data, zwlr_screencopy_frame_v1*,
                std::uint32_t flags) { static_cast<Output*>(data)->flags = flags; },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                std::uint32_t) { static_cast<Output*>(data)->state = Output::State::Ready; },
    .failed = [](void* data,
                 zwlr_screencopy_frame_v1*) { static_cast<Output*>(data)->state = Output::State::Failed; },
    .damage = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t) {},
    .buffer_done = [](void*, zwlr_screencopy_frame_v1*) {},
};

void addOutput(Globals& globals, wl_output* proxy)
{
    auto output = std::make_unique<Output>();
    output->output.reset(proxy);
    wl_output_add_listener(proxy, &kOutputListener, output.get());
    globals.outputs.push_back(std::move(output));
}

const wl_registry_listener kRegistryListener{
    .global =
        [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
           std::uint32_t version) {
            auto& globals = *static_cast<Globals*>(data);
            if (globals.complete)
                return;
            if (std::strcmp(interface, wl_shm_interface.name) == 0)
                globals.shm.reset(bind<wl_shm>(registry, name, wl_shm_interface, version, 1));
            else if (std::strcmp(interface, wl_output_interface.name) == 0)
                addOutput(globals, bind<wl_output>(registry, name, wl_output_interface, version, 4));
            else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0)
                globals.screencopy.reset(bind<zwlr_screencopy_manager_v1>(
                    registry, name, zwlr_screencopy_manager_v1_interface, version, 3));
            else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0)
                globals.xdgOutputs.reset(bind<zxdg_output_manager_v1>(
                    registry, name, zxdg_output_manager_v1_interface, version, 3));
        },
    .global_remove = [](void*, wl_registry*, std::uint32_t) {},
};

std::string nameOf(const Output& o, std::size_t index)
{
    return o.name.empty() ? "output " + std::to_string(index + 1) : "output " + o.name;
}

} // namespace

GrabberWayland::GrabberWayland(const char* display) : m_connection(display)
{
    m_registry.reset(wl_display_get_registry(m_connection.display()));
    wl_registry_add_listener(m_registry.get(), &kRegistryListener, &m_globals);
    m_connection.roundtrip(kAnswerTimeout);
    m_globals.complete = true;
    if (!offersScreencopy())
        return;
    if (!m_globals.shm)
        throw Failure("the Wayland compositor offers no shared memory");
    if (m_globals.outputs.empty())
        throw Failure("the Wayland compositor has no outputs to capture");
    // One batch: the outputs' descriptions and the copies' buffer sizes come back together.
    for (auto& o : m_globals.outputs) {
        if (m_globals.xdgOutputs) {
            o->xdgOutput.reset(
                zxdg_output_manager_v1_get_xdg_output(m_globals.xdgOutputs.get(), o->output.get()));
            zxdg_output_v1_add_listener(o->xdgOutput.get(), &kXdgOutputListener, o.get());
        }
        o->frame.reset(
            zwlr_screencopy_manager_v1_capture_output(m_globals.screencopy.get(), 0, o->output.get()));
        zwlr_screencopy_frame_v1_add_listener(o->frame.get(), &kFrameListener, o.get());
    }
    m_connection.roundtrip(kAnswerTimeout);
    startCopies();
    m_copies = copies();
    m_layout = layOutDesktop(m_copies);
}

void GrabberWayland::startCopies()
{
    for (std::size_t i = 0; i < m_globals.outputs.size(); ++i) {
        Output& o = *m_globals.outputs[i];
        if (o.state == Output::State::Failed)
            throw Failure("the Wayland compositor cannot copy " + nameOf(o, i));
        if (!o.offersShm)
            throw Failure("the Wayland compositor offers no shared-memory copy of " + nameOf(o, i));
        if (!composableFormat(o.shmFormat))
            throw Failure("the Wayland compositor copies " + nameOf(o, i) + " in an unknown pixel format (" +
                          std::to_string(o.shmFormat) + ")");
        if (o.shmWidth == 0 || o.shmHeight == 0 || o.shmWidth > 32767 || o.shmHeight > 32767 ||
            std::uint64_t(o.shmStride) * o.shmHeight > INT32_MAX ||
            std::uint64_t(o.shmStride) < std::uint64_t(o.shmWidth) * bytesPerPixel(o.shmFormat))
            throw Failure("the Wayland compositor describes a copy of " + nameOf(o, i) +
                          " that cannot be made");
        o.buffer.emplace(m_globals.shm.get(), o.shmFormat, int(o.shmWidth), int(o.shmHeight),
                         int(o.shmStride));
        zwlr_screencopy_frame_v1_copy(o.frame.get(), o.buffer->buffer());
    }
    if (wl_display_flush(m_connection.display()) < 0 && errno != EAGAIN)
        m_connection.fail();
}

std::vector<OutputCopy> GrabberWayland::copies() const
{
    std::vector<OutputCopy> copies;
    for (const auto& o : m_globals.outputs) {
        OutputCopy& copy = copies.emplace_back(
            OutputCopy{.x = o->logicalX,
                       .y = o->logicalY,
                       .logicalWidth = o->logicalWidth,
                       .logicalHeight = o->logicalHeight,
                       .pixels = o->buffer ? o->buffer->data() : nullptr,
                       .format = o->shmFormat,
                       .width = int(o->shmWidth),
                       .height = int(o->shmHeight),
                       .stride = int(o->shmStride),
                       .transform = o->transform,
                       .yInverted = (o->flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0});
        if (!o->hasLogical || o->logicalWidth <= 0 || o->logicalHeight <= 0)
            placeByOutputScale(copy, o->x, o->y, o->scale);
    }
    return copies;
}

void GrabberWayland::waitForCopies()
{
    // The compositor copies at its next frame; one that never draws again must not hang the capture.
    m_connection.dispatchUntil(
        [this] {
            std::size_t ready = 0;
            for (std::size_t i = 0; i < m_globals.outputs.size(); ++i) {
                const Output& o = *m_globals.outputs[i];
                if (o.state == Output::State::Failed)
                    throw Failure("the Wayland compositor failed to copy " + nameOf(o, i));
                ready += o.state == Output::State::Ready;
            }
            return ready == m_globals.outputs.size();
        },
        kCopyTimeout, "copy the outputs");
}

void GrabberWayland::grab(Frame& frame)
{
    waitForCopies();
    // The frame has the size of the desktop as it was when the copies were asked for: outputs that
    // move or change scale since must not change the layout. Only the copies' own flags are new.
    std::vector<OutputCopy> outputs = m_copies;
    for (std::size_t i = 0; i < outputs.size(); ++i)
        outputs[i].yInverted = (m_globals.outputs[i]->flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    const OutputComposer composer(outputs);
    for (int s = 0; s < frame.stripes(); ++s) {
        std::uint8_t* rows = frame.beginStripe(s);
        if (!rows)
            return;
        composer.render(rows, frame.stride(), Frame::topOf(s), frame.rowsOf(s));
        frame.publish(s);
    }
}
