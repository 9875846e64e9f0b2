// AudioCapture on the PulseAudio client library (PipeWire desktops serve
// it through pipewire-pulse). A render endpoint (a sink) is captured through
// its monitor source; the read thread drives the connection's main loop.
#include "AudioChunkQueue.h"
#include "AudioCapture.h"
#include "PulseAudioClient.h"
#include "LogFile.h"
#include "WorkerThread.h"

#include <pulse/context.h>
#include <pulse/introspect.h>
#include <pulse/operation.h>
#include <pulse/sample.h>
#include <pulse/stream.h>

#define CALOG(...) LogFile::write(__FILE__, "AudioCapture::openBackend", __LINE__, 5, __VA_ARGS__)

namespace orvane {

struct AudioCapture::Backend
{
    PulseAudioClient client;
    pa_stream* stream = nullptr;
    bool brokenLogged = false;
};

namespace {

struct SourceLookup
{
    bool done = false;
    bool found = false;
    QByteArray name; // the source to record from
    pa_sample_spec sampleSpec{};
    pa_channel_map map{};
};

void onSinkInfo(pa_context*, const pa_sink_info* i, int eol, void* user)
{
    auto* l = static_cast<SourceLookup*>(user);
    if (eol != 0) {
        l->done = true;
        return;
    }
    if (i && i->monitor_source_name) {
        l->found = true;
        l->name = i->monitor_source_name;
    }
}

void onSourceInfo(pa_context*, const pa_source_info* i, int eol, void* user)
{
    auto* l = static_cast<SourceLookup*>(user);
    if (eol != 0) {
        l->done = true;
        return;
    }
    if (i) {
        l->found = true;
        l->name = i->name;
        l->sampleSpec = i->sample_spec;
        l->map = i->channel_map;
    }
}

bool runOperation(PulseAudioClient& client, pa_operation* op, SourceLookup& lookup)
{
    if (!op)
        return false;
    client.runUntil([&] { return lookup.done; }, PulseAudioClient::RequestTimeoutMs);
    pa_operation_cancel(op);
    pa_operation_unref(op);
    return lookup.found;
}

// Formats the capture source can take as they are; the server converts any
// other (24-bit, big-endian, a-law) to float, which would otherwise leave
// the endpoint unusable.
bool isTakenAsIs(pa_sample_format_t f)
{
    return f == PA_SAMPLE_FLOAT32NE || f == PA_SAMPLE_S16NE || f == PA_SAMPLE_S32NE || f == PA_SAMPLE_U8;
}

CaptureFormat mixFormatOf(const pa_sample_spec& sampleSpec)
{
    CaptureFormat m;
    m.channels = sampleSpec.channels;
    m.samplesPerSec = int(sampleSpec.rate);
    m.bitsPerSample = int(pa_sample_size(&sampleSpec) * 8);
    m.blockAlign = int(pa_frame_size(&sampleSpec));
    m.avgBytesPerSec = int(pa_bytes_per_second(&sampleSpec));
    switch (sampleSpec.format) {
    case PA_SAMPLE_FLOAT32NE:
        m.formatTag = CaptureFormat::TagExtensible;
        m.subFormat = CaptureFormat::SubFormatIeeeFloat;
        break;
    case PA_SAMPLE_S16NE:
    case PA_SAMPLE_S32NE:
    case PA_SAMPLE_U8:
        m.formatTag = CaptureFormat::TagPcm;
        m.subFormat = CaptureFormat::SubFormatPcm;
        break;
    default:
        m.formatTag = 0;
        m.subFormat = CaptureFormat::SubFormatOther;
        break;
    }
    return m;
}

} // namespace

bool AudioCapture::openBackend()
{
    delete m_backend;
    m_backend = new Backend;
    PulseAudioClient& client = m_backend->client;
    if (!client.connect()) {
        CALOG("cannot reach the sound server: %s\n", client.error());
        return false;
    }

    SourceLookup lookup;
    if (m_kind == 1) {
        SourceLookup sink;
        if (!runOperation(
                client,
                pa_context_get_sink_info_by_name(client.context(), m_id.constData(), onSinkInfo, &sink),
                sink)) {
            CALOG("no render endpoint %s\n", m_id.constData());
            return false;
        }
        lookup.name = sink.name;
    } else {
        lookup.name = m_id;
    }
    const QByteArray sourceName = lookup.name;
    if (!runOperation(client,
                      pa_context_get_source_info_by_name(client.context(), sourceName.constData(),
                                                         onSourceInfo, &lookup),
                      lookup)) {
        CALOG("no capture endpoint %s\n", sourceName.constData());
        return false;
    }

    pa_sample_spec sampleSpec = lookup.sampleSpec;
    const bool asIs = isTakenAsIs(sampleSpec.format);
    if (!asIs)
        sampleSpec.format = PA_SAMPLE_FLOAT32NE;
    if (!pa_sample_spec_valid(&sampleSpec)) {
        CALOG("endpoint %s has no usable sample format\n", sourceName.constData());
        return false;
    }
    m_mixFormat = mixFormatOf(sampleSpec);
    CALOG("capture format samplerate = %d, channels = %d, bits = %d, blockAlign = %d, bytes = %d, format = "
          "%x\n",
          m_mixFormat.samplesPerSec, m_mixFormat.channels, m_mixFormat.bitsPerSample, m_mixFormat.blockAlign,
          m_mixFormat.avgBytesPerSec, unsigned(m_mixFormat.formatTag));

    const pa_channel_map* map =
        pa_channel_map_valid(&lookup.map) && lookup.map.channels == sampleSpec.channels ? &lookup.map : nullptr;
    m_backend->stream = pa_stream_new(client.context(), "Orvane broadcast", &sampleSpec, map);
    if (!m_backend->stream) {
        CALOG("pa_stream_new failure\n");
        return false;
    }
    // Small fragments keep the broadcast close to live; the buffer lets the
    // read thread fall behind for a while before the server drops audio.
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(pa_usec_to_bytes(pa_usec_t(BufferMs) * 1000, &sampleSpec));
    attr.fragsize = uint32_t(pa_usec_to_bytes(pa_usec_t(FragmentMs) * 1000, &sampleSpec));
    attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(m_backend->stream, sourceName.constData(), &attr, flags) < 0) {
        CALOG("pa_stream_connect_record failure\n");
        return false;
    }
    pa_stream* stream = m_backend->stream;
    client.runUntil(
        [stream] {
            const pa_stream_state_t s = pa_stream_get_state(stream);
            return s == PA_STREAM_READY || !PA_STREAM_IS_GOOD(s);
        },
        PulseAudioClient::ConnectTimeoutMs);
    if (pa_stream_get_state(stream) != PA_STREAM_READY) {
        CALOG("start capture failure\n");
        return false;
    }
    const pa_buffer_attr* got = pa_stream_get_buffer_attr(stream);
    if (got)
        CALOG("audio client buffer frame = %d\n", int(got->maxlength / uint32_t(m_mixFormat.blockAlign)));
    return true;
}

void AudioCapture::readAvailable(int waitMs)
{
    Backend* b = m_backend;
    if (!b || !b->stream || pa_stream_get_state(b->stream) != PA_STREAM_READY) {
        // The server went away or killed the stream: nothing more will come.
        if (b && !b->brokenLogged) {
            b->brokenLogged = true;
            ORVANE_LOG("capture stream lost\n");
        }
        WorkerThread::msleep(static_cast<unsigned long>(waitMs));
        if (b)
            b->client.iterate(0);
        return;
    }
    if (pa_stream_readable_size(b->stream) == 0 && !b->client.iterate(waitMs)) {
        WorkerThread::msleep(static_cast<unsigned long>(waitMs));
        return;
    }
    const int align = m_mixFormat.blockAlign > 0 ? m_mixFormat.blockAlign : 1;
    for (;;) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(b->stream, &data, &bytes) < 0 || bytes == 0)
            break;
        // A hole in the stream (null data) is queued as silence so that time keeps its length.
        const int frames = int(bytes / size_t(align));
        if (frames > 0)
            m_chunks->push(new AudioChunk(data, frames * align, frames));
        pa_stream_drop(b->stream);
    }
}

void AudioCapture::wakeReader()
{
    if (m_backend)
        m_backend->client.wakeup();
}

void AudioCapture::releaseBackend()
{
    if (!m_backend)
        return;
    if (m_backend->stream) {
        pa_stream_disconnect(m_backend->stream);
        pa_stream_unref(m_backend->stream);
        m_backend->stream = nullptr;
    }
    m_backend->client.disconnect();
    delete m_backend;
    m_backend = nullptr;
}

} // namespace orvane
