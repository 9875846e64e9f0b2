#include "BatchRules.h"

#include <QtTest>

class TestSettingRules : public QObject
{
    Q_OBJECT
private slots:
    void addressCheck_data();
    void addressCheck();
    void addressCountUp_data();
    void addressCountUp();
    void macSuccessor_data();
    void macSuccessor();
    void passwordDigest_data();
    void passwordDigest();
};

void TestSettingRules::addressCheck_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "192.168.1.10" << true;
    QTest::newRow("zeros") << "0.0.0.0" << true;
    QTest::newRow("top") << "255.255.255.255" << true;
    QTest::newRow("leading zero") << "192.168.001.10" << false;
    QTest::newRow("256") << "256.1.1.1" << false;
    QTest::newRow("trailing blank") << "192.168.1.1 " << false;
    QTest::newRow("leading blank") << " 192.168.1.1" << false;
    QTest::newRow("three parts") << "192.168.1" << false;
    QTest::newRow("five parts") << "1.2.3.4.5" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("letters") << "a.b.c.d" << false;
}

void TestSettingRules::addressCheck()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(BatchRules::isValidAddress(text), valid);
}

void TestSettingRules::addressCountUp_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QStringList>("next");
    QTest::newRow("wraps without carry") << "192.168.1.254" << QStringList{"192.168.1.255", "192.168.1.0", "192.168.1.1"};
    QTest::newRow("plain") << "10.0.0.7" << QStringList{"10.0.0.8"};
}

void TestSettingRules::addressCountUp()
{
    QFETCH(QString, from);
    QFETCH(QStringList, next);
    QString ip = from;
    for (const QString& expected : next) {
        ip = BatchRules::nextAddress(ip);
        QCOMPARE(ip, expected);
    }
}

void TestSettingRules::macSuccessor_data()
{
    QTest::addColumn<QString>("mac");
    QTest::addColumn<QString>("next");
    QTest::newRow("plain") << "00:1a:2b:3c:4d:fe" << "00:1a:2b:3c:4d:ff";
    QTest::newRow("carry over separator") << "00:1a:2b:3c:4d:ff" << "00:1a:2b:3c:4e:00";
    QTest::newRow("nine becomes a") << "00-11-22-33-44-59" << "00-11-22-33-44-5a";
    QTest::newRow("all ones wrap") << "ff:ff:ff:ff:ff:ff" << "00:00:00:00:00:00";
    QTest::newRow("capital F carries") << "00:1A:2B:3C:4D:FF" << "00:1A:2B:3C:4E:00";
    QTest::newRow("no separators") << "001122334455" << "001122334456";
    QTest::newRow("no separators, inner place skipped") << "0011223344ff" << "001122334500";
    QTest::newRow("index 8 keeps its f") << "00112233ffff" << "00112234f000";
    QTest::newRow("31 characters") << QString(31, QLatin1Char('0')) << QString(30, QLatin1Char('0')) + "1";
    // The counter has room for 31 characters; longer texts are refused, not overrun.
    QTest::newRow("32 characters refused") << QString(32, QLatin1Char('0')) << QString();
    QTest::newRow("empty") << "" << "";
}

void TestSettingRules::macSuccessor()
{
    QFETCH(QString, mac);
    QFETCH(QString, next);
    QCOMPARE(BatchRules::macSuccessor(mac), next);
}

// What a device receives instead of the typed password: never the password itself.
void TestSettingRules::passwordDigest_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("digest");
    QTest::newRow("letters") << "secret" << "5ebe2294ecd0e0f08eab7690d2a6ee69";
    QTest::newRow("beyond ASCII, digest of UTF-8") << QStringLiteral("pässwörd 中文") << "d4aa26c2851483bb603376444d6c9d04";
    QTest::newRow("blanks are kept") << " padded " << "9285e1f8d8bc60824cfef16e1f8987e2";
    QTest::newRow("a digest is hashed again") << "5f4dcc3b5aa765d61d8327deb882cf99" << "696d29e0940a4957748fe3fc9efd22a3";
    QTest::newRow("JSON characters") << R"("quote\back)" << "2a0b602915a5d609a0601b433f38cc56";
}

void TestSettingRules::passwordDigest()
{
    QFETCH(QString, password);
    QFETCH(QString, digest);
    QCOMPARE(BatchRules::passwordDigest(password), digest);
}

QTEST_GUILESS_MAIN(TestSettingRules)
#include "tst_settingrules.moc"
