#include "Language.h"
#include "LogFile.h"

#include <QTemporaryDir>
#include <QtTest>
#include <thread>
#include <vector>

using namespace orvane;

namespace {

QString formatted(const char* file, int level, const char* format, ...)
{
    char buffer[LogFile::LineBufferSize];
    va_list args;
    va_start(args, format);
    const QDateTime when(QDate(2024, 3, 7), QTime(9, 5, 3, 7));
    const int n = LogFile::formatLine(buffer, sizeof buffer, when, file, "F", 79, level, format, args);
    va_end(args);
    return n < 0 ? QStringLiteral("<filtered>") : QString::fromUtf8(buffer, n);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

} // namespace

class TestLogAndLanguage : public QObject
{
    Q_OBJECT
private slots:
    void lineFormat()
    {
        QCOMPARE(formatted("src/MainWindow", 5, "%s\n", "hi"), "[2024-03-07 09:05:03.007]  MainWindow:79(F) hi\n");
        QCOMPARE(formatted("a", 1, "x"), QStringLiteral("<filtered>"));
        QCOMPARE(formatted("a.cpp", 5, "%s", QByteArray(10000, 'x').constData()).size(), LogFile::LineBufferSize - 1);
    }
    // Four threads log at once: every line arrives whole; a log that cannot be
    // opened leaves the program running without one.
    void fileAndThreads()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("threads.log"));
        QVERIFY(LogFile::open(path));
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([t] {
                const QByteArray body(200, char('a' + t));
                for (int i = 0; i < 500; ++i)
                    ORVANE_LOG("<%s>\n", body.constData());
            });
        for (auto& th : threads)
            th.join();
        qInstallMessageHandler(nullptr);
        LogFile::write("x/y.cpp", "f", 1, 1, "below the minimum\n");
        LogFile::close();
        const QList<QByteArray> lines = readAll(path).split('\n');
        QCOMPARE(lines.size(), 2001); // the last split part is empty
        const QRegularExpression whole(QStringLiteral("tst_logandlanguage.cpp:.*<(.)\\1{199}>$"));
        for (const QByteArray& line : lines.mid(0, 2000))
            QVERIFY2(whole.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        QVERIFY(!LogFile::open(QStringLiteral("/nonexistent-dir/for/sure/x.log")) && !LogFile::isOpen());
        ORVANE_LOG("still fine %d\n", 1);
    }
    void languageFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QStringList>("translated"); // of Search, Set, a, After
        const QStringList english{"Search", "Set", "a", "After"};
        QTest::newRow("rules") << QByteArray("\"Search\" = \"\xe6\x90\x9c\";\nSet=First\nSet = \" Second \" ;;\n"
                                             "a=b=c\nno equals sign\n   \n\nAfter = blank\n")
                               << true << QStringList{QString::fromUtf8("\xe6\x90\x9c"), " Second ", "a", "After"};
        QTest::newRow("byte-order mark, CR LF") << QByteArray("\xef\xbb\xbfSearch = S\r\nSet = T") << true
                                                << QStringList{"S", "T", "a", "After"};
        QTest::newRow("invalid utf-8, nul bytes")
            << QByteArray("\xff\xfe\xc3 = \x80\x80\nA\0B = 1\nSearch = S\n", 28) << true << QStringList{"S", "Set", "a", "After"};
        // Damaged or hostile files are refused whole, quickly, and English stands.
        QTest::newRow("line over 4 KiB") << (QByteArray(4097, 'k') + " = v\nSearch = S\n") << false << english;
        QTest::newRow("file over 1 MiB") << (QByteArray("Search = S\n") + QByteArray(1 << 20, '\n')) << false << english;
    }
    void languageFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, loaded);
        QFETCH(QStringList, translated);
        QTemporaryDir dir;
        Language::setDirectory(dir.path() + QLatin1Char('/')); // a trailing slash names the same folder
        QFile file(dir.filePath(QStringLiteral("x.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush());
        QCOMPARE(Language::load(QString::fromLatin1(loaded ? "x.txt" : "x")), loaded);
        QStringList got;
        for (const char* text : {"Search", "Set", "a", "After"})
            got << ::translated(text);
        QCOMPARE(got, translated);
    }
    // Every line of the shipped files must reach the table (a blank line would
    // silently end a file, a stray "=" would drop its line), in both languages.
    void shippedLanguageFiles()
    {
        const QString directory = QStringLiteral(ORVANE_SOURCE_DIR "/language");
        Language::setDirectory(directory);
        QList<QStringList> keys;
        for (const char* name : {"en", "cn"}) {
            QVERIFY(Language::load(QLatin1String(name)));
            keys << Language::table().keys();
            QCOMPARE(keys.last().size(), readAll(QStringLiteral("%1/%2.txt").arg(directory, name)).count('\n'));
        }
        QCOMPARE(keys.first(), keys.last());
        QVERIFY(translated("Search") != QStringLiteral("Search"));
    }
};

QTEST_GUILESS_MAIN(TestLogAndLanguage)
#include "tst_logandlanguage.moc"
