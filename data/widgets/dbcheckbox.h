#pragma once

#include <QCheckBox>

class DataBinding;

// A bound check box: ticked / clear / greyed from its field, toggled by click or Space once the table is in
// edit state, written to the field on focus loss or when the record is posted; Esc throws the change away.
class TDBCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TDBCheckBox(QWidget* parent = nullptr);

    void setDataSource(const QString& name);
    void setDataField(const QString& name);
    void setCaption(const QString& caption) { setText(caption); }
    // ";"-separated entries compared ignoring case with the text of a field that is not yes/no.
    void setValueChecked(const QString& values);
    void setValueUnchecked(const QString& values);
    DataBinding* binding() const { return m_binding; }

    // True while a toggled state is waiting to be written into the field.
    bool isPending() const { return m_pending; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void nextCheckState() override;

private:
    void showField();
    void toggle();
    void writePending(); // throws Failure

    DataBinding* m_binding;
    QString m_valueChecked = QStringLiteral("True");
    QString m_valueUnchecked = QStringLiteral("False");
    bool m_pending = false;
};
