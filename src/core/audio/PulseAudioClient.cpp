#include "PulseAudioClient.h"

#include <QElapsedTimer>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>

namespace orvane {

PulseAudioClient::~PulseAudioClient()
{
    disconnect();
}

bool PulseAudioClient::connect()
{
    disconnect();
    m_loop = pa_mainloop_new();
    if (!m_loop)
        return false;
    m_context = pa_context_new(pa_mainloop_get_api(m_loop), "Orvane");
    if (!m_context)
        return false;
    // A root tool must never start a sound server of its own on the technician's machine.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_lastError = pa_context_errno(m_context);
        return false;
    }
    const bool settled = runUntil(
        [this] {
            const pa_context_state_t s = pa_context_get_state(m_context);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        },
        ConnectTimeoutMs);
    if (!settled || pa_context_get_state(m_context) != PA_CONTEXT_READY) {
        m_lastError = settled ? pa_context_errno(m_context) : PA_ERR_TIMEOUT;
        return false;
    }
    return true;
}

void PulseAudioClient::disconnect()
{
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    if (m_loop) {
        pa_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

const char* PulseAudioClient::error() const
{
    return pa_strerror(m_lastError);
}

bool PulseAudioClient::iterate(int waitMs)
{
    if (!m_loop)
        return false;
    if (pa_mainloop_prepare(m_loop, waitMs * 1000) < 0)
        return false;
    if (pa_mainloop_poll(m_loop) < 0)
        return false;
    return pa_mainloop_dispatch(m_loop) >= 0;
}

void PulseAudioClient::wakeup()
{
    if (m_loop)
        pa_mainloop_wakeup(m_loop);
}

bool PulseAudioClient::runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || !iterate(int(qMin<qint64>(left, 50))))
            return done();
    }
    return true;
}

} // namespace orvane
