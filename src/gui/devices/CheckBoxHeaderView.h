#pragma once

#include <QHeaderView>

class QCheckBox;

namespace orvane {

// The table's horizontal header with a check box over the first section, which
// ticks or clears every row at once.
class CheckBoxHeaderView : public QHeaderView
{
    Q_OBJECT

public:
    explicit CheckBoxHeaderView(QWidget* parent = nullptr);

    QCheckBox* checkBox() const { return m_checkBox; }

public slots:
    void onSectionResized(int logicalIndex, int oldSize, int newSize);
    void reset() override;

protected:
    void updateGeometries() override;

private:
    void placeCheckBox();

    QCheckBox* m_checkBox;
};

} // namespace orvane
