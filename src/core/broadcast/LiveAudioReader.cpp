#include "LiveAudioReader.h"

#include "AudioCapture.h"
#include "AudioPacketQueue.h"
#include "LiveAudioEncoder.h"
#include "LogFile.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace orvane {

LiveAudioReader::~LiveAudioReader()
{
    LiveAudioReader::close();
}

int LiveAudioReader::sampleFormatOf(const CaptureFormat& f)
{
    const bool extensible = f.formatTag == CaptureFormat::TagExtensible;
    if (extensible && f.subFormat == CaptureFormat::SubFormatIeeeFloat) {
        if (f.bitsPerSample == 32)
            return AV_SAMPLE_FMT_FLT;
        if (f.bitsPerSample == 64)
            return AV_SAMPLE_FMT_DBL;
        return AV_SAMPLE_FMT_NONE;
    }
    if (f.formatTag == CaptureFormat::TagPcm || (extensible && f.subFormat == CaptureFormat::SubFormatPcm)) {
        switch (f.bitsPerSample) {
        case 32:
            return AV_SAMPLE_FMT_S32;
        case 16:
            return AV_SAMPLE_FMT_S16;
        case 8:
            return AV_SAMPLE_FMT_U8;
        default:
            return AV_SAMPLE_FMT_NONE;
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

bool LiveAudioReader::open()
{
    close();
    m_device = new AudioCapture;
    m_device->setObserver(this);
    m_device->setDevice(m_deviceInfo.id.toUtf8().constData(), m_deviceInfo.kind);
    if (!m_device->open()) {
        close();
        return false;
    }
    if (!m_encoder) {
        ORVANE_LOG("endpoint %s opened, but its audio cannot be encoded\n", qPrintable(m_deviceInfo.id));
        close();
        return false;
    }
    return true;
}

void LiveAudioReader::onDeviceStarted(AudioCapture* device)
{
    if (m_encoder || !device || !device->mixFormat())
        return;
    const CaptureFormat& mix = *device->mixFormat();
    auto* encoder = new LiveAudioEncoder;
    if (!encoder->setup(mix.samplesPerSec, 0, mix.channels, sampleFormatOf(mix), OutputRate, 0,
                        OutputChannels, PayloadType,
                        m_encoderName.isEmpty() ? nullptr : m_encoderName.constData())) {
        delete encoder;
        return;
    }
    m_encoder = encoder;
}

void LiveAudioReader::onDeviceData(AudioCapture*, const unsigned char* data, int frames, int bytes)
{
    if (m_encoder)
        m_encoder->feed(data, frames, bytes);
}

AudioPacket* LiveAudioReader::readPacket()
{
    return m_encoder && m_encoder->packets() ? m_encoder->packets()->pop() : nullptr;
}

void LiveAudioReader::reset()
{
    if (m_encoder)
        m_encoder->reset();
}

void LiveAudioReader::finishInput()
{
    // The capture threads are joined first: the encoder is then touched by this thread alone.
    if (m_device) {
        m_device->close();
        delete m_device;
        m_device = nullptr;
    }
    if (m_encoder)
        m_encoder->flush();
}

void LiveAudioReader::close()
{
    // Joins the capture threads first: nothing feeds the encoder after this.
    if (m_device) {
        m_device->close();
        delete m_device;
        m_device = nullptr;
    }
    if (m_encoder) {
        m_encoder->teardown();
        delete m_encoder;
        m_encoder = nullptr;
    }
}

} // namespace orvane
