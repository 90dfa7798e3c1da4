#pragma once

#include "WaveOut.h"

#include <functional>
#include <string>

struct pa_context;
struct pa_proplist;
struct pa_stream;
struct pa_threaded_mainloop;

// The wave-output device on the desktop's sound server (PulseAudio, or PipeWire through its
// PulseAudio service). A buffer counts as finished once the server has taken all of it; the
// server holds about a quarter second ahead of what is heard. What the server refuses, and its
// going away, is logged in lcTonewell with libpulse's reason.
class PulseWaveOut final : public WaveOut
{
public:
    // The name under which the stream shows in the desktop's volume mixer.
    explicit PulseWaveOut(std::string applicationName);
    ~PulseWaveOut() override;

protected:
    int openDevice(const WaveFormat &format) override;
    void closeDevice() override;
    void haltDevice() override;
    void bufferQueued(const WaveHeader &header) override;

private:
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onStreamWrite(pa_stream *stream, std::size_t bytes, void *self);
    static void onFlushed(pa_stream *stream, int success, void *self);

    // With the main-loop lock held: wait until the context, then the stream, is ready.
    bool awaitContext();
    bool openStream(const WaveFormat &format, pa_proplist *properties);
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
};
