#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The device under CSoundServer. This base class keeps the queue of buffers and a thread of
// its own from which it calls the owner back as each buffer finishes, oldest first and never
// twice. So the stream can refill one buffer while the other sounds, and its callback may write
// again without ever running on the device's own thread. Subclasses only move the bytes:
// PulseWaveOut to the sound server, MemoryWaveOut into a record that tests read.

struct WaveFormat
{
    std::uint16_t channels = 2;
    std::uint32_t framesPerSecond = 44100;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t blockAlign = 4;
    std::uint32_t averageBytesPerSecond = 176400;
};

struct WaveHeader
{
    char *data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t flags = 0;
};

constexpr std::uint32_t kHeaderDone = 0x01;
constexpr std::uint32_t kHeaderPrepared = 0x02;
constexpr std::uint32_t kHeaderInQueue = 0x10;

enum WaveResult : int {
    kWaveOk = 0,
    kWaveError = 1,
    kWaveNotOpen = 5,
    kWaveInvalidParameter = 11,
    kWaveStillPlaying = 33,
    kWaveUnprepared = 34,
};

// Notices delivered to the callback.
constexpr std::uint32_t kWomDone = 0x3BD;        // param1: the finished header
constexpr std::uint32_t kWomDeviceLost = 0x7E01; // the sound server went away; no more notices

class WaveOut
{
public:
    using Callback = void (*)(WaveOut *device, std::uint32_t message, void *instance,
                              std::uintptr_t param1, std::uintptr_t param2);

    WaveOut() = default;
    WaveOut(const WaveOut &) = delete;
    WaveOut &operator=(const WaveOut &) = delete;
    virtual ~WaveOut();

    int open(const WaveFormat &format, Callback callback, void *instance);
    int prepareHeader(WaveHeader *header);
    int unprepareHeader(WaveHeader *header);
    int write(WaveHeader *header);
    // Halts the sound at once; queued buffers stay queued.
    int pause();
    // Hands every queued buffer back unreported and waits out a notice that is running. From
    // then on the device refuses writes and reports nothing until it is closed.
    int reset();
    // Fails with kWaveStillPlaying while buffers are queued.
    int close();
    bool isOpen() const;
    // Safe from any thread but the device's own: whatever waits for the device (an open that
    // connects, a halt that waits for the device to let go) gives up at once, and every later
    // open fails. For a program that is ending and will not wait for a sound server that does
    // not answer.
    void abandon() { abandonDevice(); }

    // The stream's volume at the sound server, as its mixer shows it: 1.0 is full (100 %), and
    // nothing louder is asked for. It never scales the samples written, which reach the server
    // as they were made. Kept while no stream is open, for the next one. Safe from any thread.
    static constexpr double kFullVolume = 1.0;
    void setVolume(double volume);
    double volume() const { return m_volume.load(); }
    // Told, on a thread of the device's, when the volume changed elsewhere (in the mixer).
    void setVolumeObserver(std::function<void(double volume)> observer);

protected:
    virtual int openDevice(const WaveFormat &format) = 0;
    virtual void closeDevice() = 0;
    virtual void haltDevice() = 0;
    // A buffer was queued: a device that pulls data may want to pull now. Called without locks.
    virtual void bufferQueued(const WaveHeader &header) { (void)header; }
    virtual void abandonDevice() {}
    // The volume was set: a device with a stream on a server passes it on.
    virtual void applyVolume(double volume) { (void)volume; }
    // For implementations: the server reports another volume for the stream.
    void volumeChangedElsewhere(double volume);

    // Takes up to maxBytes of queued sound, in order, into dest; buffers taken to their end are
    // reported done. Returns the bytes taken.
    std::size_t consume(char *dest, std::size_t maxBytes);
    std::size_t buffersQueued() const;
    // Bytes not yet taken from the oldest queued buffer; 0 when nothing is queued.
    std::size_t frontRemaining() const;
    void reportDeviceLost();
    // Waits until every notice posted so far has been handled.
    void waitForNotices();
    // For destructors of implementations: hands back all buffers and closes.
    void shutdown();

private:
    struct Notice
    {
        std::uint32_t message;
        std::uintptr_t param1;
    };
    void deliverNotices();
    // Ends the notice thread and marks the device closed.
    void stopNotices();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_refusing = false;
    bool m_lostReported = false;
    bool m_inCallback = false;
    bool m_quit = false;
    Callback m_callback = nullptr;
    void *m_instance = nullptr;
    std::deque<WaveHeader *> m_queue;
    std::size_t m_frontOffset = 0;
    std::deque<Notice> m_notices;
    std::thread m_noticeThread;

    std::atomic<double> m_volume{kFullVolume};
    std::mutex m_volumeObserverMutex;
    std::function<void(double)> m_volumeObserver;
};
