#pragma once

#include "ui/groupbox.h"

#include <QList>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

// A captioned group of radio buttons in one column, one per item, sharing the box's height evenly.
// The chosen item is an index into the items, -1 when none.
class RadioGroup : public TGroupBox {
    Q_OBJECT
public:
    explicit RadioGroup(QWidget* parent = nullptr);

    void addItem(const QString& text);
    void clearItems(); // also clears the choice
    int count() const { return static_cast<int>(m_items.size()); }
    // The text of an item; an index outside the items fails with "List index out of bounds (<index>)".
    QString item(int index) const;
    QStringList items() const { return m_items; }

    int itemIndex() const { return m_itemIndex; }
    void setItemIndex(int index);
    QRadioButton* button(int index) const { return m_buttons.value(index); }

signals:
    // The user chose an item.
    void clicked();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;

private:
    void arrangeButtons();

    QStringList m_items;
    QList<QRadioButton*> m_buttons;
    QButtonGroup* m_group;
    int m_itemIndex = -1;
};
