#include "WaveOut.h"

#include <algorithm>
#include <cassert>
#include <cstring>

WaveOut::~WaveOut()
{
    assert(!m_noticeThread.joinable() && "implementations call shutdown() in their destructor");
}

int WaveOut::open(const WaveFormat &format, Callback callback, void *instance)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_open)
            return kWaveError;
        m_callback = callback;
        m_instance = instance;
        m_refusing = false;
        m_lostReported = false;
        m_quit = false;
        m_open = true;
    }
    m_noticeThread = std::thread(&WaveOut::deliverNotices, this);
    const int result = openDevice(format);
    if (result != kWaveOk)
        stopNotices();
    return result;
}

int WaveOut::prepareHeader(WaveHeader *header)
{
    if (!header || !header->data)
        return kWaveInvalidParameter;
    std::lock_guard lock(m_mutex);
    header->flags |= kHeaderPrepared;
    return kWaveOk;
}

int WaveOut::unprepareHeader(WaveHeader *header)
{
    if (!header)
        return kWaveInvalidParameter;
    std::lock_guard lock(m_mutex);
    if (header->flags & kHeaderInQueue)
        return kWaveStillPlaying;
    header->flags &= ~kHeaderPrepared;
    return kWaveOk;
}

int WaveOut::write(WaveHeader *header)
{
    if (!header)
        return kWaveInvalidParameter;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_refusing)
            return kWaveNotOpen;
        if (!(header->flags & kHeaderPrepared))
            return kWaveUnprepared;
        if (header->flags & kHeaderInQueue)
            return kWaveStillPlaying;
        header->flags = (header->flags & ~kHeaderDone) | kHeaderInQueue;
        m_queue.push_back(header);
    }
    bufferQueued(*header);
    return kWaveOk;
}

int WaveOut::pause()
{
    if (!isOpen())
        return kWaveNotOpen;
    haltDevice();
    return kWaveOk;
}

int WaveOut::reset()
{
    std::unique_lock lock(m_mutex);
    if (!m_open)
        return kWaveNotOpen;
    m_refusing = true;
    m_notices.clear();
    m_changed.wait(lock, [this] { return !m_inCallback; });
    for (WaveHeader *header : m_queue)
        header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
    m_queue.clear();
    m_frontOffset = 0;
    return kWaveOk;
}

int WaveOut::close()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_open)
            return kWaveNotOpen;
        if (!m_queue.empty())
            return kWaveStillPlaying;
        m_refusing = true;
    }
    closeDevice();
    stopNotices();
    return kWaveOk;
}

bool WaveOut::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

std::size_t WaveOut::consume(char *dest, std::size_t maxBytes)
{
    std::size_t taken = 0;
    bool posted = false;
    {
        std::lock_guard lock(m_mutex);
        while (taken < maxBytes && !m_queue.empty() && !m_refusing) {
            WaveHeader *front = m_queue.front();
            const std::size_t n = std::min<std::size_t>(maxBytes - taken, front->length - m_frontOffset);
            if (dest)
                std::memcpy(dest + taken, front->data + m_frontOffset, n);
            taken += n;
            m_frontOffset += n;
            if (m_frontOffset == front->length) {
                front->flags = (front->flags & ~kHeaderInQueue) | kHeaderDone;
                m_queue.pop_front();
                m_frontOffset = 0;
                m_notices.push_back({kWomDone, reinterpret_cast<std::uintptr_t>(front)});
                posted = true;
            }
        }
    }
    if (posted)
        m_changed.notify_all();
    return taken;
}

std::size_t WaveOut::frontRemaining() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.empty() ? 0 : m_queue.front()->length - m_frontOffset;
}

std::size_t WaveOut::buffersQueued() const
{
    std::lock_guard lock(m_mutex);
    return m_queue.size();
}

void WaveOut::reportDeviceLost()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_open || m_refusing || m_lostReported)
            return;
        m_lostReported = true;
        m_notices.push_back({kWomDeviceLost, 0});
    }
    m_changed.notify_all();
}

void WaveOut::waitForNotices()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_notices.empty() && !m_inCallback; });
}

void WaveOut::shutdown()
{
    if (!isOpen())
        return;
    reset();
    close();
}

void WaveOut::stopNotices()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_open = false;
        m_notices.clear();
    }
    m_changed.notify_all();
    m_noticeThread.join();
}

void WaveOut::deliverNotices()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_quit || !m_notices.empty(); });
        if (m_quit)
            return;
        const Notice notice = m_notices.front();
        m_notices.pop_front();
        m_inCallback = true;
        lock.unlock();
        m_callback(this, notice.message, m_instance, notice.param1, 0);
        lock.lock();
        m_inCallback = false;
        m_changed.notify_all();
    }
}

void WaveOut::setVolume(double volume)
{
    // NaN and negative volumes are silence, as media controls mean them.
    volume = volume > 0 ? std::min(volume, kFullVolume) : 0.0;
    m_volume = volume;
    applyVolume(volume);
}

void WaveOut::setVolumeObserver(std::function<void(double)> observer)
{
    std::lock_guard lock(m_volumeObserverMutex);
    m_volumeObserver = std::move(observer);
}

void WaveOut::volumeChangedElsewhere(double volume)
{
    if (m_volume.exchange(volume) == volume)
        return;
    std::lock_guard lock(m_volumeObserverMutex);
    if (m_volumeObserver)
        m_volumeObserver(volume);
}
