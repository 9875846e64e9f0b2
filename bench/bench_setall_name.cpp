// "Set All" on the name page over 100 emulated devices, through the real
// widgets: the total time of the job and its time per device, against the
// bare round trip of the same command to the emulator without the program.
#include "BenchSupport.h"
#include "EmulatedSegment.h"
#include "CommandFrame.h"
#include "DeviceTableModel.h"
#include "DeviceSearch.h"
#include "NamePage.h"
#include "RawFrame.h"
#include "CopyingTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <vector>

using namespace orvane;

namespace {

const int DeviceCount = 100;

// One SetName per device straight from a raw socket on the near end: the
// emulator's own reply time plus the wire, with nothing of the program in it.
bool bareRoundTrips(const NetNamespacePair& pair, const Adapter& adapter, std::vector<double>* ms)
{
    NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
    RawPacketSocket socket;
    if (!scope.ok() || !socket.open(pair.interfaceName(NetNamespacePair::Near)))
        return false;
    for (int k = 1; k <= DeviceCount; ++k) {
        const uint8_t mac[6] = {0x02, 0, 0, 0, uint8_t(k >> 8), uint8_t(k)};
        const int host = 256 + k;
        const uint8_t ip[4] = {198, uint8_t(18 + ((host >> 16) & 1)), uint8_t(host >> 8), uint8_t(host)};
        const QByteArray text = QByteArray("{\"id\":") + QByteArray::number(900000 + k) +
                                ",\"method\":\"SetName\",\"name\":\"Bare\"}";
        RawFrame* frame = CommandFrame::build(adapter.address, adapter.ip, mac, ip, text.constData(),
                                                      text.size());
        const QByteArray bytes(reinterpret_cast<const char*>(frame->bytes()), frame->length());
        frame->release();
        QElapsedTimer timer;
        timer.start();
        if (!socket.send(bytes))
            return false;
        const QByteArray id = QByteArray("\"id\":") + QByteArray::number(900000 + k);
        bool answered = false;
        while (!answered && timer.elapsed() < 3000) {
            const QByteArray reply = socket.receive(int(3000 - timer.elapsed()));
            // The device's answer: sent from its own MAC, carrying the command's id.
            answered = reply.size() > 60 && uint8_t(reply[42]) == 0x88 &&
                       memcmp(reply.constData() + 6, mac, 6) == 0 && reply.contains(id);
        }
        if (!answered)
            return false;
        ms->push_back(timer.nsecsElapsed() / 1e6);
    }
    return true;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double mean(const std::vector<double>& v)
{
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? 0 : sum / double(v.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    std::unique_ptr<NetNamespacePair> wire;
    Adapter adapter;
    if (const int status = benchWire("bench_setall_name", wire, &adapter))
        return status;
    NetNamespacePair& pair = *wire;
    EmulatedSegment segment;
    if (!benchSegment("bench_setall_name", segment, pair, "[]", DeviceCount))
        return 1;

    std::vector<double> bare;
    if (!bareRoundTrips(pair, adapter, &bare)) {
        fprintf(stderr, "bench_setall_name: the emulator did not answer the bare commands\n");
        return 1;
    }

    ProtocolClient client;
    {
        NetnsScope scope(pair.namespaceName(NetNamespacePair::Near));
        client.open(&adapter);
    }
    if (!waitForDevices(client, DeviceCount)) {
        fprintf(stderr, "bench_setall_name: not every device answered the search\n");
        return 1;
    }
    QWidget window;
    window.resize(1000, 700);
    auto* table = new CopyingTableView(&window);
    table->setGeometry(0, 50, 1000, 350);
    auto* model = new DeviceTableModel(table);
    model->setDevices(DeviceSearch::run(client, 1000, false));
    auto* page = new NamePage(&window, &client, model);
    page->setGeometry(0, 400, 1000, 300);
    window.show();
    page->setCurrentDevice(model->deviceAt(0));
    page->findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Hall"));

    QElapsedTimer timer;
    timer.start();
    page->findChild<QPushButton*>(QStringLiteral("setAllButton"))->click();
    const double totalMs = timer.nsecsElapsed() / 1e6;

    int renamed = 0;
    for (DeviceRecord* device : model->devices())
        renamed += device->name() == QLatin1String("Hall");
    const int sent = segment.commands(QStringLiteral("SetName")).size() - DeviceCount; // minus the bare ones
    const double perDevice = totalMs / DeviceCount;
    printf("Set All (name) over %d emulated devices, through the page and its job\n", model->rowCount());
    printf("  commands sent:                 %d, devices renamed: %d\n", sent, renamed);
    printf("  total:                         %.1f ms\n", totalMs);
    printf("  per device:                    %.3f ms\n", perDevice);
    printf("  bare round trip (no program):  median %.3f ms, mean %.3f ms\n", median(bare), mean(bare));
    printf("  program's share per device:    %.3f ms (goal: under 5 ms)\n", perDevice - mean(bare));
    page->setCurrentDevice(nullptr);
    segment.stop();
    return renamed == DeviceCount ? 0 : 1;
}
