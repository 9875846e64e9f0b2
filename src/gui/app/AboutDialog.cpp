#include "AboutDialog.h"

#include "AlertDialog.h"
#include "AppConfig.h"
#include "Language.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

namespace {

QLabel* makeLabel(const char* word, QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("%1 : ").arg(translated(word)), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLabel* makeValue(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

} // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : Dialog(parent), m_versionLabel(makeLabel("System Version", this)),
      m_versionValue(makeValue(QLatin1String(SystemVersion), this)), m_dateLabel(makeLabel("Build Date", this)),
      m_dateValue(makeValue(QLatin1String(BuildDate), this)), m_languageLabel(makeLabel("Language", this)),
      m_languageComboBox(new QComboBox(this)), m_alarmTestLabel(makeLabel("Alarm Test", this)),
      m_alarmTestCheckBox(new QCheckBox(this)), m_searchTimeSpinBox(new QDoubleSpinBox(this))
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(translated("Settings"));
    // A layout rather than fixed places: the desktop's font decides the sizes.
    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(m_versionLabel, m_versionValue);
    form->addRow(m_dateLabel, m_dateValue);
    form->addRow(m_languageLabel, m_languageComboBox);
    form->addRow(m_alarmTestLabel, m_alarmTestCheckBox);
    // Some devices answer late on a busy segment; the operator may wait longer.
    m_searchTimeSpinBox->setObjectName(QStringLiteral("searchTimeSpinBox"));
    m_searchTimeSpinBox->setRange(0.5, 60);
    m_searchTimeSpinBox->setDecimals(1);
    m_searchTimeSpinBox->setSingleStep(0.5);
    m_searchTimeSpinBox->setSuffix(QStringLiteral(" s"));
    form->addRow(makeLabel("Search time", this), m_searchTimeSpinBox);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(translated("Close"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addWidget(buttons);
    m_languageComboBox->addItem(translated("English"));
    m_languageComboBox->addItem(translated("Simple Chinese"));
    {
        AppConfig configure;
        m_languageComboBox->setCurrentIndex(
            configure.language().compare(QLatin1String("cn"), Qt::CaseInsensitive) == 0 ? 1 : 0);
        m_alarmTestCheckBox->setChecked(configure.alarmTest() != 0);
        m_searchTimeSpinBox->setValue(configure.searchTime() / 1000.0);
    }
    // Connected after the stored values are shown, so that showing them stores nothing.
    connect(m_languageComboBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &AboutDialog::onLanguageComboBoxIndexChanged);
    connect(m_alarmTestCheckBox, &QCheckBox::toggled, this, &AboutDialog::onAlarmTestChanged);
    connect(m_searchTimeSpinBox, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &AboutDialog::onSearchTimeChanged);
    resize(400, 280);
}

void AboutDialog::onLanguageComboBoxIndexChanged(int index)
{
    if (index == 0 || index == 1) {
        AppConfig configure;
        configure.setLanguage(index == 0 ? QStringLiteral("en") : QStringLiteral("cn"));
    }
    QWidget* over = parentWidget() ? parentWidget() : this;
    AlertDialog alert(over);
    alert.setObjectName(QStringLiteral("restartNotice"));
    alert.resize(350, 100);
    alert.setText(translated("Language settings will take effect after restart"));
    alert.centerOn(over);
    alert.exec();
}

void AboutDialog::onAlarmTestChanged(bool checked)
{
    AppConfig configure;
    configure.setAlarmTest(checked ? 1 : 0);
}

void AboutDialog::onSearchTimeChanged(double seconds)
{
    AppConfig().setSearchTime(qRound(seconds * 1000));
}

} // namespace orvane
