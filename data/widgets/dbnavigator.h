#pragma once

#include <QFlags>
#include <QVector>
#include <QWidget>

class DataBinding;
class QAbstractButton;

// The navigator: ten record buttons in a fixed order, the visible ones sharing the bar's width equally;
// their enabled states follow the table's notices.
class TDBNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button {
        nbFirst = 0x001,
        nbPrior = 0x002,
        nbNext = 0x004,
        nbLast = 0x008,
        nbInsert = 0x010,
        nbDelete = 0x020,
        nbEdit = 0x040,
        nbPost = 0x080,
        nbCancel = 0x100,
        nbRefresh = 0x200,
    };
    Q_DECLARE_FLAGS(Buttons, Button)
    static constexpr int ButtonCount = 10;
    static constexpr int RepeatDelayMs = 400;
    static constexpr int RepeatIntervalMs = 100;
    static Buttons allButtons();

    explicit TDBNavigator(QWidget* parent = nullptr);

    void setDataSource(const QString& name);
    void setVisibleButtons(Buttons buttons);
    Buttons visibleButtons() const { return m_visible; }
    QAbstractButton* button(Button which) const;
    DataBinding* binding() const { return m_binding; }

    // Carries out one button's action on the table, as a release over the button does (throws Failure).
    void act(Button which);
    // The visible button holding the keyboard focus mark.
    Button focusedButton() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    static Button buttonAt(int index) { return Button(1 << index); }
    void layoutButtons();
    void updateMoveButtons();
    void updateEditButtons();
    void updateAll();
    void moveFocusMark(int step);

    DataBinding* m_binding;
    QVector<QAbstractButton*> m_buttons;
    Buttons m_visible;
    int m_focusIndex = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBNavigator::Buttons)
