#include "dbcheckbox.h"

#include "data/engine/table.h"
#include "databinding.h"

#include "ui/guard.h"

#include <QKeyEvent>
#include <QTimer>

namespace {
bool listHas(const QString& list, const QString& text) {
    const QStringList entries = list.split(QLatin1Char(';'));
    for (const QString& e : entries)
        if (e.compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

TDBCheckBox::TDBCheckBox(QWidget* parent) : QCheckBox(parent), m_binding(new DataBinding(this)) {
    setTristate(true);
    m_binding->onEveryNotice(this, [this] { showField(); });
    m_binding->setWriter([this] { writePending(); });
    showField();
}

void TDBCheckBox::setDataSource(const QString& name) {
    m_binding->setDataSourceName(name);
}

void TDBCheckBox::setDataField(const QString& name) {
    m_binding->setFieldName(name);
}

void TDBCheckBox::setValueChecked(const QString& values) {
    m_valueChecked = values;
    showField();
}

void TDBCheckBox::setValueUnchecked(const QString& values) {
    m_valueUnchecked = values;
    showField();
}

// A toggled state survives the notices while its record is still being edited; otherwise the field shows.
void TDBCheckBox::showField() {
    const Table* t = m_binding->table();
    if (m_pending && m_binding->hasField() && dbdisplay::editing(t))
        return;
    m_pending = false;
    Qt::CheckState state = Qt::Unchecked;
    if (m_binding->isActive() && m_binding->hasField()) {
        const int pos = m_binding->fieldPos();
        if (t->isNull(pos))
            state = Qt::PartiallyChecked;
        else if (t->field(pos).kind == FieldKind::Boolean)
            state = t->asBoolean(pos) ? Qt::Checked : Qt::Unchecked;
        else
            state = listHas(m_valueChecked, t->asText(pos))     ? Qt::Checked
                    : listHas(m_valueUnchecked, t->asText(pos)) ? Qt::Unchecked
                                                                : Qt::PartiallyChecked;
    }
    setCheckState(state);
}

// A click or Space: the table enters edit state first; without it nothing changes.
void TDBCheckBox::nextCheckState() {
    guarded([this] { toggle(); });
}

void TDBCheckBox::toggle() {
    Table* t = m_binding->table();
    if (!m_binding->isActive() || !m_binding->hasField() || !t->canModify() ||
        t->field(m_binding->fieldPos()).readOnly())
        return;
    if (!dbdisplay::editing(t))
        t->edit();
    const Qt::CheckState next = checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    m_pending = true;
    setCheckState(next);
}

void TDBCheckBox::writePending() {
    if (!m_pending)
        return;
    Table* t = m_binding->table();
    if (!m_binding->hasField() || !dbdisplay::editing(t)) {
        m_pending = false;
        return;
    }
    const int pos = m_binding->fieldPos();
    QVariant value;
    if (checkState() != Qt::PartiallyChecked) {
        const bool on = checkState() == Qt::Checked;
        if (t->field(pos).kind == FieldKind::Boolean)
            value = on;
        else
            value = (on ? m_valueChecked : m_valueUnchecked).section(QLatin1Char(';'), 0, 0);
    }
    // Cleared before writing: the write's own notice then shows the stored value.
    m_pending = false;
    try {
        t->setValue(pos, value);
    } catch (...) {
        m_pending = true;
        throw;
    }
}

void TDBCheckBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_pending) {
        m_pending = false;
        showField();
        event->accept();
        return;
    }
    QCheckBox::keyPressEvent(event);
}

void TDBCheckBox::focusOutEvent(QFocusEvent* event) {
    QCheckBox::focusOutEvent(event);
    if (m_pending && !guarded([this] { writePending(); }))
        QTimer::singleShot(0, this, [this] { setFocus(); });
}
