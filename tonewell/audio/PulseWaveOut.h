#pragma once

#include "WaveOut.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

struct pa_context;
struct pa_proplist;
struct pa_sample_spec;
struct pa_stream;
struct pa_threaded_mainloop;

// The wave-output device on the desktop's sound server (PulseAudio, or PipeWire through its
// PulseAudio service). A buffer counts as finished once the server has taken all of it; the
// server is asked to hold about four seconds ahead of what is heard (all the sound the stream
// has ready), so that a busy machine never starves it; Stop drops that at once. What the server
// refuses, grants too little of, and its going away, is logged in lcTonewell with libpulse's
// reason. The volume is the stream's own at the server, the one its mixer shows and changes.
class PulseWaveOut final : public WaveOut
{
public:
    // The name under which the stream shows in the desktop's volume mixer.
    explicit PulseWaveOut(std::string applicationName);
    ~PulseWaveOut() override;

    // What the server holds ahead of the ear, as asked for and as it granted on the last open.
    static constexpr std::uint32_t kTargetMs = 4000;
    // Less than this granted is logged: a busy machine may then starve the stream.
    static constexpr std::uint32_t kEnoughMs = 2000;
    struct ServerBuffer
    {
        std::uint32_t maxlength = 0; // bytes
        std::uint32_t tlength = 0;
        std::uint32_t prebuf = 0;
        std::uint32_t minreq = 0;
    };
    // Safe from any thread.
    ServerBuffer serverBuffer() const;
    // Times the server ran out of sound while playing, since the device was made.
    int underruns() const { return m_underruns.load(); }

protected:
    int openDevice(const WaveFormat &format) override;
    void closeDevice() override;
    void haltDevice() override;
    void bufferQueued(const WaveHeader &header) override;
    void abandonDevice() override;
    void applyVolume(double volume) override;

private:
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onStreamWrite(pa_stream *stream, std::size_t bytes, void *self);
    static void onFlushed(pa_stream *stream, int success, void *self);
    static void onUnderflow(pa_stream *stream, void *self);
    static void onStreamVolume(pa_context *context, const struct pa_sink_input_info *info, int eol, void *self);

    // With the main-loop lock held, once the stream is ready: hears of mixer changes and asks
    // for the volume the stream has now.
    void followVolume();

    // With the main-loop lock held: wait until the context, then the stream, is ready.
    bool awaitContext();
    bool openStream(const WaveFormat &format, pa_proplist *properties);
    // With the main-loop lock held, once the stream is ready: keeps and checks what it got.
    void noteGrantedBuffer(const pa_sample_spec &spec);
    // On the main loop's thread: the server or the stream went away while playing.
    void lost(const char *what);

    // With the main-loop lock held: waits until `done` holds or the time-out passes.
    bool waitUntil(const std::function<bool()> &done, unsigned timeoutMs);
    // With the main-loop lock held: hands the server as much queued sound as it asks for.
    void pump();
    void teardown();

    std::string m_name;
    pa_threaded_mainloop *m_mainloop = nullptr;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    bool m_started = false;
    bool m_ready = false;  // both context and stream reached READY
    bool m_halted = false;
    bool m_timedOut = false;
    // Once per open each: a loss is seen by both the context and the stream, and a write
    // that fails may fail again at every request for more.
    bool m_lossLogged = false;
    bool m_writeFailureLogged = false;
    std::uint8_t m_channels = 2;
    // Set through setVolume() in this run: the next stream starts at it, instead of where the
    // server would put it (its default, or what the mixer last gave Tonewell).
    std::atomic<bool> m_volumeChosen{false};

    // Guards m_mainloop and m_started against abandon() from another thread.
    mutable std::mutex m_loopMutex;
    std::atomic<bool> m_abandoned{false};
    std::atomic<int> m_underruns{0};
    // Its own lock: it is written with the main-loop lock held, which abandon() takes inside
    // m_loopMutex.
    mutable std::mutex m_grantedMutex;
    ServerBuffer m_granted;
};
