#pragma once

#include "CoreAudioDeviceObserver.h"
#include "CoreAudioMixFormat.h"
#include "RTPAudioReader.h"
#include "VyCoreAudio.h"

#include <QByteArray>

class CoreAudioDevice;
class RTPAudioEncoder;

// Broadcasts one audio endpoint live: captures it, resamples to 44.1 kHz
// stereo and encodes MP3 at 128 kbit/s. Packets go out as soon as they exist.
class RTPWinDeviceAudioReader : public RTPAudioReader, public CoreAudioDeviceObserver
{
public:
    static constexpr int PayloadType = 14;
    static constexpr int OutputRate = 44100;
    static constexpr int OutputChannels = 2;

    RTPWinDeviceAudioReader() = default;
    ~RTPWinDeviceAudioReader() override;

    // False when the endpoint cannot be opened or its audio cannot be encoded:
    // a broadcast that would send nothing is not started.
    bool open() override;
    void close() override;
    bool isRealTime() override { return true; }
    RTPAudioPacket* readPacket() override;
    void reset() override;
    int payloadType() override { return PayloadType; }

    void setDevice(const CoreAudioDeviceInfo& device) { m_deviceInfo = device; }
    const CoreAudioDeviceInfo& device() const { return m_deviceInfo; }
    // One of FFmpeg's MP3 encoders by name; empty takes FFmpeg's default.
    void setEncoderName(const QByteArray& name) { m_encoderName = name; }

    void onDeviceStarted(CoreAudioDevice* device) override;
    void onDeviceData(CoreAudioDevice* device, const unsigned char* data, int frames, int bytes) override;

    // FFmpeg sample format (AVSampleFormat) of a mix format; AV_SAMPLE_FMT_NONE for one it cannot take.
    static int sampleFormatOf(const CoreAudioMixFormat& format);

    CoreAudioDevice* captureDevice() const { return m_device; }
    RTPAudioEncoder* encoder() const { return m_encoder; }

private:
    CoreAudioDeviceInfo m_deviceInfo;
    CoreAudioDevice* m_device = nullptr;
    RTPAudioEncoder* m_encoder = nullptr;
    QByteArray m_encoderName;
};
