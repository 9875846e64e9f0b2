// libFuzzer target: arbitrary text through the readers that take text from
// outside the frame path: the log and debug masker, the batch rules' address
// and MAC arithmetic, the session cookie, a login answer and a language file.
#include "BatchRules.h"
#include "CommandLogText.h"
#include "FirmwareUploadThread.h"
#include "HttpClient.h"
#include "Language.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        fprintf(stderr, "fuzz_text: %s\n", what);
        abort();
    }
}

QString g_directory;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_directory = QDir::tempPath() + QStringLiteral("/orvane-fuzz-text-%1").arg(getpid());
    QDir().mkpath(g_directory);
    Language::setDirectory(g_directory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    const QByteArray masked = CommandLogText::maskPasswords(bytes);
    // Masking only ever takes text away or replaces it by the mask.
    require(masked.size() <= bytes.size() + 2 * int(strlen(CommandLogText::Mask)) * (bytes.count(':') + 1),
            "the masked text grew beyond its masks");
    const QByteArray line = CommandLogText::fromCommand(bytes.constData());
    require(!line.contains('\n'), "a log line spans two lines");

    const QString text = QString::fromUtf8(bytes);
    // Text as an address, a mask and a count of devices: every address handed
    // out is a host of the subnet, never its network or broadcast address.
    const QStringList parts = text.split(QLatin1Char(' '));
    if (parts.size() >= 2) {
        QString why;
        const QStringList planned = BatchRules::consecutiveAddresses(parts.at(0), parts.at(1), int(size % 300), &why);
        for (const QString& address : planned)
            require(BatchRules::checkStaticAddress(address, parts.at(1), QString()).isEmpty(),
                    "a batch handed out an address outside its subnet's hosts");
    }
    BatchRules::checkMac(text.left(64));
    BatchRules::checkRtpEndpoint(text.left(64));
    BatchRules::numbered(text.left(256), int(size % 1000));
    BatchRules::macSuccessor(text.left(64));
    HttpClient::sessionFromCookie(bytes);
    FirmwareUploadThread::isLoginAccepted(bytes);

    QFile file(g_directory + QStringLiteral("/fuzz.txt"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
        Language::load(QStringLiteral("fuzz"));
        for (auto it = Language::table().cbegin(); it != Language::table().cend(); ++it)
            require(!it.key().contains(QLatin1Char('\n')), "a language key spans two lines");
    }
    return 0;
}
