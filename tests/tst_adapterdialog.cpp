#include "AdapterList.h"
#include "AppConfig.h"
#include "AdapterDialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

namespace {
std::unique_ptr<AdapterList> threeAdapters()
{
    std::unique_ptr<AdapterList> list(new AdapterList);
    const char* entries[][3] = {{"eth0", "Office", "10.0.0.5"},
                                {"eth1", "Lab", "192.168.50.2"},
                                {"eth2", "Site", "192.168.1.9"}};
    for (auto& e : entries) {
        std::unique_ptr<Adapter> a(new Adapter);
        Adapter::setText(a->pcapName, e[0]);
        Adapter::setText(a->description, e[1]);
        AdapterList::parseDotted(e[2], a->ip);
        list->append(std::move(a));
    }
    return list;
}
} // namespace

class TestAdapterDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { QFile::remove(AppConfig::filePath()); }
    void entriesAndPreselection();
    void okStoresTheChoice();
    void okWithoutAdaptersChangesNothing();
};

void TestAdapterDialog::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestAdapterDialog::entriesAndPreselection()
{
    AdapterDialog dialog;
    dialog.setList(threeAdapters());
    QComboBox* combo = dialog.findChild<QComboBox*>();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("Office 10.0.0.5"));
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(QString::fromUtf8(dialog.selectedAdapter()->pcapName), QStringLiteral("eth2"));

    // The remembered adapter wins over the choose rule.
    AppConfig().setNetwork(QStringLiteral("eth0"));
    AdapterDialog again;
    again.setList(threeAdapters());
    QCOMPARE(again.findChild<QComboBox*>()->currentIndex(), 0);
}

void TestAdapterDialog::okStoresTheChoice()
{
    AdapterDialog dialog;
    dialog.setList(threeAdapters());
    dialog.findChild<QComboBox*>()->setCurrentIndex(1);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(AppConfig().network(), QStringLiteral("eth1"));
}

void TestAdapterDialog::okWithoutAdaptersChangesNothing()
{
    {
        AppConfig c;
        c.setNetwork(QStringLiteral("keep"));
    }
    AdapterDialog dialog;
    dialog.setList(nullptr);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.selectedAdapter());
    QCOMPARE(AppConfig().network(), QStringLiteral("keep"));
}

QTEST_MAIN(TestAdapterDialog)
#include "tst_adapterdialog.moc"
