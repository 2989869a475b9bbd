#include "dblookupcombobox.h"

#include "data/engine/formats.h"
#include "data/engine/table.h"
#include "databinding.h"
#include "lookuplist.h"

#include "ui/guard.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionComboBox>

TDBLookupComboBox::TDBLookupComboBox(QWidget* parent)
    : QWidget(parent), m_list(new DataBinding(this)), m_popup(new LookupList(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    m_popup->setOnClose([this](bool accepted) {
        if (accepted)
            guarded([this] { acceptCurrentRow(); });
        update();
    });
    connect(m_list, &DataBinding::sourceChanged, this, [this] { guarded([this] { locateKey(); }); });
    connect(m_list, &DataBinding::activeChanged, this, [this] { guarded([this] { locateKey(); }); });
    connect(m_list, &DataBinding::layoutChanged, this, &TDBLookupComboBox::refreshText);
    connect(m_list, &DataBinding::dataSetChanged, this, &TDBLookupComboBox::refreshText);
    connect(m_list, &DataBinding::recordChanged, this, &TDBLookupComboBox::refreshText);
}

void TDBLookupComboBox::setListSource(const QString& name) {
    m_list->setDataSourceName(name);
}

void TDBLookupComboBox::setKeyField(const QString& name) {
    m_keyField = name;
    guarded([this] { locateKey(); });
}

void TDBLookupComboBox::setListField(const QString& name) {
    m_listField = name;
    guarded([this] { locateKey(); });
}

void TDBLookupComboBox::setKeyValue(const QVariant& key) {
    m_keyValue = key;
    guarded([this] { locateKey(); });
    emit keyValueChanged(key);
}

int TDBLookupComboBox::keyPos() const {
    const Table* t = m_list->table();
    return m_list->isActive() && !m_keyField.isEmpty() ? t->indexOf(m_keyField) : -1;
}

int TDBLookupComboBox::listPos() const {
    const Table* t = m_list->table();
    return m_list->isActive() && !m_listField.isEmpty() ? t->indexOf(m_listField) : -1;
}

void TDBLookupComboBox::locateKey() {
    Table* t = m_list->table();
    QString text;
    if (!m_keyValue.isNull() && keyPos() >= 0 && listPos() >= 0 && t->locate(m_keyField, m_keyValue))
        text = t->displayText(listPos());
    m_text = text;
    update();
}

void TDBLookupComboBox::refreshText() {
    const Table* t = m_list->table();
    QString text;
    if (!m_keyValue.isNull() && keyPos() >= 0 && listPos() >= 0)
        text = formats::displayText(t->field(listPos()).kind, t->lookup(m_keyField, m_keyValue, m_listField));
    if (text != m_text) {
        m_text = text;
        update();
    }
}

void TDBLookupComboBox::acceptCurrentRow() {
    const Table* t = m_list->table();
    if (keyPos() < 0 || t->recNo() < 0)
        return;
    setKeyValue(t->value(keyPos()));
}

bool TDBLookupComboBox::isListOpen() const {
    return m_popup->isVisible();
}

void TDBLookupComboBox::openList() {
    open(false);
}

void TDBLookupComboBox::closeList(bool accept) {
    m_popup->finish(accept);
}

// The list starts on the row of the box's key, or on the first row when there is none.
void TDBLookupComboBox::open(bool byPress) {
    Table* t = m_list->table();
    if (isListOpen() || listPos() < 0 || keyPos() < 0)
        return;
    guarded([&] {
        if (m_keyValue.isNull() || !t->locate(m_keyField, m_keyValue))
            t->first();
        m_popup->popup(t, listPos(), this, byPress);
    });
}

void TDBLookupComboBox::step(int delta) {
    Table* t = m_list->table();
    if (listPos() < 0 || keyPos() < 0 || t->isEmpty())
        return;
    if (!m_keyValue.isNull() && t->locate(m_keyField, m_keyValue))
        t->moveBy(delta);
    else
        t->first();
    acceptCurrentRow();
}

// Incremental search: the typed characters so far, started afresh after a pause, find the first row whose
// list field begins with them (case ignored); a character that finds nothing is dropped.
void TDBLookupComboBox::search(const QString& typed) {
    Table* t = m_list->table();
    if (listPos() < 0 || keyPos() < 0)
        return;
    if (!m_sinceTyped.isValid() || m_sinceTyped.elapsed() > SearchResetMs)
        m_search.clear();
    m_sinceTyped.start();
    if (m_search.size() >= SearchMaxLength)
        return;
    const QString text = m_search + typed;
    if (t->locate(m_listField, text, Table::CaseInsensitive | Table::PartialKey)) {
        m_search = text;
        acceptCurrentRow();
    }
}

void TDBLookupComboBox::keyPressEvent(QKeyEvent* event) {
    const bool alt = event->modifiers() & Qt::AltModifier;
    const int key = event->key();
    if ((alt && (key == Qt::Key_Down || key == Qt::Key_Up)) || key == Qt::Key_F4) {
        openList();
    } else if (key == Qt::Key_Up || key == Qt::Key_Down) {
        guarded([&] { step(key == Qt::Key_Down ? 1 : -1); });
    } else if (key == Qt::Key_Backspace || key == Qt::Key_Escape) {
        m_search.clear();
    } else if (dbdisplay::typesText(event)) {
        guarded([&] { search(event->text()); });
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TDBLookupComboBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    open(true);
}

void TDBLookupComboBox::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void TDBLookupComboBox::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

QSize TDBLookupComboBox::sizeHint() const {
    QStyleOptionComboBox option;
    option.initFrom(this);
    const QSize text(fontMetrics().averageCharWidth() * 16, fontMetrics().height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this);
}

void TDBLookupComboBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = false;
    option.frame = true;
    option.currentText = m_text;
    if (isListOpen())
        option.state |= QStyle::State_On;
    style()->drawComplexControl(QStyle::CC_ComboBox, &option, &p, this);
    style()->drawControl(QStyle::CE_ComboBoxLabel, &option, &p, this);
}
