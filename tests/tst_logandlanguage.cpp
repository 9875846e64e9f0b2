#include "Language.h"
#include "LogFile.h"

#include <QTemporaryDir>
#include <QtTest>
#include <thread>
#include <vector>

namespace {

QString formatted(const QDateTime& when, const char* file, const char* function, int line, int level,
                  const char* format, ...)
{
    char buffer[LogFile::LineBufferSize];
    va_list args;
    va_start(args, format);
    const int n = LogFile::formatLine(buffer, sizeof buffer, when, file, function, line, level, format, args);
    va_end(args);
    return n < 0 ? QStringLiteral("<filtered>") : QString::fromUtf8(buffer, n);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestLogAndLanguage : public QObject
{
    Q_OBJECT
private slots:
    void lineFormat_data();
    void lineFormat();
    void longMessageIsCutAtBuffer();
    void levelFilterAndFile();
    void threadsDoNotInterleave();

    void trimming_data();
    void trimming();
    void fileRules();
    void hostileFiles_data();
    void hostileFiles();
    void shippedLanguageFiles();
};

void TestLogAndLanguage::lineFormat_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("expected");
    QTest::newRow("path cut at last slash") << QByteArray("src/MainWindow")
                                            << "[2024-03-07 09:05:03.007]  MainWindow:79(F) hi\n";
    QTest::newRow("backslash is no separator")
        << QByteArray("C:\\src\\Main.cpp") << "[2024-03-07 09:05:03.007]  C:\\src\\Main.cpp:79(F) hi\n";
    QTest::newRow("trailing slash") << QByteArray("src/") << "[2024-03-07 09:05:03.007]  :79(F) hi\n";
}

void TestLogAndLanguage::lineFormat()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, expected);
    const QDateTime when(QDate(2024, 3, 7), QTime(9, 5, 3, 7));
    QCOMPARE(formatted(when, file.constData(), "F", 79, 5, "%s\n", "hi"), expected);
}

void TestLogAndLanguage::longMessageIsCutAtBuffer()
{
    const QByteArray huge(10000, 'x');
    const QString line = formatted(QDateTime::currentDateTime(), "a.cpp", "f", 1, 5, "%s", huge.constData());
    QCOMPARE(line.size(), LogFile::LineBufferSize - 1);
    QVERIFY(line.endsWith(QLatin1Char('x')));
}

void TestLogAndLanguage::levelFilterAndFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.log"));
    QVERIFY(LogFile::open(path));
    LogFile::write("x/y.cpp", "f", 1, 1, "below the minimum\n");
    LogFile::write("x/y.cpp", "f", 2, 2, "at the minimum\n");
    ORVANE_LOG("usual %d\n", 5);
    LogFile::close();
    const QByteArray text = readAll(path);
    QVERIFY(!text.contains("below the minimum"));
    QVERIFY(text.contains("  y.cpp:2(f) at the minimum\n"));
    QVERIFY(text.contains("tst_logandlanguage.cpp:"));
    QVERIFY(text.contains("(levelFilterAndFile) usual 5\n"));
    QCOMPARE(text.count('\n'), 2);
    QCOMPARE(formatted(QDateTime::currentDateTime(), "a", "f", 1, 1, "x"), QStringLiteral("<filtered>"));

    // Opening again starts a fresh file.
    QVERIFY(LogFile::open(path));
    ORVANE_LOG("second\n");
    LogFile::close();
    QCOMPARE(readAll(path).count('\n'), 1);

    // A log that cannot be opened leaves the program running without one.
    QVERIFY(!LogFile::open(QStringLiteral("/nonexistent-dir/for/sure/x.log")));
    QVERIFY(!LogFile::isOpen());
    ORVANE_LOG("still fine %d\n", 1);
    LogFile::close();
}

void TestLogAndLanguage::threadsDoNotInterleave()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("threads.log"));
    QVERIFY(LogFile::open(path));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            const QByteArray body(200, char('a' + t));
            for (int i = 0; i < 500; ++i)
                ORVANE_LOG("<%s>\n", body.constData());
        });
    }
    for (auto& th : threads)
        th.join();
    qInstallMessageHandler(nullptr);
    LogFile::close();
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 2001); // the last split part is empty
    for (int i = 0; i < 2000; ++i) {
        const QByteArray& line = lines.at(i);
        QVERIFY2(line.startsWith('[') && line.endsWith('>'), line.constData());
        const int open = line.indexOf('<');
        const QByteArray body = line.mid(open + 1, line.size() - open - 2);
        QCOMPARE(body, QByteArray(200, body.at(0)));
    }
}

void TestLogAndLanguage::trimming_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("quoted with semicolon") << "  \"Search\" ;" << "Search";
    QTest::newRow("mixed blanks and semicolons") << "value ; ;;  " << "value";
    QTest::newRow("inner blanks kept") << " Set All " << "Set All";
    QTest::newRow("tabs are not trimmed") << "\tx\t" << "\tx\t";
    QTest::newRow("only one quote each side") << "\"\"x\"\"" << "\"x\"";
    QTest::newRow("quote then blank stays") << "\" x \"" << " x ";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("just quotes") << "\"\"" << "";
    QTest::newRow("single quote char") << "\"" << "";
}

void TestLogAndLanguage::trimming()
{
    QFETCH(QString, part);
    QFETCH(QString, trimmed);
    QCOMPARE(Language::trimPart(part), trimmed);
}

void TestLogAndLanguage::fileRules()
{
    QTemporaryDir dir;
    Language::setDirectory(dir.path() + QLatin1Char('/')); // a trailing slash names the same folder
    writeFile(dir.filePath(QStringLiteral("cn.txt")),
              "\"Search\" = \"\xe6\x90\x9c\xe7\xb4\xa2\";\n"
              "Set=First\n"
              "Set = Second\n" // a later line with the same key wins
              "a=b=c\n"         // two "=": skipped
              "no equals sign\n"
              "   \n"          // blanks only: not empty, skipped for want of "="
              "Network=\xe7\xbd\x91\xe7\xbb\x9c\n"
              "\n"
              "After = blank\n");
    QVERIFY(Language::load(QStringLiteral("cn")));
    QCOMPARE(Language::translate(QStringLiteral("Search")), QString::fromUtf8("\xe6\x90\x9c\xe7\xb4\xa2"));
    QCOMPARE(translated("Set"), QStringLiteral("Second"));
    QCOMPARE(translated("Network"), QString::fromUtf8("\xe7\xbd\x91\xe7\xbb\x9c"));
    QCOMPARE(translated("a"), QStringLiteral("a"));
    QCOMPARE(translated("After"), QStringLiteral("After"));
    QCOMPARE(Language::table().size(), 3);

    writeFile(dir.filePath(QStringLiteral("en.txt")), "One = 1\nTwo = 2\n\nThree = 3\n");
    QVERIFY(Language::load(QStringLiteral("en.txt")));
    QCOMPARE(Language::table().size(), 2);

    QVERIFY(!Language::load(QStringLiteral("de")));
    QVERIFY(Language::table().isEmpty());
    QCOMPARE(Language::currentFile(), QStringLiteral("de"));
    QCOMPARE(translated("One"), QStringLiteral("One"));
}

void TestLogAndLanguage::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("value"); // of "Search"
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbfSearch = S\n") << true << "S";
    QTest::newRow("no final newline") << QByteArray("A = 1\nSearch = S") << true << "S";
    QTest::newRow("windows line ends") << QByteArray("A = 1\r\nSearch = S\r\n") << true << "S";
    QTest::newRow("invalid utf-8 elsewhere") << QByteArray("\xff\xfe\xc3 = \x80\x80\nSearch = S\n") << true << "S";
    QTest::newRow("nul bytes") << QByteArray("A\0B = 1\nSearch = S\n", 19) << true << "S";
    QTest::newRow("empty file") << QByteArray() << true << "Search";
    // Damaged or hostile files are refused whole, quickly, and English stands.
    QTest::newRow("line over 4 KiB") << (QByteArray(4097, 'k') + " = v\nSearch = S\n") << false << "Search";
    QTest::newRow("file over 1 MiB") << (QByteArray("Search = S\n") + QByteArray(1 << 20, '\n')) << false
                                     << "Search";
}

void TestLogAndLanguage::hostileFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);
    QFETCH(QString, value);
    QTemporaryDir dir;
    Language::setDirectory(dir.path());
    writeFile(dir.filePath(QStringLiteral("x.txt")), content);
    QCOMPARE(Language::load(QStringLiteral("x")), loaded);
    QCOMPARE(translated("Search"), value);
}

void TestLogAndLanguage::shippedLanguageFiles()
{
    // Every line of the shipped files must reach the table: a blank line would
    // silently end a file, a stray "=" would drop its line.
    const QString directory = QStringLiteral(ORVANE_SOURCE_DIR "/language");
    Language::setDirectory(directory);
    QMap<QString, QString> tables[2];
    const QStringList names{QStringLiteral("en"), QStringLiteral("cn")};
    for (int i = 0; i < 2; ++i) {
        QVERIFY(Language::load(names.at(i)));
        tables[i] = Language::table();
        const QByteArray bytes = readAll(QStringLiteral("%1/%2.txt").arg(directory, names.at(i)));
        QVERIFY(!bytes.startsWith("\xef\xbb\xbf"));
        QCOMPARE(tables[i].size(), bytes.count('\n'));
    }
    QCOMPARE(tables[0].keys(), tables[1].keys());
    for (auto it = tables[0].cbegin(); it != tables[0].cend(); ++it)
        QCOMPARE(it.value(), it.key());
    for (const char* text : {"Network", "Search", "RTP Multicast", "Settings", "Set", "Set All", "Current Device",
                             "Please select network", "Language settings will take effect after restart"}) {
        QVERIFY2(tables[1].contains(QString::fromUtf8(text)), text);
        QVERIFY2(tables[1].value(QString::fromUtf8(text)) != QString::fromUtf8(text), text);
    }
}

QTEST_GUILESS_MAIN(TestLogAndLanguage)
#include "tst_logandlanguage.moc"
