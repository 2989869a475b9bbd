#include "dbtext.h"

#include "data/engine/table.h"
#include "databinding.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent), m_binding(new DataBinding(this)) {
    // Plain text on one line: "&" stays as it is, long texts are cut at the right edge.
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_binding->onEveryNotice(this, [this] { updateText(); });
}

void TDBText::setDataSource(const QString& name) {
    m_binding->setDataSourceName(name);
}

void TDBText::setDataField(const QString& name) {
    m_binding->setFieldName(name);
}

// The label keeps the size its window gives it, whatever its text.
QSize TDBText::sizeHint() const {
    return size();
}
QSize TDBText::minimumSizeHint() const {
    return {0, 0};
}

void TDBText::updateText() {
    const Table* t = m_binding->table();
    setText(m_binding->isActive() && m_binding->hasField() ? t->displayText(m_binding->fieldPos())
                                                           : QString());
}
