#include "OrvaneAdapterList.h"
#include "VyConfigure.h"
#include "VyNetworkDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
std::unique_ptr<OrvaneAdapterList> threeAdapters()
{
    std::unique_ptr<OrvaneAdapterList> list(new OrvaneAdapterList);
    const char* entries[][3] = {{"eth0", "Office", "10.0.0.5"},
                                {"eth1", "Lab", "192.168.50.2"},
                                {"eth2", "Site", "192.168.1.9"}};
    for (auto& e : entries) {
        std::unique_ptr<OrvaneAdapter> a(new OrvaneAdapter);
        OrvaneAdapter::setText(a->pcapName, e[0]);
        OrvaneAdapter::setText(a->description, e[1]);
        OrvaneAdapterList::parseDotted(e[2], a->ip);
        list->append(std::move(a));
    }
    return list;
}
} // namespace

class TestNetworkDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { QFile::remove(VyConfigure::filePath()); }
    void entriesAndPreselection();
    void rememberedAdapterIsPreselected();
    void okStoresTheChoice();
    void okWithoutAdaptersChangesNothing();
    void layout();
};

void TestNetworkDialog::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestNetworkDialog::entriesAndPreselection()
{
    VyNetworkDialog dialog;
    dialog.setList(threeAdapters());
    QComboBox* combo = dialog.findChild<QComboBox*>();
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("Office 10.0.0.5"));
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(QString::fromUtf8(dialog.selectedAdapter()->pcapName), QStringLiteral("eth2"));
}

void TestNetworkDialog::rememberedAdapterIsPreselected()
{
    {
        VyConfigure c;
        c.setNetwork(QStringLiteral("eth0"));
    }
    VyNetworkDialog dialog;
    dialog.setList(threeAdapters());
    QCOMPARE(dialog.findChild<QComboBox*>()->currentIndex(), 0);
}

void TestNetworkDialog::okStoresTheChoice()
{
    VyNetworkDialog dialog;
    dialog.setList(threeAdapters());
    dialog.findChild<QComboBox*>()->setCurrentIndex(1);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(VyConfigure().network(), QStringLiteral("eth1"));
}

void TestNetworkDialog::okWithoutAdaptersChangesNothing()
{
    {
        VyConfigure c;
        c.setNetwork(QStringLiteral("keep"));
    }
    VyNetworkDialog dialog;
    dialog.setList(nullptr);
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.selectedAdapter());
    QCOMPARE(VyConfigure().network(), QStringLiteral("keep"));
}

void TestNetworkDialog::layout()
{
    VyNetworkDialog dialog;
    dialog.show();
    QCOMPARE(dialog.size(), QSize(500, 200));
    QCOMPARE(dialog.findChild<QComboBox*>()->geometry(), QRect(10, 60, 480, 30));
    QCOMPARE(dialog.findChild<QPushButton*>()->geometry(), QRect(220, 140, 60, 40));
    QCOMPARE(dialog.findChild<QLabel*>()->geometry(), QRect(0, 0, 500, 40));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

QTEST_MAIN(TestNetworkDialog)
#include "tst_networkdialog.moc"
