#include "LiveAudioEncoder.h"

#include "AudioPacket.h"
#include "AudioPacketQueue.h"
#include "AudioRingBuffer.h"
#include "LogFile.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace orvane {

namespace {

void layoutFor(AVChannelLayout* layout, uint64_t mask, int channels)
{
    av_channel_layout_uninit(layout);
    if (mask == 0 || av_channel_layout_from_mask(layout, mask) < 0 || layout->nb_channels != channels)
        av_channel_layout_default(layout, channels);
}

} // namespace

LiveAudioEncoder::~LiveAudioEncoder()
{
    teardown();
}

const char* LiveAudioEncoder::encoderName() const
{
    return m_codec ? m_codec->name : "";
}

bool LiveAudioEncoder::setup(int inputRate, uint64_t inputLayout, int inputChannels, int inputFormat,
                             int outputRate, uint64_t outputLayout, int outputChannels, int payloadType,
                             const char* encoderName)
{
    teardown();
    if (payloadType != Mp3PayloadType || inputRate <= 0 || inputChannels <= 0 || inputFormat < 0 ||
        inputFormat >= AV_SAMPLE_FMT_NB) {
        ORVANE_LOG("no encoder for payload type %d from rate %d, %d channels, format %d\n", payloadType, inputRate,
              inputChannels, inputFormat);
        return false;
    }
    m_codec = encoderName ? avcodec_find_encoder_by_name(encoderName) : avcodec_find_encoder(AV_CODEC_ID_MP3);
    if (!m_codec || m_codec->id != AV_CODEC_ID_MP3) {
        ORVANE_LOG("no MP3 encoder %s\n", encoderName ? encoderName : "");
        m_codec = nullptr;
        return false;
    }

    AVChannelLayout inLayout{}, outLayout{};
    layoutFor(&inLayout, inputLayout, inputChannels);

    int rate = outputRate > 0 ? outputRate : inputRate;
    if (const int* rates = m_codec->supported_samplerates) {
        bool listed = false;
        for (const int* r = rates; *r; ++r)
            listed |= *r == rate;
        if (!listed)
            rate = rates[0];
    }

    const int channels = outputChannels > 0 ? outputChannels : inputChannels;
    layoutFor(&outLayout, outputLayout, channels);
    if (const AVChannelLayout* layouts = m_codec->ch_layouts) {
        bool listed = false;
        for (const AVChannelLayout* l = layouts; l->nb_channels; ++l)
            listed |= av_channel_layout_compare(l, &outLayout) == 0;
        if (!listed) {
            av_channel_layout_uninit(&outLayout);
            av_channel_layout_copy(&outLayout, &layouts[0]);
        }
    }

    int format = inputFormat;
    if (const AVSampleFormat* formats = m_codec->sample_fmts) {
        bool listed = false;
        for (const AVSampleFormat* f = formats; *f != AV_SAMPLE_FMT_NONE; ++f)
            listed |= *f == inputFormat;
        if (!listed)
            format = formats[0];
    }

    m_context = avcodec_alloc_context3(m_codec);
    bool ok = m_context != nullptr;
    if (ok) {
        av_channel_layout_copy(&m_context->ch_layout, &outLayout);
        m_context->sample_rate = rate;
        m_context->sample_fmt = AVSampleFormat(format);
        m_context->bit_rate = BitRate;
        m_context->time_base = AVRational{1, rate};
        // LAME holds frames back for its bit reservoir: about 50 ms more delay
        // on a live broadcast for little gain at this bit rate. Encoders
        // without the option ignore it.
        if (m_codec->priv_class && m_context->priv_data)
            av_opt_set_int(m_context->priv_data, "reservoir", 0, 0);
        ok = avcodec_open2(m_context, m_codec, nullptr) >= 0;
        if (!ok)
            ORVANE_LOG("avcodec_open2 failure (%s, %d Hz, %d channels)\n", m_codec->name, rate,
                  outLayout.nb_channels);
    }

    m_inputRate = inputRate;
    m_inputChannels = inputChannels;
    m_inputFormat = inputFormat;
    m_inputBlockAlign = av_get_bytes_per_sample(AVSampleFormat(inputFormat)) * inputChannels;
    m_outputRate = rate;
    m_outputChannels = outLayout.nb_channels;
    m_outputFormat = format;
    m_bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(format));
    m_planar = av_sample_fmt_is_planar(AVSampleFormat(format)) != 0;

    if (ok) {
        // The encoder's own frame size: FFmpeg's contract asks for exactly that
        // many samples per frame from an encoder without variable frame sizes.
        const bool freeSize =
            (m_codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || m_context->frame_size <= 0;
        m_frameSamples = freeSize ? rate / FramesPerSecondWhenFree : m_context->frame_size;

        // Captured blocks are interleaved: planar output always goes through the resampler.
        m_needsResampling = inputRate != rate || av_channel_layout_compare(&inLayout, &outLayout) != 0 ||
                            inputChannels != m_outputChannels || inputFormat != format ||
                            (m_planar && m_outputChannels > 1);
        if (m_needsResampling) {
            ok = swr_alloc_set_opts2(&m_resampler, &outLayout, AVSampleFormat(format), rate, &inLayout,
                                     AVSampleFormat(inputFormat), inputRate, 0, nullptr) >= 0 &&
                 swr_init(m_resampler) >= 0;
            if (!ok)
                ORVANE_LOG("resampler set-up failure (%d Hz, %d channels, format %d)\n", inputRate, inputChannels,
                      inputFormat);
        }
    }
    if (ok) {
        m_frame = av_frame_alloc();
        ok = m_frame != nullptr;
    }
    if (ok) {
        m_frame->nb_samples = m_frameSamples;
        m_frame->format = format;
        m_frame->sample_rate = rate;
        ok = av_channel_layout_copy(&m_frame->ch_layout, &outLayout) >= 0 &&
             av_frame_get_buffer(m_frame, 0) >= 0;
    }
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (!ok) {
        teardown();
        return false;
    }

    // One second of output in each ring: a consumer that falls behind loses
    // the oldest audio instead of growing without bound.
    const int planes = m_planar ? m_outputChannels : 1;
    const int ringBytes = rate * m_bytesPerSample * (m_planar ? 1 : m_outputChannels);
    for (int p = 0; p < planes; ++p)
        m_rings.push_back(new AudioRingBuffer(ringBytes));
    m_packets = new AudioPacketQueue;
    m_payloadType = payloadType;
    return true;
}

void LiveAudioEncoder::teardown()
{
    for (AudioRingBuffer* r : m_rings)
        delete r;
    m_rings.clear();
    delete m_packets;
    m_packets = nullptr;
    m_payloadType = -1;
    swr_free(&m_resampler);
    if (m_converted) {
        av_freep(&m_converted[0]);
        av_freep(&m_converted);
    }
    m_convertedCapacity = 0;
    av_frame_free(&m_frame);
    avcodec_free_context(&m_context);
    m_codec = nullptr;
    m_needsResampling = false;
}

void LiveAudioEncoder::reset()
{
    if (m_packets)
        m_packets->clear();
    for (AudioRingBuffer* r : m_rings)
        r->reset();
}

void LiveAudioEncoder::flush()
{
    if (!isReady())
        return;
    if (m_rings[0]->count() > 0)
        encodeFrame();
    if (avcodec_send_frame(m_context, nullptr) >= 0)
        receivePackets();
}

int LiveAudioEncoder::ringCapacity() const
{
    return m_rings.empty() ? 0 : m_rings[0]->capacity();
}

int LiveAudioEncoder::ringCount() const
{
    return m_rings.empty() ? 0 : m_rings[0]->count();
}

void LiveAudioEncoder::feed(const uint8_t* data, int frames, int bytes)
{
    if (!isReady() || !data || frames <= 0 || bytes < frames * m_inputBlockAlign)
        return;
    if (!m_needsResampling) {
        uint8_t* plane = const_cast<uint8_t*>(data);
        appendPlanes(&plane, frames);
        encodeReadyFrames();
        return;
    }
    // Room for everything the resampler can give for this block, so it never
    // has to be drained: draining flushes it, which pads the stream with
    // made-up samples.
    const int room = swr_get_out_samples(m_resampler, frames);
    if (room <= 0)
        return;
    if (room > m_convertedCapacity) {
        if (m_converted) {
            av_freep(&m_converted[0]);
            av_freep(&m_converted);
        }
        m_convertedCapacity = 0;
        if (av_samples_alloc_array_and_samples(&m_converted, nullptr, m_outputChannels, room,
                                               AVSampleFormat(m_outputFormat), 0) < 0)
            return;
        m_convertedCapacity = room;
    }
    const uint8_t* in[1] = {data};
    const int n = swr_convert(m_resampler, m_converted, m_convertedCapacity, in, frames);
    if (n <= 0)
        return;
    appendPlanes(m_converted, n);
    encodeReadyFrames();
}

void LiveAudioEncoder::appendPlanes(uint8_t* const* planes, int samples)
{
    const int perPlane = samples * m_bytesPerSample * (m_planar ? 1 : m_outputChannels);
    for (size_t p = 0; p < m_rings.size(); ++p)
        m_rings[p]->write(planes[p], perPlane);
}

void LiveAudioEncoder::encodeReadyFrames()
{
    // Every whole frame that is ready, not one per block: blocks longer than
    // a frame would otherwise pile up until the ring overwrites them.
    const int frameBytes = m_frameSamples * m_bytesPerSample * (m_planar ? 1 : m_outputChannels);
    while (m_rings[0]->count() >= frameBytes)
        encodeFrame();
}

void LiveAudioEncoder::encodeFrame()
{
    const int frameBytes = m_frameSamples * m_bytesPerSample * (m_planar ? 1 : m_outputChannels);
    // The encoder may still hold the previous frame's buffers.
    const bool writable = av_frame_make_writable(m_frame) >= 0;
    for (size_t p = 0; p < m_rings.size(); ++p) {
        uint8_t* target = writable ? m_frame->extended_data[p] : nullptr;
        if (!target) {
            m_frameBytes.resize(size_t(frameBytes));
            target = m_frameBytes.data();
        }
        const int got = m_rings[p]->read(target, frameBytes);
        // A reset from another thread between two planes leaves this one short.
        if (got < frameBytes)
            memset(target + got, 0, size_t(frameBytes - got));
    }
    if (!writable)
        return;
    m_frame->nb_samples = m_frameSamples;
    m_frame->pts = AV_NOPTS_VALUE;
    if (avcodec_send_frame(m_context, m_frame) < 0)
        return;
    receivePackets();
}

void LiveAudioEncoder::receivePackets()
{
    AVPacket* pkt = av_packet_alloc();
    if (!pkt)
        return;
    while (avcodec_receive_packet(m_context, pkt) >= 0) {
        auto* packet = new AudioPacket;
        if (packet->setData(pkt->data, pkt->size)) {
            packet->sampleRate = m_outputRate;
            packet->channels = m_outputChannels;
            // An encoder that leaves the duration out still played one frame.
            packet->duration = pkt->duration > 0
                                   ? av_q2d(m_context->time_base) * double(pkt->duration) * 1000.0
                                   : double(m_frameSamples) * 1000.0 / double(m_outputRate);
            packet->payloadType = m_payloadType;
            m_packets->push(packet);
        } else {
            delete packet;
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
}

} // namespace orvane
