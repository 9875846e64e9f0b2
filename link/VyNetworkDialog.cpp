#include "VyNetworkDialog.h"

#include "OrvaneAdapterList.h"
#include "VyConfigure.h"
#include "VyLanguage.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

VyNetworkDialog::VyNetworkDialog(QWidget* parent)
    : VyDialog(parent), m_label(new QLabel(this)), m_comboBox(new QComboBox(this)),
      m_okButton(new QPushButton(this)), m_list(new OrvaneAdapterList)
{
    m_label->setText(vyTr("Please select network"));
    m_label->setAlignment(Qt::AlignCenter);
    m_okButton->setText(vyTr("OK"));
    connect(m_okButton, &QPushButton::clicked, this, &VyNetworkDialog::onClickOkButton);
    connect(m_comboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &VyNetworkDialog::onComoBoxIndexChanged);
    resize(500, 200);
}

VyNetworkDialog::~VyNetworkDialog() = default;

void VyNetworkDialog::setList(std::unique_ptr<OrvaneAdapterList> list)
{
    m_list = list ? std::move(list) : std::unique_ptr<OrvaneAdapterList>(new OrvaneAdapterList);
    m_comboBox->clear();
    for (int i = 0; i < m_list->size(); ++i) {
        const OrvaneAdapter* a = m_list->at(i);
        m_comboBox->addItem(QStringLiteral("%1 %2").arg(QString::fromUtf8(a->description),
                                                        OrvaneAdapterList::dotted(a->ip)));
    }
    const int chosen = m_list->chooseIndex(VyConfigure().network());
    if (chosen >= 0)
        m_comboBox->setCurrentIndex(chosen);
}

const OrvaneAdapter* VyNetworkDialog::selectedAdapter() const
{
    return m_list->at(m_comboBox->currentIndex());
}

void VyNetworkDialog::onClickOkButton(bool)
{
    const OrvaneAdapter* adapter = selectedAdapter();
    if (!adapter) {
        // Nothing to switch to: leave the open adapter as it is.
        reject();
        return;
    }
    {
        VyConfigure configure;
        configure.setNetwork(QString::fromUtf8(adapter->pcapName));
    }
    accept();
}

void VyNetworkDialog::onComoBoxIndexChanged(int)
{
}

void VyNetworkDialog::resizeEvent(QResizeEvent* event)
{
    VyDialog::resizeEvent(event);
    const int w = width();
    const int h = height();
    m_label->setGeometry(0, 0, w, 40);
    m_comboBox->setGeometry(10, (h - 160) / 2 + 40, w - 20, 30);
    m_okButton->setGeometry((w - 60) / 2, h - 60, 60, 40);
}
