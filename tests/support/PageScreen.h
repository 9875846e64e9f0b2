#pragma once

// The device table with one settings page below it, scripted devices answering
// in-process, and an operator answering the dialogs a click brings up.

#include "CommandFrame.h"
#include "CopyingTableView.h"
#include "DeviceTableDelegate.h"
#include "DeviceRecord.h"
#include "DeviceResult.h"
#include "DeviceTableModel.h"
#include "ProtocolClient.h"
#include "RawFrame.h"
#include "SettingsPage.h"
#include "Toast.h"
#include "ToastView.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <functional>

namespace orvane {

enum Answer { Ok, Refuse, Silent };

inline QString macOf(int k) { return QStringLiteral("02:00:00:00:00:%1").arg(k, 2, 16, QLatin1Char('0')); }

// Keeps every command; the addressed device answers on the sending thread, by
// default "success" with the members it was scripted with.
struct FakeDevices
{
    struct Sent
    {
        QString to;
        QJsonObject json;
    };

    explicit FakeDevices(ProtocolClient& client, bool open = true) : client(client)
    {
        client.setFrameSink([this](RawFrame* frame) { onFrame(frame); });
        if (open) {
            Adapter adapter;
            Adapter::setText(adapter.pcapName, "orvane-test-none0");
            memcpy(adapter.address, OwnMac, 6);
            memcpy(adapter.ip, OwnIp, 4);
            client.open(&adapter);
        }
    }
    ~FakeDevices() { client.close(); }

    void onFrame(RawFrame* frame)
    {
        if (!CommandFrame::isCommandFrame(*frame, nullptr)) {
            frame->release();
            return;
        }
        uint8_t mac[6], ip[4];
        memcpy(mac, frame->bytes(), 6);
        memcpy(ip, frame->bytes() + 30, 4);
        const QJsonObject json = QJsonDocument::fromJson(CommandFrame::text(*frame)).object();
        frame->release();
        const QString to = QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(mac), 6).toHex(':'));
        QMutexLocker lock(&mutex);
        sent.append({to, json});
        const Answer answer = answers.value(to, Ok);
        QJsonObject reply = members.value(to);
        lock.unlock();
        if (answer == Silent)
            return;
        reply.insert("id", json.value(QStringLiteral("id")));
        reply.insert("result", answer == Refuse ? "fail" : "success");
        const QByteArray text = QJsonDocument(reply).toJson(QJsonDocument::Compact);
        RawFrame* back = CommandFrame::build(mac, ip, OwnMac, OwnIp, text.constData(), text.size());
        client.onPacket(back);
        back->release();
    }
    QList<Sent> commands(const QString& method = QString())
    {
        QMutexLocker lock(&mutex);
        QList<Sent> out;
        for (const Sent& s : qAsConst(sent))
            if (method.isEmpty() || s.json.value(QStringLiteral("method")).toString() == method)
                out << s;
        return out;
    }
    // The destination, or the member key, of each command in order.
    QStringList destinations(const QString& method = QString(), const char* key = nullptr)
    {
        QStringList out;
        for (const Sent& s : commands(method))
            out << (key ? s.json.value(QLatin1String(key)).toVariant().toString() : s.to);
        return out;
    }
    void reset()
    {
        QMutexLocker lock(&mutex);
        sent.clear();
        answers.clear();
        members.clear();
    }
    void script(const QString& mac, Answer answer, const QJsonObject& replyMembers = {})
    {
        QMutexLocker lock(&mutex);
        answers.insert(mac, answer);
        members.insert(mac, replyMembers);
    }

    static constexpr uint8_t OwnMac[6] = {0x02, 0, 0, 0, 0xff, 0x01};
    static constexpr uint8_t OwnIp[4] = {198, 18, 0, 1};
    ProtocolClient& client;
    QMutex mutex; // guards the three below
    QList<Sent> sent;
    QMap<QString, Answer> answers;
    QMap<QString, QJsonObject> members;
};

// Records named "Device k" at 198.18.1.k, as a search would have made them.
inline QList<DeviceRecord*> makeDevices(int count)
{
    QList<DeviceRecord*> out;
    for (int k = 1; k <= count; ++k) {
        DeviceRecord* d = DeviceRecord::create();
        const uint8_t mac[6] = {0x02, 0, 0, 0, 0, uint8_t(k)};
        const uint8_t ip[4] = {198, 18, 1, uint8_t(k)};
        d->setMacBytes(mac);
        d->setIpBytes(ip);
        d->setMac(macOf(k));
        d->setIp(QStringLiteral("198.18.1.%1").arg(k));
        d->setName(QStringLiteral("Device %1").arg(k));
        d->setUid(QStringLiteral("UID%1").arg(k));
        d->setAccount(QStringLiteral("admin"));
        out << d;
    }
    return out;
}

// A window like the main one: the table above, one page below.
struct Screen
{
    explicit Screen(int devices)
    {
        window.resize(1000, 700);
        table = new CopyingTableView(&window);
        table->setGeometry(0, 50, 1000, 350);
        model = new DeviceTableModel(table);
        QList<DeviceRef> held;
        for (DeviceRecord* d : makeDevices(devices))
            held << DeviceRef::adopt(d);
        model->setDevices(held);
        window.show();
    }
    template <typename Page> Page* addPage(ProtocolClient* client, int current = 0)
    {
        auto* page = new Page(&window, client, model);
        page->setGeometry(0, 400, 1000, 300);
        page->show();
        if (current >= 0)
            page->setCurrentDevice(model->deviceAt(current));
        return page;
    }
    void tick(int row) { QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, checkBoxRect(row).center()); }
    QRect checkBoxRect(int row) const
    {
        QStyleOptionViewItem option;
        option.rect = table->visualRect(model->index(row, 0));
        return DeviceTableDelegate::checkBoxRect(option);
    }
    QStringList column(int c) const
    {
        QStringList out;
        for (int row = 0; row < model->rowCount(); ++row)
            out << model->index(row, c).data().toString();
        return out;
    }

    QWidget window;
    CopyingTableView* table;
    DeviceTableModel* model;
};

inline QString toastText(SettingsPage* page)
{
    return page->toast() && page->toast()->view() ? page->toast()->view()->label()->text() : QString();
}

inline void press(QWidget* widget, const char* button)
{
    auto* b = widget->findChild<QPushButton*>(QLatin1String(button));
    QVERIFY2(b, button);
    QTest::mouseClick(b, Qt::LeftButton);
}

inline QLineEdit* edit(QWidget* page, const QString& name) { return page->findChild<QLineEdit*>(name); }

inline void releaseAll(const QList<DeviceRecord*>& devices)
{
    for (DeviceRecord* d : devices)
        d->release();
}

inline QStringList outcomeWords(const QList<DeviceResult>& results)
{
    QStringList out;
    for (const DeviceResult& r : results)
        out << DeviceResult::outcomeText(r.outcome);
    return out;
}

// Answers confirmations with confirm, result lists with Retry failed while
// retries last (else OK); a dialog onModal returns true for is left to it.
struct Operator
{
    explicit Operator(bool confirm = true, int retries = 0) : confirm(confirm), retries(retries)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { handle(); });
        timer.start(10);
    }
    void handle()
    {
        QWidget* modal = qApp->activeModalWidget();
        if (!modal || modal->property("handled").toBool())
            return;
        if (onModal && onModal(modal)) {
            modal->setProperty("handled", true);
        } else if (modal->objectName() == QLatin1String("confirmDialog")) {
            modal->setProperty("handled", true);
            questions << modal->findChild<QLabel*>(QStringLiteral("confirmText"))->text();
            press(modal, confirm ? "okButton" : "cancelButton");
        } else if (modal->objectName() == QLatin1String("resultListDialog")) {
            modal->setProperty("handled", true);
            lists << QStringList();
            auto* list = modal->findChild<QTreeWidget*>(QStringLiteral("resultList"));
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                lists.last() << QStringList{list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1),
                                            list->topLevelItem(i)->text(2)}.join('|');
            const bool retry = retries > 0 && modal->findChild<QPushButton*>(QStringLiteral("retryButton"))->isVisible();
            if (retry && --retries >= 0 && beforeRetry)
                beforeRetry();
            press(modal, retry ? "retryButton" : "okButton");
        }
    }

    bool confirm;
    int retries;
    std::function<bool(QWidget*)> onModal;
    std::function<void()> beforeRetry;
    QStringList questions;
    QList<QStringList> lists;
    QTimer timer;
};

} // namespace orvane
