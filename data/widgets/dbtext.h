#pragma once

#include <QLabel>

class DataBinding;

// A bound text label: the display text of one field of the current record, on one line, clipped, with "&"
// shown as it is. It never sizes itself to its text.
class TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    void setDataSource(const QString& name);
    void setDataField(const QString& name);
    DataBinding* binding() const { return m_binding; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    void updateText();

    DataBinding* m_binding;
};
