#include "sd_bus.h"

int MethodCall::send(sd_bus_message* call, std::chrono::steady_clock::time_point deadline)
{
    // No time left is no call: sd-bus would read a timeout of 0 as its own default of 25 s.
    const std::uint64_t left = microsecondsUntil(deadline);
    if (left == 0)
        return -ETIMEDOUT;
    sd_bus_slot* rawSlot = nullptr;
    if (const int r = m_lib.callAsync(m_bus, &rawSlot, call, onReply, this, left); r < 0)
        return r;
    const Owned<sd_bus_slot> slot(rawSlot, {m_lib.slotUnref});
    return processUntil(m_lib, m_bus, deadline, [this] { return m_reply != nullptr; });
}

const sd_bus_error* MethodCall::error() const
{
    return m_reply && m_lib.isMethodError(m_reply.get(), nullptr) ? m_lib.messageError(m_reply.get())
                                                                  : nullptr;
}

int MethodCall::onReply(sd_bus_message* reply, void* userdata, sd_bus_error*)
{
    auto& self = *static_cast<MethodCall*>(userdata);
    self.m_reply.reset(self.m_lib.messageRef(reply));
    return 0;
}
