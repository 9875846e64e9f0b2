#pragma once

#include <functional>

struct pa_mainloop;
struct pa_context;

namespace orvane {

// One connection to the sound server with a main loop of its own, driven by
// whichever thread uses it at the time (never two at once). Every wait is
// bounded, so a server that stalls cannot hang the user interface.
class PulseAudioClient
{
public:
    static constexpr int ConnectTimeoutMs = 3000;
    static constexpr int RequestTimeoutMs = 3000;

    PulseAudioClient() = default;
    ~PulseAudioClient();
    PulseAudioClient(const PulseAudioClient&) = delete;
    PulseAudioClient& operator=(const PulseAudioClient&) = delete;

    // Connects without spawning a server; false (and why, in error()) when none answers.
    bool connect();
    void disconnect();
    const char* error() const;

    // Runs the loop until done() holds or timeoutMs passes; returns done().
    bool runUntil(const std::function<bool()>& done, int timeoutMs);
    // One pass of the loop that blocks at most waitMs; false when the loop is broken.
    bool iterate(int waitMs);
    // Thread-safe: makes a blocked iterate() return at once.
    void wakeup();

    pa_mainloop* loop() const { return m_loop; }
    pa_context* context() const { return m_context; }

private:
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    int m_lastError = 0;
};

} // namespace orvane
