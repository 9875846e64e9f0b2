#include "RTPWinDeviceAudioReader.h"

#include "CoreAudio.h"
#include "RTPAudioEncoder.h"
#include "RTPPacketQueue.h"
#include "VyLog.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

RTPWinDeviceAudioReader::~RTPWinDeviceAudioReader()
{
    RTPWinDeviceAudioReader::close();
}

int RTPWinDeviceAudioReader::sampleFormatOf(const CoreAudioMixFormat& f)
{
    const bool extensible = f.formatTag == CoreAudioMixFormat::TagExtensible;
    if (extensible && f.subFormat == CoreAudioMixFormat::SubFormatIeeeFloat) {
        if (f.bitsPerSample == 32)
            return AV_SAMPLE_FMT_FLT;
        if (f.bitsPerSample == 64)
            return AV_SAMPLE_FMT_DBL;
        return AV_SAMPLE_FMT_NONE;
    }
    if (f.formatTag == CoreAudioMixFormat::TagPcm ||
        (extensible && f.subFormat == CoreAudioMixFormat::SubFormatPcm)) {
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

bool RTPWinDeviceAudioReader::open()
{
    close();
    m_device = new CoreAudioDevice;
    m_device->setObserver(this);
    m_device->setDevice(m_deviceInfo.id.toUtf8().constData(), m_deviceInfo.kind);
    if (!m_device->open()) {
        close();
        return false;
    }
    if (!m_encoder) {
        VYLOG("endpoint %s opened, but its audio cannot be encoded\n", qPrintable(m_deviceInfo.id));
        close();
        return false;
    }
    return true;
}

void RTPWinDeviceAudioReader::onDeviceStarted(CoreAudioDevice* device)
{
    if (m_encoder || !device || !device->mixFormat())
        return;
    const CoreAudioMixFormat& mix = *device->mixFormat();
    auto* encoder = new RTPAudioEncoder;
    if (!encoder->setup(mix.samplesPerSec, 0, mix.channels, sampleFormatOf(mix), OutputRate, 0,
                        OutputChannels, PayloadType,
                        m_encoderName.isEmpty() ? nullptr : m_encoderName.constData())) {
        delete encoder;
        return;
    }
    m_encoder = encoder;
}

void RTPWinDeviceAudioReader::onDeviceData(CoreAudioDevice*, const unsigned char* data, int frames, int bytes)
{
    if (m_encoder)
        m_encoder->feed(data, frames, bytes);
}

RTPAudioPacket* RTPWinDeviceAudioReader::readPacket()
{
    return m_encoder && m_encoder->packets() ? m_encoder->packets()->pop() : nullptr;
}

void RTPWinDeviceAudioReader::reset()
{
    if (m_encoder)
        m_encoder->reset();
}

void RTPWinDeviceAudioReader::close()
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
