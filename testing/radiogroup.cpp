#include "radiogroup.h"

#include "base/failure.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFontMetrics>
#include <QRadioButton>

namespace {

// As in the window system's own radio groups, a click anywhere on an item's row chooses it, not only on
// its circle and text.
class RowRadioButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }
};

} // namespace

RadioGroup::RadioGroup(QWidget* parent) : TGroupBox(parent), m_group(new QButtonGroup(this)) {
    m_group->setExclusive(true);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        m_itemIndex = id;
        emit clicked();
    });
}

void RadioGroup::addItem(const QString& text) {
    auto* b = new RowRadioButton(text, this);
    m_group->addButton(b, static_cast<int>(m_buttons.size()));
    m_items.append(text);
    m_buttons.append(b);
    arrangeButtons();
    b->show();
}

void RadioGroup::clearItems() {
    for (QRadioButton* b : std::as_const(m_buttons)) {
        m_group->removeButton(b);
        delete b;
    }
    m_buttons.clear();
    m_items.clear();
    m_itemIndex = -1;
}

QString RadioGroup::item(int index) const {
    if (index < 0 || index >= count())
        throw Failure(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items.at(index);
}

void RadioGroup::setItemIndex(int index) {
    if (index < -1 || index >= count())
        index = -1;
    m_itemIndex = index;
    if (index >= 0) {
        m_buttons.at(index)->setChecked(true);
    } else if (QAbstractButton* checked = m_group->checkedButton()) {
        // An exclusive group keeps one button checked; lift the rule to clear the choice.
        m_group->setExclusive(false);
        checked->setChecked(false);
        m_group->setExclusive(true);
    }
}

void RadioGroup::resizeEvent(QResizeEvent* e) {
    TGroupBox::resizeEvent(e);
    arrangeButtons();
}

void RadioGroup::changeEvent(QEvent* e) {
    TGroupBox::changeEvent(e);
    if (e->type() == QEvent::FontChange)
        arrangeButtons();
}

// Rows share the height below the caption; the remainder is split above and below the column.
void RadioGroup::arrangeButtons() {
    if (m_buttons.isEmpty())
        return;
    const int textHeight = QFontMetrics(font()).height();
    const int rows = static_cast<int>(m_buttons.size());
    const int space = height() - textHeight - 5;
    const int rowHeight = space / rows;
    const int topMargin = textHeight + 1 + (space % rows) / 2;
    for (int i = 0; i < rows; ++i)
        m_buttons.at(i)->setGeometry(8, topMargin + i * rowHeight, width() - 10, rowHeight);
}
