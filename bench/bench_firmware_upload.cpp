// A firmware job against emulated devices over a veth pair: a 256 MiB image
// to ten devices at once. Prints the total time, the throughput and how far
// this process's peak memory rose over its idle size; the image is streamed
// from disk, so the rise should stay far below the image's size.
#include "DeviceRecord.h"
#include "EmulatedSegment.h"
#include "FirmwareJob.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <sys/resource.h>

using namespace orvane;

namespace {

void quiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}

// A field of /proc/self/status in KiB.
long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Sets the peak (VmHWM) back to the present size, so that it measures the job alone.
bool resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quiet);
    const QStringList args = app.arguments();
    const int sizeMiB = args.size() > 1 ? args.at(1).toInt() : 256;
    const int devices = args.size() > 2 ? args.at(2).toInt() : 10;
    if (sizeMiB <= 0 || devices <= 0 || devices > 200) {
        fprintf(stderr, "usage: bench_firmware_upload [SIZE_MIB [DEVICES]]\n");
        return 2;
    }

    QString reason;
    if (!NetNamespacePair::canRun(&reason)) {
        fprintf(stderr, "cannot run: %s\n", qPrintable(reason));
        return 1;
    }
    NetNamespacePair pair;
    if (!pair.ok()) {
        fprintf(stderr, "cannot build the test wire: %s\n", qPrintable(pair.error()));
        return 1;
    }
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("firmware.bin"));
    {
        // Sparse: the size costs no disk, and reads come from the page cache.
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(sizeMiB) << 20)) {
            fprintf(stderr, "cannot create %s\n", qPrintable(image));
            return 1;
        }
    }
    QCryptographicHash digest(QCryptographicHash::Sha256);
    {
        QFile file(image);
        file.open(QIODevice::ReadOnly);
        digest.addData(&file);
    }
    const QByteArray expected = digest.result().toHex();

    EmulatedSegment segment;
    QString error;
    if (!segment.start(pair, "[]", devices, &error, {QStringLiteral("--web")})) {
        fprintf(stderr, "bench_firmware_upload: %s\n", qPrintable(error));
        return 1;
    }

    QList<DeviceRecord*> records;
    for (int k = 1; k <= devices; ++k)
        records << EmulatedSegment::deviceRecord(k);

    auto cpuSeconds = [] {
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const long idleRss = statusKiB("VmRSS:");
    const bool peakReset = resetPeak();
    const long idlePeak = statusKiB("VmHWM:");
    const double cpuBefore = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    bool ended = false;
    QStringList lines;
    bool allUploaded = false;
    {
        FirmwareJob job(records, image);
        ended = pair.runIn(NetNamespacePair::Near, [&] { return job.run(); });
        lines = job.resultLines();
        allUploaded = job.allUploaded();
    }
    const double elapsed = double(timer.nsecsElapsed()) / 1e9;
    const long peak = statusKiB("VmHWM:");
    const double cpu = cpuSeconds() - cpuBefore;
    for (DeviceRecord* d : records)
        d->release();

    segment.stop();
    int verified = 0;
    const QRegularExpression upload(QStringLiteral("^upload \\S+ parts=1 size=(\\d+) sha256=([0-9a-f]+) "));
    for (const QString& note : segment.notes()) {
        const QRegularExpressionMatch m = upload.match(note);
        if (m.hasMatch() && m.captured(1).toLongLong() == (qint64(sizeMiB) << 20) &&
            m.captured(2).toLatin1() == expected)
            ++verified;
    }

    const double totalMiB = double(sizeMiB) * devices;
    printf("firmware upload: %d MiB image to %d emulated devices at once (at most %d)\n", sizeMiB, devices,
           FirmwareJob::MaxUploads);
    for (const QString& line : lines)
        printf("  %s\n", qPrintable(line));
    printf("job ended by itself:      %s, all uploaded: %s, images arrived intact (SHA-256): %d of %d\n",
           ended ? "yes" : "no", allUploaded ? "yes" : "no", verified, devices);
    printf("total time:               %.2f s\n", elapsed);
    printf("throughput:               %.1f MiB/s in all, %.1f MiB/s per device\n", totalMiB / elapsed,
           totalMiB / elapsed / devices);
    printf("program's processor time: %.2f s (the emulator, which hashes every image, runs beside it)\n",
           cpu);
    printf("idle resident size:       %.1f MiB\n", idleRss / 1024.0);
    printf("peak during the job:      %.1f MiB%s\n", peak / 1024.0,
           peakReset ? "" : " (peak not reset: since start)");
    printf("peak rise over idle:      %.1f MiB (goal: under 64 MiB)\n",
           (peak - (peakReset ? idlePeak : idleRss)) / 1024.0);
    return ended && allUploaded && verified == devices ? 0 : 1;
}
