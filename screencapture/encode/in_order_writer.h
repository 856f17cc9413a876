#pragma once

#include <functional>
#include <mutex>
#include <vector>

// Writes pieces of an image that several threads finish in any order, in their own order,
// each as soon as every piece before it is written: the file grows while encoding goes on,
// and a finished piece's memory can go at once.
class InOrderWriter {
public:
    InOrderWriter(int pieces, std::function<void(int piece)> write);

    // Called by the thread that finished `piece`; writes it, and the pieces after it that are
    // waiting, unless an earlier one is still being made. Rethrows the writer's failure.
    void finished(int piece);

private:
    std::mutex m_mutex;
    std::function<void(int)> m_write;
    std::vector<bool> m_finished;
    int m_next = 0;
};
