// Round trip of one command frame: CaptureEngine sends it on the near end of a veth
// pair, an echo in the far namespace answers, and the observer sees the answer.
#include "BenchSupport.h"
#include "CommandFrame.h"
#include "CaptureEngine.h"
#include "RawFrame.h"
#include "CaptureObserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QMutex>
#include <QWaitCondition>
#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

using namespace orvane;

namespace {

class Waiter : public CaptureObserver
{
public:
    void onPacket(RawFrame* frame) override
    {
        if (!CommandFrame::isCommandFrame(*frame, nullptr))
            return;
        QMutexLocker lock(&mutex);
        last = QByteArray(CommandFrame::text(*frame));
        arrived.wakeAll();
    }
    bool waitFor(const QByteArray& text, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        QMutexLocker lock(&mutex);
        while (last != text) {
            if (!arrived.wait(&mutex, deadline))
                return false;
        }
        return true;
    }
    QMutex mutex;
    QWaitCondition arrived;
    QByteArray last;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? atoi(argv[1]) : 1000;
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_capture_roundtrip", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;

    RawPacketSocket far;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Far));
        if (!far.open(pair.interfaceName(NetNamespacePair::Far))) {
            fprintf(stderr, "cannot open the far interface\n");
            return 1;
        }
    }
    std::atomic<bool> stopEcho{false};
    std::thread echo([&] {
        while (!stopEcho.load()) {
            QByteArray frame = far.receive(100);
            if (frame.size() < 60 || uint8_t(frame[42]) != 0x88)
                continue;
            // Work on a plain buffer: GCC misreads writes through QByteArray::data() here.
            char reply[1514];
            const int length = std::min<int>(frame.size(), int(sizeof reply));
            memcpy(reply, frame.constData(), size_t(length));
            const uint8_t farIp[4] = {198, 18, 0, 2};
            memcpy(reply, frame.constData() + 6, 6);       // back to the sender
            memcpy(reply + 6, far.mac().constData(), 6);  // from the far end
            memcpy(reply + 22, far.mac().constData(), 6); // ARP sender
            memcpy(reply + 28, farIp, 4);
            memcpy(reply + 32, frame.constData() + 22, 10); // target = the asker
            far.send(QByteArray(reply, length));
        }
    });

    Waiter waiter;
    CaptureEngine pcap;
    pcap.setObserver(&waiter);
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        pcap.start(&adapter);
    }
    for (int i = 0; i < 500 && !pcap.isOpen(); ++i)
        QThread::msleep(10);

    const uint8_t farMac[6] = {0, 0, 0, 0, 0, 0};
    const uint8_t farIp[4] = {198, 18, 0, 2};
    std::vector<double> micros;
    micros.reserve(rounds);
    int lost = 0;
    for (int i = 0; i < rounds; ++i) {
        const QByteArray text = "{\"id\":" + QByteArray::number(i) + ",\"method\":\"search\"}";
        QElapsedTimer timer;
        timer.start();
        pcap.send(CommandFrame::build(adapter.address, adapter.ip, farMac, farIp, text.constData(), text.size()));
        if (!waiter.waitFor(text, 2000)) {
            ++lost;
            continue;
        }
        micros.push_back(timer.nsecsElapsed() / 1000.0);
    }
    pcap.stop();
    stopEcho.store(true);
    echo.join();

    if (micros.empty()) {
        fprintf(stderr, "no frame came back\n");
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    const double median = micros[micros.size() / 2];
    const double p99 = micros[std::min(micros.size() - 1, size_t(micros.size() * 0.99))];
    printf("qpcap round trip over veth: %zu frames, %d lost\n", micros.size(), lost);
    printf("  median %.3f ms, 99th percentile %.3f ms, max %.3f ms\n", median / 1000.0, p99 / 1000.0,
           micros.back() / 1000.0);
    return 0;
}
