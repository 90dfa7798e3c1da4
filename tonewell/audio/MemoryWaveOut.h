#pragma once

#include "WaveOut.h"

#include <memory>
#include <mutex>
#include <vector>

// A device in memory, for tests: it records every byte it plays and plays only when a test
// steps it. Notices still arrive on the layer's own thread, as from a real device.
class MemoryWaveOut final : public WaveOut
{
public:
    // What the device did; it outlives the device, so a test can look after the stream that
    // owned the device is gone.
    class Record
    {
    public:
        std::vector<char> played() const;
        // Data pointers in the order they were written.
        std::vector<const char *> writes() const;
        int opens() const;
        int closes() const;
        bool halted() const;

    private:
        friend class MemoryWaveOut;
        mutable std::mutex m_mutex;
        bool m_failOpen = false;
        bool m_halted = false;
        int m_opens = 0;
        int m_closes = 0;
        std::vector<char> m_played;
        std::vector<const char *> m_writes;
    };

    MemoryWaveOut();
    ~MemoryWaveOut() override;

    // Makes the next opens fail, as a missing sound server would.
    void setFailOpen(bool fail);
    // Plays the oldest queued buffer to its end and waits until its notice has been handled.
    // Returns false when nothing was queued or the device is halted.
    bool step();
    // As if the sound server went away; waits until the notice has been handled.
    void loseDevice();
    std::size_t queued() const { return buffersQueued(); }
    std::shared_ptr<const Record> record() const { return m_record; }

protected:
    int openDevice(const WaveFormat &format) override;
    void closeDevice() override;
    void haltDevice() override;
    void bufferQueued(const WaveHeader &header) override;

private:
    std::shared_ptr<Record> m_record;
};
