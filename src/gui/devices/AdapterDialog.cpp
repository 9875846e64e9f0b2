#include "AdapterDialog.h"

#include "AdapterList.h"
#include "AppConfig.h"
#include "Language.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace orvane {

AdapterDialog::AdapterDialog(QWidget* parent)
    : Dialog(parent), m_label(new QLabel(this)), m_comboBox(new QComboBox(this)),
      m_okButton(new QPushButton(this)), m_list(new AdapterList)
{
    setWindowTitle(translated("Network"));
    m_label->setText(translated("Please select network"));
    m_label->setAlignment(Qt::AlignCenter);
    m_okButton->setText(translated("OK"));
    connect(m_okButton, &QPushButton::clicked, this, &AdapterDialog::onClickOkButton);
    connect(m_comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &AdapterDialog::onComoBoxIndexChanged);
    resize(500, 200);
}

AdapterDialog::~AdapterDialog() = default;

void AdapterDialog::setList(std::unique_ptr<AdapterList> list)
{
    m_list = list ? std::move(list) : std::unique_ptr<AdapterList>(new AdapterList);
    m_comboBox->clear();
    for (int i = 0; i < m_list->size(); ++i) {
        const Adapter* a = m_list->at(i);
        m_comboBox->addItem(QStringLiteral("%1 %2").arg(QString::fromUtf8(a->description),
                                                        AdapterList::dotted(a->ip)));
    }
    const int chosen = m_list->chooseIndex(AppConfig().network());
    if (chosen >= 0)
        m_comboBox->setCurrentIndex(chosen);
}

const Adapter* AdapterDialog::selectedAdapter() const
{
    return m_list->at(m_comboBox->currentIndex());
}

void AdapterDialog::onClickOkButton(bool)
{
    const Adapter* adapter = selectedAdapter();
    if (!adapter) {
        // Nothing to switch to: leave the open adapter as it is.
        reject();
        return;
    }
    {
        AppConfig configure;
        configure.setNetwork(QString::fromUtf8(adapter->pcapName));
    }
    accept();
}

void AdapterDialog::onComoBoxIndexChanged(int)
{
}

void AdapterDialog::resizeEvent(QResizeEvent* event)
{
    Dialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    m_label->setGeometry(0, 0, w, 40);
    m_comboBox->setGeometry(10, (h - 160) / 2 + 40, w - 20, 30);
    m_okButton->setGeometry((w - 60) / 2, h - 60, 60, 40);
}

} // namespace orvane
