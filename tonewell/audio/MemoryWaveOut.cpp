#include "MemoryWaveOut.h"

std::vector<char> MemoryWaveOut::Record::played() const
{
    std::lock_guard lock(m_mutex);
    return m_played;
}

std::vector<const char *> MemoryWaveOut::Record::writes() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

int MemoryWaveOut::Record::opens() const
{
    std::lock_guard lock(m_mutex);
    return m_opens;
}

int MemoryWaveOut::Record::closes() const
{
    std::lock_guard lock(m_mutex);
    return m_closes;
}

bool MemoryWaveOut::Record::halted() const
{
    std::lock_guard lock(m_mutex);
    return m_halted;
}

MemoryWaveOut::MemoryWaveOut()
    : m_record(std::make_shared<Record>())
{
}

MemoryWaveOut::~MemoryWaveOut()
{
    shutdown();
}

void MemoryWaveOut::setFailOpen(bool fail)
{
    std::lock_guard lock(m_record->m_mutex);
    m_record->m_failOpen = fail;
}

bool MemoryWaveOut::step()
{
    const std::size_t bytes = frontRemaining();
    if (bytes == 0 || m_record->halted())
        return false;
    std::vector<char> chunk(bytes);
    chunk.resize(consume(chunk.data(), bytes));
    {
        std::lock_guard lock(m_record->m_mutex);
        m_record->m_played.insert(m_record->m_played.end(), chunk.begin(), chunk.end());
    }
    waitForNotices();
    return !chunk.empty();
}

void MemoryWaveOut::loseDevice()
{
    reportDeviceLost();
    waitForNotices();
}

int MemoryWaveOut::openDevice(const WaveFormat &)
{
    std::lock_guard lock(m_record->m_mutex);
    if (m_record->m_failOpen)
        return kWaveError;
    ++m_record->m_opens;
    m_record->m_halted = false;
    return kWaveOk;
}

void MemoryWaveOut::closeDevice()
{
    std::lock_guard lock(m_record->m_mutex);
    ++m_record->m_closes;
}

void MemoryWaveOut::haltDevice()
{
    std::lock_guard lock(m_record->m_mutex);
    m_record->m_halted = true;
}

void MemoryWaveOut::bufferQueued(const WaveHeader &header)
{
    std::lock_guard lock(m_record->m_mutex);
    m_record->m_writes.push_back(header.data);
}
