#include "encode/in_order_writer.h"

InOrderWriter::InOrderWriter(int pieces, std::function<void(int piece)> write)
    : m_write(std::move(write)), m_finished(std::size_t(pieces), false)
{}

void InOrderWriter::finished(int piece)
{
    std::lock_guard lock(m_mutex);
    m_finished[std::size_t(piece)] = true;
    while (m_next < int(m_finished.size()) && m_finished[std::size_t(m_next)])
        m_write(m_next++);
}
