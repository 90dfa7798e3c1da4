#include "PulseWaveOut.h"

#include "TonewellLog.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr unsigned kConnectTimeoutMs = 5000;
constexpr unsigned kHaltTimeoutMs = 2000;
// The server is asked for all the sound the stream has ready: a busy desktop then never starves
// it, and Stop is still heard at once because it drops what the server holds. It takes more in
// small requests as it plays, and starts once a fifth of a second is there.
constexpr pa_usec_t kTargetUs = PulseWaveOut::kTargetMs * PA_USEC_PER_MSEC;
constexpr pa_usec_t kMinRequestUs = 100 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kPrebufferUs = 200 * PA_USEC_PER_MSEC;

struct ProplistDeleter
{
    void operator()(pa_proplist *p) const { pa_proplist_free(p); }
};
struct OperationDeleter
{
    void operator()(pa_operation *o) const { pa_operation_unref(o); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistDeleter>;
using Operation = std::unique_ptr<pa_operation, OperationDeleter>;

// Runs on either thread: Qt's logging is the one part of Qt that may be used on the main loop's.
void logPulseError(pa_context *context, const char *what)
{
    qCWarning(lcTonewell, "%s: %s", what, pa_strerror(pa_context_errno(context)));
}

pa_cvolume serverVolume(double volume, std::uint8_t channels)
{
    pa_cvolume levels;
    pa_cvolume_set(&levels, channels, static_cast<pa_volume_t>(std::lround(volume * PA_VOLUME_NORM)));
    return levels;
}

} // namespace

PulseWaveOut::PulseWaveOut(std::string applicationName)
    : m_name(std::move(applicationName))
{
}

PulseWaveOut::~PulseWaveOut()
{
    shutdown();
}

PulseWaveOut::ServerBuffer PulseWaveOut::serverBuffer() const
{
    std::lock_guard lock(m_grantedMutex);
    return m_granted;
}

void PulseWaveOut::abandonDevice()
{
    m_abandoned = true;
    std::lock_guard lock(m_loopMutex);
    if (!m_mainloop || !m_started)
        return;
    // Wakes a wait of the opening or halting thread, which then sees m_abandoned.
    pa_threaded_mainloop_lock(m_mainloop);
    pa_threaded_mainloop_signal(m_mainloop, 0);
    pa_threaded_mainloop_unlock(m_mainloop);
}

int PulseWaveOut::openDevice(const WaveFormat &format)
{
    m_ready = false;
    m_halted = false;
    m_lossLogged = false;
    m_writeFailureLogged = false;
    if (m_abandoned)
        return kWaveError;
    {
        std::lock_guard lock(m_grantedMutex);
        m_granted = {};
    }
    {
        std::lock_guard lock(m_loopMutex);
        m_mainloop = pa_threaded_mainloop_new();
    }
    if (!m_mainloop) {
        qCWarning(lcTonewell, "cannot open the sound stream: libpulse could not make its main loop");
        return kWaveError;
    }

    Proplist props(pa_proplist_new());
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_NAME, m_name.c_str());
    pa_proplist_sets(props.get(), PA_PROP_APPLICATION_ICON_NAME, "tonewell");
    pa_proplist_sets(props.get(), PA_PROP_MEDIA_ROLE, "music");

    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_mainloop), m_name.c_str(),
                                             props.get());
    if (!m_context) {
        qCWarning(lcTonewell, "cannot open the sound stream: libpulse could not make a connection context");
        teardown();
        return kWaveError;
    }
    pa_context_set_state_callback(m_context, &PulseWaveOut::onContextState, this);
    // No autospawn: a missing server is reported at once instead of a new one appearing.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        logPulseError(m_context, "cannot connect to the sound server");
        teardown();
        return kWaveError;
    }
    if (pa_threaded_mainloop_start(m_mainloop) < 0) {
        qCWarning(lcTonewell, "cannot open the sound stream: libpulse's main-loop thread did not start");
        teardown();
        return kWaveError;
    }
    {
        std::lock_guard lock(m_loopMutex);
        m_started = true;
    }

    pa_threaded_mainloop_lock(m_mainloop);
    const bool ok = awaitContext() && openStream(format, props.get());
    if (ok) {
        m_ready = true;
        pump();
    }
    pa_threaded_mainloop_unlock(m_mainloop);
    if (!ok) {
        teardown();
        return kWaveError;
    }
    return kWaveOk;
}

bool PulseWaveOut::awaitContext()
{
    const bool settled = waitUntil([this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))
                                                   || pa_context_get_state(m_context) == PA_CONTEXT_READY; },
                                   kConnectTimeoutMs);
    if (pa_context_get_state(m_context) == PA_CONTEXT_READY)
        return true;
    if (m_abandoned)
        return false;
    if (settled)
        logPulseError(m_context, "cannot connect to the sound server");
    else
        qCWarning(lcTonewell, "cannot connect to the sound server: no answer within %u ms", kConnectTimeoutMs);
    return false;
}

void PulseWaveOut::noteGrantedBuffer(const pa_sample_spec &spec)
{
    const pa_buffer_attr *granted = pa_stream_get_buffer_attr(m_stream);
    if (!granted)
        return;
    {
        std::lock_guard lock(m_grantedMutex);
        m_granted = {granted->maxlength, granted->tlength, granted->prebuf, granted->minreq};
    }
    const auto grantedMs = static_cast<unsigned>(pa_bytes_to_usec(granted->tlength, &spec) / PA_USEC_PER_MSEC);
    if (grantedMs < kEnoughMs)
        qCWarning(lcTonewell, "the sound server holds only %u ms of sound ahead (asked for %u ms): "
                              "a busy machine may hear gaps", grantedMs, unsigned(kTargetMs));
}

bool PulseWaveOut::openStream(const WaveFormat &format, pa_proplist *properties)
{
    const pa_sample_spec spec{PA_SAMPLE_S16LE, format.framesPerSecond, static_cast<std::uint8_t>(format.channels)};
    m_stream = pa_stream_new_with_proplist(m_context, m_name.c_str(), &spec, nullptr, properties);
    if (!m_stream) {
        logPulseError(m_context, "cannot make a playback stream");
        return false;
    }
    pa_stream_set_state_callback(m_stream, &PulseWaveOut::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseWaveOut::onStreamWrite, this);
    pa_stream_set_underflow_callback(m_stream, &PulseWaveOut::onUnderflow, this);
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kTargetUs, &spec));
    attr.prebuf = static_cast<std::uint32_t>(pa_usec_to_bytes(kPrebufferUs, &spec));
    attr.minreq = static_cast<std::uint32_t>(pa_usec_to_bytes(kMinRequestUs, &spec));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    // No latency adjustment: the server would then shrink its own buffer to the latency asked
    // for, and a sink's latency is not what the stream wants to hold.
    m_channels = spec.channels;
    const pa_cvolume chosen = serverVolume(volume(), spec.channels);
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_NOFLAGS,
                                   m_volumeChosen ? &chosen : nullptr, nullptr) < 0) {
        logPulseError(m_context, "cannot start a playback stream on the sound server");
        return false;
    }
    const bool settled = waitUntil([this] { return !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream))
                                                   || pa_stream_get_state(m_stream) == PA_STREAM_READY; },
                                   kConnectTimeoutMs);
    if (pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        noteGrantedBuffer(spec);
        followVolume();
        return true;
    }
    if (m_abandoned)
        return false;
    if (settled)
        logPulseError(m_context, "the sound server refused the playback stream");
    else
        qCWarning(lcTonewell, "the sound server did not set up the playback stream within %u ms", kConnectTimeoutMs);
    return false;
}

void PulseWaveOut::followVolume()
{
    const auto onServerEvent = [](pa_context *context, pa_subscription_event_type_t event, std::uint32_t index,
                                  void *self) {
        auto *device = static_cast<PulseWaveOut *>(self);
        const auto facility = event & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
        const auto type = event & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
        if (facility != PA_SUBSCRIPTION_EVENT_SINK_INPUT || type != PA_SUBSCRIPTION_EVENT_CHANGE
            || !device->m_stream || index != pa_stream_get_index(device->m_stream))
            return;
        const Operation ask(pa_context_get_sink_input_info(context, index, &PulseWaveOut::onStreamVolume, self));
        if (!ask)
            logPulseError(context, "cannot learn the stream's volume");
    };
    pa_context_set_subscribe_callback(m_context, onServerEvent, this);
    const Operation subscribe(pa_context_subscribe(m_context, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr));
    if (!subscribe)
        logPulseError(m_context, "cannot follow the mixer's volume for the stream");
    const Operation ask(pa_context_get_sink_input_info(m_context, pa_stream_get_index(m_stream),
                                                       &PulseWaveOut::onStreamVolume, this));
    if (!ask)
        logPulseError(m_context, "cannot learn the stream's volume");
}

void PulseWaveOut::applyVolume(double volume)
{
    m_volumeChosen = true;
    std::lock_guard lock(m_loopMutex);
    if (!m_mainloop || !m_started)
        return;
    pa_threaded_mainloop_lock(m_mainloop);
    if (m_ready && m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        const pa_cvolume levels = serverVolume(volume, m_channels);
        const Operation set(pa_context_set_sink_input_volume(m_context, pa_stream_get_index(m_stream), &levels,
                                                             nullptr, nullptr));
        if (!set)
            logPulseError(m_context, "cannot set the stream's volume");
    }
    pa_threaded_mainloop_unlock(m_mainloop);
}

void PulseWaveOut::onStreamVolume(pa_context *, const pa_sink_input_info *info, int eol, void *self)
{
    if (eol != 0 || !info)
        return;
    auto *device = static_cast<PulseWaveOut *>(self);
    const pa_volume_t level = pa_cvolume_avg(&info->volume);
    // The server keeps whole steps: a volume set here comes back as the step nearest to it, and
    // is no change.
    if (level == serverVolume(device->volume(), 1).values[0])
        return;
    device->volumeChangedElsewhere(double(level) / PA_VOLUME_NORM);
}

void PulseWaveOut::closeDevice()
{
    teardown();
}

void PulseWaveOut::haltDevice()
{
    if (!m_mainloop)
        return;
    pa_threaded_mainloop_lock(m_mainloop);
    m_halted = true;
    if (m_stream && pa_stream_get_state(m_stream) == PA_STREAM_READY) {
        // Cork stops the stream where it is; flush drops what the server still holds, so the
        // sound ends now rather than a quarter second later.
        const Operation cork(pa_stream_cork(m_stream, 1, nullptr, nullptr));
        if (!cork)
            logPulseError(m_context, "cannot pause the stream on the sound server");
        const Operation flush(pa_stream_flush(m_stream, &PulseWaveOut::onFlushed, this));
        if (!flush)
            logPulseError(m_context, "cannot drop the sound the server still holds");
        else if (!waitUntil([&] { return pa_operation_get_state(flush.get()) != PA_OPERATION_RUNNING
                                         || pa_stream_get_state(m_stream) != PA_STREAM_READY; },
                            kHaltTimeoutMs))
            if (!m_abandoned)
                qCWarning(lcTonewell, "the sound server did not drop the sound it holds within %u ms", kHaltTimeoutMs);
    }
    pa_threaded_mainloop_unlock(m_mainloop);
}

void PulseWaveOut::bufferQueued(const WaveHeader &)
{
    if (!m_mainloop)
        return;
    pa_threaded_mainloop_lock(m_mainloop);
    pump();
    pa_threaded_mainloop_unlock(m_mainloop);
}

void PulseWaveOut::pump()
{
    if (!m_ready || m_halted || pa_stream_get_state(m_stream) != PA_STREAM_READY)
        return;
    const auto failed = [this](const char *what) {
        if (!m_writeFailureLogged) {
            m_writeFailureLogged = true;
            logPulseError(m_context, what);
        }
    };
    std::size_t wanted = pa_stream_writable_size(m_stream);
    if (wanted == static_cast<std::size_t>(-1)) {
        failed("cannot learn how much sound the server wants");
        return;
    }
    while (wanted > 0) {
        void *data = nullptr;
        std::size_t length = wanted;
        if (pa_stream_begin_write(m_stream, &data, &length) < 0 || !data) {
            failed("cannot get room for sound from the server");
            return;
        }
        const std::size_t taken = consume(static_cast<char *>(data), std::min(length, wanted));
        if (taken == 0) {
            pa_stream_cancel_write(m_stream);
            return;
        }
        if (pa_stream_write(m_stream, data, taken, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            failed("cannot hand sound to the server");
            return;
        }
        wanted -= taken;
    }
}

bool PulseWaveOut::waitUntil(const std::function<bool()> &done, unsigned timeoutMs)
{
    m_timedOut = false;
    pa_time_event *timer = pa_context_rttime_new(
        m_context, pa_rtclock_now() + timeoutMs * PA_USEC_PER_MSEC,
        [](pa_mainloop_api *, pa_time_event *, const struct timeval *, void *userdata) {
            auto *self = static_cast<PulseWaveOut *>(userdata);
            self->m_timedOut = true;
            pa_threaded_mainloop_signal(self->m_mainloop, 0);
        },
        this);
    while (!done() && !m_timedOut && !m_abandoned)
        pa_threaded_mainloop_wait(m_mainloop);
    if (timer)
        pa_threaded_mainloop_get_api(m_mainloop)->time_free(timer);
    return done();
}

void PulseWaveOut::onContextState(pa_context *context, void *self)
{
    auto *device = static_cast<PulseWaveOut *>(self);
    if (device->m_ready && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
        device->lost("lost the sound server while playing");
    pa_threaded_mainloop_signal(device->m_mainloop, 0);
}

void PulseWaveOut::onStreamState(pa_stream *stream, void *self)
{
    auto *device = static_cast<PulseWaveOut *>(self);
    if (device->m_ready && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
        device->lost("the sound server ended the playback stream");
    pa_threaded_mainloop_signal(device->m_mainloop, 0);
}

void PulseWaveOut::onFlushed(pa_stream *, int success, void *self)
{
    auto *device = static_cast<PulseWaveOut *>(self);
    if (!success)
        logPulseError(device->m_context, "the sound server could not drop the sound it holds");
    pa_threaded_mainloop_signal(device->m_mainloop, 0);
}

void PulseWaveOut::onUnderflow(pa_stream *, void *self)
{
    ++static_cast<PulseWaveOut *>(self)->m_underruns;
}

void PulseWaveOut::lost(const char *what)
{
    if (!m_lossLogged) {
        m_lossLogged = true;
        logPulseError(m_context, what);
    }
    reportDeviceLost();
}

void PulseWaveOut::onStreamWrite(pa_stream *, std::size_t, void *self)
{
    static_cast<PulseWaveOut *>(self)->pump();
}

void PulseWaveOut::teardown()
{
    if (!m_mainloop)
        return;
    if (m_started)
        pa_threaded_mainloop_lock(m_mainloop);
    m_ready = false;
    if (m_stream) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
            pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
        m_stream = nullptr;
    }
    if (m_context) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_set_subscribe_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    if (m_started) {
        pa_threaded_mainloop_unlock(m_mainloop);
        // Never stopped with the lock held: the loop thread may be waiting for it.
        pa_threaded_mainloop_stop(m_mainloop);
    }
    std::lock_guard lock(m_loopMutex);
    pa_threaded_mainloop_free(m_mainloop);
    m_mainloop = nullptr;
    m_started = false;
}
