#include "SoundServer.h"

#include <cstdlib>
#include <limits>

namespace {
constexpr int kBufferCount = 2;
constexpr std::int64_t kBytesPerFrame = 4;

void *mallocBuffer(std::size_t bytes)
{
    return std::malloc(bytes);
}
} // namespace

CSoundServer::CSoundServer(std::unique_ptr<WaveOut> device, BufferAllocator allocate)
    : m_hWaveOut(std::move(device))
    , m_allocate(allocate ? allocate : &mallocBuffer)
{
}

CSoundServer::~CSoundServer()
{
    Close();
}

std::int32_t CSoundServer::BufferBytesFor(std::int32_t bufferingMs)
{
    const std::int64_t frames = std::int64_t(bufferingMs) * 44100 / 1000;
    const std::int64_t bytes = frames * kBytesPerFrame / kBufferCount;
    // Whole frames only: a half frame would shift every later sample into the other ear.
    const std::int64_t whole = bytes - bytes % kBytesPerFrame;
    if (whole < kBytesPerFrame || whole > std::numeric_limits<std::int32_t>::max())
        return 0;
    return static_cast<std::int32_t>(whole);
}

int CSoundServer::Open(SoundFillProc fill, std::int32_t bufferingMs)
{
    if (m_bOpen)
        return 1;
    m_pfnFill = fill;
    m_nBufferBytes = BufferBytesFor(bufferingMs);
    if (m_nBufferBytes == 0)
        return 0;

    if (m_hWaveOut->open(WaveFormat{}, &CSoundServer::WaveOutDone, this) != kWaveOk)
        return 0;

    for (int i = 0; i < kBufferCount; ++i) {
        m_buffers[i] = m_allocate(static_cast<std::size_t>(m_nBufferBytes));
        m_headers[i] = WaveHeader{};
    }
    if (!m_buffers[0] || !m_buffers[1]) {
        releaseBuffers();
        m_hWaveOut->close();
        return 0;
    }

    {
        std::lock_guard lock(m_rotation);
        m_nNext = 0;
        queueNextBufferLocked();
        queueNextBufferLocked();
    }
    m_bOpen = 1;
    return 1;
}

void CSoundServer::Close()
{
    if (!m_bOpen)
        return;
    m_hWaveOut->pause();
    // The device hands both buffers back and lets no notice run from here on, so nothing
    // fills or queues a buffer once Close has begun.
    m_hWaveOut->reset();
    m_pfnFill = nullptr;
    for (WaveHeader &header : m_headers) {
        if (header.flags & kHeaderPrepared)
            m_hWaveOut->unprepareHeader(&header);
    }
    releaseBuffers();
    m_hWaveOut->close();
    m_bOpen = 0;
}

void CSoundServer::QueueNextBuffer()
{
    std::lock_guard lock(m_rotation);
    queueNextBufferLocked();
}

void CSoundServer::queueNextBufferLocked()
{
    const int n = m_nNext;
    WaveHeader &header = m_headers[n];
    if (header.flags & kHeaderPrepared)
        m_hWaveOut->unprepareHeader(&header);
    if (m_pfnFill)
        m_pfnFill(static_cast<std::int16_t *>(m_buffers[n]), static_cast<std::uint32_t>(m_nBufferBytes));
    header.data = static_cast<char *>(m_buffers[n]);
    header.length = static_cast<std::uint32_t>(m_nBufferBytes);
    m_hWaveOut->prepareHeader(&header);
    m_hWaveOut->write(&header);
    m_nNext = (n + 1) % kBufferCount;
}

void CSoundServer::WaveOutDone(WaveOut *, std::uint32_t message, void *instance, std::uintptr_t,
                               std::uintptr_t)
{
    auto *stream = static_cast<CSoundServer *>(instance);
    if (!stream)
        return;
    if (message == kWomDone)
        stream->QueueNextBuffer();
    else if (message == kWomDeviceLost && stream->m_onDeviceLost)
        stream->m_onDeviceLost();
}

void CSoundServer::setDeviceLostHandler(std::function<void()> handler)
{
    m_onDeviceLost = std::move(handler);
}

void CSoundServer::releaseBuffers()
{
    for (void *&buffer : m_buffers) {
        std::free(buffer);
        buffer = nullptr;
    }
}
