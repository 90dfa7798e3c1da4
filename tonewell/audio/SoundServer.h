#pragma once

#include "WaveOut.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// Fills a buffer of byteCount bytes of 16-bit stereo sound.
using SoundFillProc = void (*)(std::int16_t *samples, std::uint32_t byteCount);

// An endless stream of 16-bit stereo sound at 44,100 frames per second, double-buffered:
// two buffers are filled and queued on Open; whenever the device has finished one, it is
// filled again and queued behind the other, until Close.
class CSoundServer
{
public:
    // Returns nullptr when the memory cannot be had; buffers are released with std::free.
    // Without one, std::malloc.
    using BufferAllocator = void *(*)(std::size_t bytes);

    explicit CSoundServer(std::unique_ptr<WaveOut> device, BufferAllocator allocate = nullptr);
    ~CSoundServer();
    CSoundServer(const CSoundServer &) = delete;
    CSoundServer &operator=(const CSoundServer &) = delete;

    // Returns 1 when the stream plays (or already played), 0 when the device cannot be
    // opened or the buffers cannot be had. bufferingMs is the sound held in both buffers.
    int Open(SoundFillProc fill, std::int32_t bufferingMs);
    // Stops the sound at once and releases the buffers and the device; once it returns, no
    // buffer is filled or queued any more.
    void Close();
    void QueueNextBuffer();
    static void WaveOutDone(WaveOut *device, std::uint32_t message, void *instance,
                            std::uintptr_t param1, std::uintptr_t param2);

    // Runs on the device's notice thread when the sound server goes away while the stream
    // is open. The stream stays open until Close.
    void setDeviceLostHandler(std::function<void()> handler);

    bool isOpen() const { return m_bOpen != 0; }
    WaveOut *device() const { return m_hWaveOut.get(); }
    std::int32_t bufferBytes() const { return m_nBufferBytes; }

    // The size of each of the two buffers for bufferingMs, in whole frames; 0 when that is
    // less than one frame or more than a 32-bit size can hold.
    static std::int32_t BufferBytesFor(std::int32_t bufferingMs);

private:
    void queueNextBufferLocked();
    void releaseBuffers();

    int m_bOpen = 0;
    std::int32_t m_nBufferBytes = 0;
    std::int32_t m_nNext = 0;
    std::unique_ptr<WaveOut> m_hWaveOut;
    WaveHeader m_headers[2];
    void *m_buffers[2] = {nullptr, nullptr};
    SoundFillProc m_pfnFill = nullptr;

    BufferAllocator m_allocate;
    std::function<void()> m_onDeviceLost;
    // Keeps the priming fills of Open and a refill from a notice apart.
    std::mutex m_rotation;
};
