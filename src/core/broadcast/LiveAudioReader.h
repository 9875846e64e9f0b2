#pragma once

#include "AudioCaptureObserver.h"
#include "CaptureFormat.h"
#include "AudioReader.h"
#include "AudioEndpoints.h"

#include <QByteArray>

namespace orvane {

class AudioCapture;
class LiveAudioEncoder;

// Broadcasts one audio endpoint live: captures it, resamples to 44.1 kHz
// stereo and encodes MP3 at 128 kbit/s. Packets go out as soon as they exist.
class LiveAudioReader : public AudioReader, public AudioCaptureObserver
{
public:
    static constexpr int PayloadType = 14;
    static constexpr int OutputRate = 44100;
    static constexpr int OutputChannels = 2;

    LiveAudioReader() = default;
    ~LiveAudioReader() override;

    // False when the endpoint cannot be opened or its audio cannot be encoded:
    // a broadcast that would send nothing is not started.
    bool open() override;
    void close() override;
    bool isRealTime() override { return true; }
    AudioPacket* readPacket() override;
    void reset() override;
    void finishInput() override;
    int payloadType() override { return PayloadType; }

    void setDevice(const AudioEndpoint& device) { m_deviceInfo = device; }
    const AudioEndpoint& device() const { return m_deviceInfo; }
    // One of FFmpeg's MP3 encoders by name; empty takes FFmpeg's default.
    void setEncoderName(const QByteArray& name) { m_encoderName = name; }

    void onDeviceStarted(AudioCapture* device) override;
    void onDeviceData(AudioCapture* device, const unsigned char* data, int frames, int bytes) override;

    // FFmpeg sample format (AVSampleFormat) of a mix format; AV_SAMPLE_FMT_NONE for one it cannot take.
    static int sampleFormatOf(const CaptureFormat& format);

    AudioCapture* captureDevice() const { return m_device; }
    LiveAudioEncoder* encoder() const { return m_encoder; }

private:
    AudioEndpoint m_deviceInfo;
    AudioCapture* m_device = nullptr;
    LiveAudioEncoder* m_encoder = nullptr;
    QByteArray m_encoderName;
};

} // namespace orvane
