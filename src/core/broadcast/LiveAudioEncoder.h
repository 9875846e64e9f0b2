#pragma once

#include "AudioPacketQueue.h"

#include <cstdint>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFrame;
struct SwrContext;

namespace orvane {

class AudioRingBuffer;

// Turns captured blocks into encoded packets: resampling to the output
// format, cutting frames of the encoder's own frame size out of one-second
// rings, encoding, and queueing the packets for the RTP send thread. Feeding
// runs on one thread, popping the queue on another; they meet only in the
// rings and the queue, each with its own lock.
class LiveAudioEncoder
{
public:
    static constexpr int BitRate = 128000;
    static constexpr int Mp3PayloadType = 14;
    // Frame length for an encoder that takes any frame size: 20 ms.
    static constexpr int FramesPerSecondWhenFree = 50;

    LiveAudioEncoder() = default;
    ~LiveAudioEncoder();
    LiveAudioEncoder(const LiveAudioEncoder&) = delete;
    LiveAudioEncoder& operator=(const LiveAudioEncoder&) = delete;

    // Layouts are FFmpeg channel masks (0: the usual one for the channel
    // count); formats are AVSampleFormat values; outputRate or
    // outputChannels 0 keep the input's. encoderName picks one of FFmpeg's
    // encoders for the payload type by name; null takes its default. False
    // when no encoder, resampler or buffer can be made; the encoder is then
    // torn down.
    bool setup(int inputRate, uint64_t inputLayout, int inputChannels, int inputFormat, int outputRate,
               uint64_t outputLayout, int outputChannels, int payloadType, const char* encoderName = nullptr);
    // One captured block of interleaved samples in the input format.
    void feed(const uint8_t* data, int frames, int bytes);
    void teardown();
    // Drops waiting packets and buffered samples.
    void reset();
    // At the end of input: the samples short of a whole frame go out padded
    // with silence, then the frames the encoder still holds. Nothing can be
    // fed afterwards.
    void flush();

    AudioPacketQueue* packets() const { return m_packets; }
    bool isReady() const { return m_payloadType >= 0; }
    int payloadType() const { return m_payloadType; }
    int outputRate() const { return m_outputRate; }
    int outputChannels() const { return m_outputChannels; }
    int outputFormat() const { return m_outputFormat; }
    bool needsResampling() const { return m_needsResampling; }
    // Samples per channel in each encoded frame.
    int frameSamples() const { return m_frameSamples; }
    const char* encoderName() const;
    // Bytes each ring can hold, and how many the first one holds now.
    int ringCapacity() const;
    int ringCount() const;

private:
    void appendPlanes(uint8_t* const* planes, int samples);
    void encodeReadyFrames();
    void encodeFrame();
    void receivePackets();

    int m_inputRate = 0;
    int m_inputChannels = 0;
    int m_inputFormat = -1;
    int m_inputBlockAlign = 0;
    int m_outputRate = 0;
    int m_outputChannels = 0;
    int m_outputFormat = -1;
    bool m_needsResampling = false;
    SwrContext* m_resampler = nullptr;
    uint8_t** m_converted = nullptr; // resampler output planes
    int m_convertedCapacity = 0;     // samples per channel
    const AVCodec* m_codec = nullptr;
    AVCodecContext* m_context = nullptr;
    AVFrame* m_frame = nullptr; // reused for each encoded frame once the encoder lets go of it
    int m_bytesPerSample = 0;
    bool m_planar = false;
    int m_frameSamples = 0;
    std::vector<AudioRingBuffer*> m_rings; // interleaved samples, or one per plane
    std::vector<uint8_t> m_frameBytes;
    int m_payloadType = -1;
    AudioPacketQueue* m_packets = nullptr;
};

} // namespace orvane
