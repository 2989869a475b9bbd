#include "dbgrid.h"

#include "data/engine/table.h"
#include "databinding.h"
#include "lookuplist.h"

#include "ui/guard.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QTimer>
#include <QToolButton>

// ---------------------------------------------------------------------------------------------------------
// The table seen as rows and columns: the visible rows, and the visible fields in the table's column order.
// An open table with no rows shows one empty row.
class GridModel : public QAbstractTableModel {
public:
    explicit GridModel(DataBinding* binding, QObject* parent)
        : QAbstractTableModel(parent), m_binding(binding) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_fields.size());
    }
    int fieldAt(int column) const { return column >= 0 && column < m_fields.size() ? m_fields[column] : -1; }

    QVariant data(const QModelIndex& index, int role) const override {
        const Table* t = m_binding->table();
        const int pos = fieldAt(index.column());
        if (!index.isValid() || pos < 0 || !m_binding->isActive() || index.row() >= t->recordCount())
            return {};
        if (role == Qt::DisplayRole)
            return index.row() == t->recNo() ? t->displayText(pos) : t->displayTextAt(index.row(), pos);
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(dbdisplay::alignment(t, pos));
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && fieldAt(section) >= 0)
            return m_binding->table()->field(fieldAt(section)).name;
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    // Columns and rows again; the view is reset only when their numbers or the columns changed.
    void reload() {
        QVector<int> fields;
        int rows = 0;
        if (m_binding->isActive()) {
            const Table* t = m_binding->table();
            const QVector<int> order = t->columnOrder();
            for (int pos : order)
                if (t->field(pos).visible)
                    fields.append(pos);
            rows = qMax(1, t->recordCount());
        }
        if (fields != m_fields || rows != m_rows) {
            beginResetModel();
            m_fields = fields;
            m_rows = rows;
            endResetModel();
        } else if (m_rows > 0 && !m_fields.isEmpty()) {
            emit dataChanged(index(0, 0), index(m_rows - 1, int(m_fields.size()) - 1));
            emit headerDataChanged(Qt::Vertical, 0, m_rows - 1);
        }
    }

private:
    DataBinding* m_binding;
    QVector<int> m_fields;
    int m_rows = 0;
};

// ---------------------------------------------------------------------------------------------------------
// The title row and the indicator column, drawn in the grid's FixedColor (titles in its TitleFont).
class FixedHeader : public QHeaderView {
public:
    FixedHeader(Qt::Orientation orientation, TDBGrid* grid) : QHeaderView(orientation, grid), m_grid(grid) {}

protected:
    void paintSection(QPainter* p, const QRect& rect, int section) const override {
        p->save();
        p->fillRect(rect, m_grid->fixedColor());
        p->setPen(m_grid->fixedColor().lighter(150));
        p->drawLine(rect.topLeft(), rect.topRight());
        p->drawLine(rect.topLeft(), rect.bottomLeft());
        p->setPen(m_grid->fixedColor().darker(160));
        p->drawLine(rect.bottomLeft(), rect.bottomRight());
        p->drawLine(rect.topRight(), rect.bottomRight());
        if (orientation() == Qt::Horizontal) {
            p->setFont(m_grid->titleFont());
            p->setPen(palette().color(QPalette::ButtonText));
            p->drawText(rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        model()->headerData(section, Qt::Horizontal).toString());
        } else {
            paintIndicator(p, rect, section);
        }
        p->restore();
    }

private:
    // The current row's mark: an arrow while browsing, an I-beam while editing, a star while inserting.
    void paintIndicator(QPainter* p, const QRect& rect, int section) const {
        const Table* t = m_grid->binding()->table();
        if (!m_grid->binding()->isActive() || section != t->recNo())
            return;
        p->setRenderHint(QPainter::Antialiasing);
        p->setPen(Qt::black);
        p->setBrush(Qt::black);
        const QPointF c = QRectF(rect).center();
        switch (t->state()) {
        case Table::State::Edit:
            p->drawLine(QPointF(c.x(), c.y() - 4), QPointF(c.x(), c.y() + 4));
            p->drawLine(QPointF(c.x() - 2, c.y() - 4), QPointF(c.x() + 2, c.y() - 4));
            p->drawLine(QPointF(c.x() - 2, c.y() + 4), QPointF(c.x() + 2, c.y() + 4));
            break;
        case Table::State::Insert:
            p->setFont(m_grid->titleFont());
            p->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
            break;
        default: {
            QPainterPath arrow;
            arrow.moveTo(c.x() - 2, c.y() - 4);
            arrow.lineTo(c.x() + 2, c.y());
            arrow.lineTo(c.x() - 2, c.y() + 4);
            arrow.closeSubpath();
            p->drawPath(arrow);
        }
        }
    }

    TDBGrid* m_grid;
};

// ---------------------------------------------------------------------------------------------------------
// The cell editor. Keys it does not use go on to the grid; a key that would change the text first asks the
// grid to put the record into edit state, and is refused with a beep when it cannot.
class GridEditor : public QLineEdit {
public:
    GridEditor(TDBGrid* grid, int gridColumn, int field)
        : QLineEdit(grid->viewport()), column(gridColumn), fieldPos(field), m_grid(grid) {
        setFrame(false);
        setContextMenuPolicy(Qt::NoContextMenu);
        // No field-size limit here: a longer text, typed or pasted, is refused whole by the table with its
        // message when it is written, instead of being cut without a word.
        const FieldDef& f = grid->table()->field(fieldPos);
        if (f.isLookup()) {
            setReadOnly(true);
            const int keyPos = grid->table()->indexOf(f.keyField);
            if (keyPos >= 0 && !grid->table()->field(keyPos).readOnly() && f.lookupTable) {
                button = new QToolButton(this);
                button->setArrowType(Qt::DownArrow);
                button->setFocusPolicy(Qt::NoFocus);
                button->setCursor(Qt::ArrowCursor);
                connect(button, &QToolButton::pressed, grid, [grid] { grid->openLookupList(true); });
            }
        }
    }

    const int column;
    const int fieldPos;
    QToolButton* button = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLineEdit::resizeEvent(event);
        if (button) {
            const int w = qMin(height(), 16);
            button->setGeometry(width() - w, 0, w, height());
            setTextMargins(0, 0, w, 0);
        }
    }

    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        const auto mods = event->modifiers();
        const bool lookup = isReadOnly();
        if (lookup && ((mods & Qt::AltModifier) && (key == Qt::Key_Down || key == Qt::Key_Up))) {
            if (button)
                m_grid->openLookupList(false);
            return;
        }
        // Keys of the grid: moving, Insert, Ctrl+Delete, Esc, Enter, Tab.
        const bool caretAtStart = cursorPosition() == 0 && !hasSelectedText();
        const bool caretAtEnd = cursorPosition() == text().size() && !hasSelectedText();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
            key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Insert ||
            key == Qt::Key_F2 || (key == Qt::Key_Delete && (mods & Qt::ControlModifier)) ||
            ((key == Qt::Key_Home || key == Qt::Key_End) && (mods & Qt::ControlModifier)) ||
            (key == Qt::Key_Left && caretAtStart) || (key == Qt::Key_Right && caretAtEnd)) {
            event->ignore();
            return;
        }
        if (changesText(event)) {
            const QString typed = dbdisplay::typesText(event) ? event->text() : QString();
            if (lookup || !acceptable(typed) || !m_grid->beginEdit()) {
                QApplication::beep();
                return;
            }
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    static bool changesText(const QKeyEvent* event) {
        return dbdisplay::typesText(event) || event->key() == Qt::Key_Backspace ||
               event->key() == Qt::Key_Delete || event->matches(QKeySequence::Paste) ||
               event->matches(QKeySequence::Cut) || event->matches(QKeySequence::Undo) ||
               event->matches(QKeySequence::Redo);
    }

    // An integer cell takes only digits, "+" and "-".
    bool acceptable(const QString& typed) const {
        if (m_grid->table()->field(fieldPos).kind != FieldKind::Integer)
            return true;
        for (QChar c : typed)
            if (!c.isDigit() && c != QLatin1Char('+') && c != QLatin1Char('-'))
                return false;
        return true;
    }

    TDBGrid* m_grid;
};

// ---------------------------------------------------------------------------------------------------------

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent), m_binding(new DataBinding(this)), m_model(new GridModel(m_binding, this)),
      m_list(new LookupList(this)), m_fixedColor(palette().color(QPalette::Button)), m_titleFont(font()) {
    setHorizontalHeader(new FixedHeader(Qt::Horizontal, this));
    setVerticalHeader(new FixedHeader(Qt::Vertical, this));
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setMinimumSectionSize(CellMargin + 1);
    verticalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setHighlightSections(false);
    verticalHeader()->setFixedWidth(12);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &TDBGrid::onSectionResized);
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, &TDBGrid::onSectionMoved);
    m_corner = findChild<QAbstractButton*>();
    if (m_corner)
        m_corner->installEventFilter(this);

    connect(m_binding, &DataBinding::sourceChanged, this, &TDBGrid::rebuild);
    connect(m_binding, &DataBinding::activeChanged, this, &TDBGrid::rebuild);
    connect(m_binding, &DataBinding::layoutChanged, this, &TDBGrid::rebuild);
    connect(m_binding, &DataBinding::dataSetChanged, this, [this] {
        // The editor belongs to a record, not to a row number: when the rows or the cursor change (a new
        // record before or in place of the edited one) it goes. Typed text is written into its record before
        // the table moves, so only an editor still holding text stays (a repaint of lookup values), and the
        // one for which the grid itself starts the new record.
        if (m_editor && !m_editor->isModified() && !m_startingRecord)
            closeEditor();
        reload();
    });
    connect(m_binding, &DataBinding::recordChanged, this, &TDBGrid::reload);
    connect(m_binding, &DataBinding::editingChanged, this, [this] {
        // A cancelled or posted record shows its stored values again in an open editor.
        const Table* t = table();
        if (m_editor && m_binding->isActive() && !dbdisplay::editing(t) && !m_editor->isReadOnly()) {
            m_editor->setText(t->recNo() >= 0 ? t->displayText(m_editor->fieldPos) : QString());
            m_editor->setModified(false);
        }
        verticalHeader()->viewport()->update();
        viewport()->update();
    });
    m_binding->setWriter([this] { commitEditor(); });
    m_list->setOnClose([this](bool accepted) {
        if (accepted)
            guarded([this] { acceptLookup(); });
        if (m_editor)
            m_editor->setFocus();
    });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        // Only a move of the focus to another control of the same window counts as leaving the grid.
        const auto inside = [this](QWidget* w) { return w && (w == this || isAncestorOf(w)); };
        if (inside(old) && now && !inside(now) && now->window() == window())
            focusLeft();
    });
    rebuild();
}

TDBGrid::~TDBGrid() = default;

void TDBGrid::setDataSource(const QString& name) {
    m_binding->setDataSourceName(name);
}

void TDBGrid::setFixedColor(const QColor& color) {
    m_fixedColor = color;
    horizontalHeader()->viewport()->update();
    verticalHeader()->viewport()->update();
}

void TDBGrid::setTitleFont(const QFont& font) {
    m_titleFont = font;
    horizontalHeader()->setFont(font);
    applyWidths();
}

Table* TDBGrid::table() const {
    return m_binding->table();
}

int TDBGrid::fieldAt(int column) const {
    return m_model->fieldAt(column);
}

QLineEdit* TDBGrid::cellEditor() const {
    return m_editor;
}

int TDBGrid::currentRow() const {
    const Table* t = table();
    return m_binding->isActive() ? qMax(0, t->recNo()) : -1;
}

void TDBGrid::setCurrentColumn(int column) {
    if (m_model->columnCount() == 0)
        return;
    m_column = qBound(0, column, m_model->columnCount() - 1);
    syncCurrent();
}

// Columns, widths and rows from scratch (opened, closed, fields moved or resized).
void TDBGrid::rebuild() {
    closeEditor();
    // Lookup cells show values of other tables: they repaint when those tables' stored values change.
    for (const QMetaObject::Connection& c : std::as_const(m_lookupConnections))
        disconnect(c);
    m_lookupConnections.clear();
    if (const Table* t = table())
        for (int pos = 0; pos < t->fieldCount(); ++pos)
            if (Table* other = t->field(pos).lookupTable)
                m_lookupConnections.append(
                    connect(other, &Table::contentChanged, viewport(), qOverload<>(&QWidget::update)));
    reload();
    applyWidths();
}

void TDBGrid::reload() {
    // The editor belongs to the record it was opened on.
    if (m_editor && (!m_binding->isActive() || currentRow() != m_editor->property("row").toInt()))
        closeEditor();
    m_model->reload();
    if (m_model->columnCount() > 0)
        m_column = qBound(0, m_column, m_model->columnCount() - 1);
    syncCurrent();
}

void TDBGrid::syncCurrent() {
    const int row = currentRow();
    if (row < 0 || m_model->columnCount() == 0)
        return;
    const QModelIndex index = m_model->index(row, m_column);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    verticalHeader()->viewport()->update();
}

int TDBGrid::columnWidthFor(int column) const {
    const int pos = fieldAt(column);
    if (pos < 0)
        return 0;
    const Table* t = table();
    const int cells = t->displayWidth(pos) * fontMetrics().averageCharWidth() + CellMargin;
    const int title = QFontMetrics(m_titleFont).horizontalAdvance(t->field(pos).name) + CellMargin;
    return qMax(cells, title);
}

void TDBGrid::applyWidths() {
    m_applyingLayout = true;
    for (int c = 0; c < m_model->columnCount(); ++c)
        setColumnWidth(c, columnWidthFor(c));
    const int rowHeight = fontMetrics().height() + 3;
    verticalHeader()->setDefaultSectionSize(rowHeight);
    verticalHeader()->setMinimumSectionSize(rowHeight);
    horizontalHeader()->setFixedHeight(QFontMetrics(m_titleFont).height() + 4);
    m_applyingLayout = false;
    placeEditor();
}

// A width dragged by the user becomes the field's display width, so every grid on the table follows.
void TDBGrid::onSectionResized(int logical, int, int newSize) {
    const int pos = fieldAt(logical);
    if (m_applyingLayout || pos < 0)
        return;
    const int avg = qMax(1, fontMetrics().averageCharWidth());
    const int characters = qMax(1, (newSize - CellMargin + avg / 2) / avg);
    guarded([&] {
        if (characters != table()->displayWidth(pos))
            table()->setDisplayWidth(pos, characters);
        else
            placeEditor();
    });
}

// A dragged column moves in the table's column order (never in its field list); the header itself is put
// back, since the columns are rebuilt from that order.
void TDBGrid::onSectionMoved(int, int oldVisual, int newVisual) {
    if (m_applyingLayout)
        return;
    m_applyingLayout = true;
    horizontalHeader()->moveSection(newVisual, oldVisual);
    m_applyingLayout = false;
    Table* t = table();
    if (!m_binding->isActive())
        return;
    QVector<int> shown; // indexes into the column order of the visible fields
    const QVector<int> order = t->columnOrder();
    for (int i = 0; i < order.size(); ++i)
        if (t->field(order[i]).visible)
            shown.append(i);
    if (oldVisual < shown.size() && newVisual < shown.size()) {
        const int from = shown[oldVisual];
        const int to = shown[newVisual];
        m_column = newVisual;
        guarded([&] { t->moveColumn(from, to); });
    }
}

void TDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    placeEditor();
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TDBGrid::placeEditor() {
    if (m_editor)
        m_editor->setGeometry(
            visualRect(m_model->index(currentRow(), m_editor->column)).adjusted(1, 1, 0, 0));
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* event) {
    // The corner above the indicator column belongs to the fixed area too (the scroll bars are watched by
    // the view as well and keep their own look).
    if (event->type() == QEvent::Paint && watched == m_corner) {
        auto* corner = static_cast<QWidget*>(watched);
        QPainter p(corner);
        p.fillRect(corner->rect(), m_fixedColor);
        p.setPen(m_fixedColor.darker(160));
        p.drawLine(corner->rect().bottomLeft(), corner->rect().bottomRight());
        p.drawLine(corner->rect().topRight(), corner->rect().bottomRight());
        return true;
    }
    return QTableView::eventFilter(watched, event);
}

void TDBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyWidths();
}

// --- editing -------------------------------------------------------------------------------------------

bool TDBGrid::columnCanModify(int column) const {
    const int pos = fieldAt(column);
    return pos >= 0 && m_binding->isActive() && table()->canModify() && !table()->field(pos).readOnly();
}

void TDBGrid::openEditor(QKeyEvent* typed) {
    const int pos = fieldAt(m_column);
    if (m_editor || pos < 0 || !m_binding->isActive())
        return;
    const Table* t = table();
    auto* editor = new GridEditor(this, m_column, pos);
    editor->setProperty("row", currentRow());
    editor->setFont(font());
    editor->setAlignment(dbdisplay::alignment(t, pos));
    editor->setText(t->recNo() >= 0 ? t->displayText(pos) : QString());
    editor->setModified(false);
    editor->selectAll();
    m_editor = editor;
    placeEditor();
    editor->show();
    editor->setFocus();
    if (typed) {
        QKeyEvent copy(typed->type(), typed->key(), typed->modifiers(), typed->text());
        QCoreApplication::sendEvent(editor, &copy);
    }
}

void TDBGrid::closeEditor() {
    if (!m_editor)
        return;
    GridEditor* editor = m_editor;
    m_editor = nullptr;
    // The focus comes back first: a focused widget that hides passes the focus on as Tab would.
    if (editor->hasFocus())
        setFocus();
    editor->hide();
    editor->deleteLater();
}

bool TDBGrid::beginEdit() {
    Table* t = table();
    if (!m_editor || !columnCanModify(m_editor->column))
        return false;
    if (dbdisplay::editing(t))
        return true;
    // On an empty table this starts a new record in its one empty row, the editor's own.
    const QScopedValueRollback<bool> starting(m_startingRecord, true);
    guarded([t] { t->edit(); });
    return dbdisplay::editing(t);
}

void TDBGrid::commitEditor() {
    if (!m_editor || m_editor->isReadOnly() || !m_editor->isModified())
        return;
    table()->setText(m_editor->fieldPos, m_editor->text());
    if (m_editor)
        m_editor->setModified(false);
}

void TDBGrid::openLookupList(bool byPress) {
    Table* t = table();
    if (!m_editor || m_list->isVisible())
        return;
    const FieldDef& f = t->field(m_editor->fieldPos);
    Table* list = f.lookupTable;
    if (!f.isLookup() || !list || !list->isActive())
        return;
    const int listPos = list->indexOf(f.lookupResultField);
    if (listPos < 0)
        return;
    guarded([&] {
        // The list starts on the row of the record's key (the first row when none).
        const QVariant key = t->recNo() >= 0 ? t->value(f.keyField) : QVariant();
        if (key.isNull() || !list->locate(f.lookupKeyField, key))
            list->first();
        m_list->popup(list, listPos, m_editor, byPress);
    });
}

void TDBGrid::acceptLookup() {
    Table* t = table();
    if (!m_editor)
        return;
    const FieldDef& f = t->field(m_editor->fieldPos);
    if (f.lookupTable->recNo() < 0 || !columnCanModify(m_editor->column))
        return;
    const QVariant key = f.lookupTable->value(f.lookupKeyField);
    t->setValue(f.keyField, key);
    if (m_editor)
        m_editor->setText(t->displayText(m_editor->fieldPos));
}

// --- moving --------------------------------------------------------------------------------------------

// Leaving the row writes the typed text, then posts a modified record or cancels an untouched one.
void TDBGrid::goToRow(int target) {
    Table* t = table();
    commitEditor();
    const int current = t->recNo();
    if (t->isEmpty())
        return;
    // Even a move that stays on the row ends its pending edit, as every cursor move does.
    if (dbdisplay::editing(t)) {
        DataBinding::updateRecord(t);
        if (t->state() == Table::State::Insert && !t->modified()) {
            t->cancel();
            if (target > current)
                --target; // the rows after the discarded one moved up
        } else if (t->modified()) {
            t->post();
        } else {
            t->cancel();
        }
    }
    closeEditor();
    if (t->isEmpty())
        return;
    target = qBound(0, target, t->recordCount() - 1);
    if (target != t->recNo())
        t->moveTo(target);
}

// Down: the next record; on the last one a new record is appended when the table can modify. An untouched
// new record is never followed by another.
void TDBGrid::moveDown() {
    Table* t = table();
    commitEditor();
    DataBinding::updateRecord(t);
    const int current = t->recNo();
    const bool last = current >= t->recordCount() - 1;
    const bool untouchedNew = t->state() == Table::State::Insert && !t->modified();
    if (!last) {
        goToRow(current + 1);
        return;
    }
    if (untouchedNew || !t->canModify())
        return;
    closeEditor();
    t->append(); // a pending record is posted or cancelled first
}

void TDBGrid::moveUp(int rows) {
    goToRow(qMax(0, table()->recNo() - rows));
}

void TDBGrid::moveColumn(int step) {
    commitEditor();
    closeEditor();
    setCurrentColumn(m_column + step);
}

int TDBGrid::visibleRowCount() const {
    return qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()));
}

// Tab and Shift+Tab go through the columns that can be modified; past the last one Tab goes on to the next
// row by the rule of Down, Shift+Tab before the first one to the previous row.
void TDBGrid::tab(bool forward) {
    commitEditor();
    closeEditor();
    const int columns = m_model->columnCount();
    const int step = forward ? 1 : -1;
    for (int c = m_column + step; c >= 0 && c < columns; c += step)
        if (columnCanModify(c)) {
            setCurrentColumn(c);
            return;
        }
    const int before = table()->recNo();
    if (forward)
        moveDown();
    else if (before > 0)
        moveUp(1);
    if (table()->recNo() == before && table()->state() != Table::State::Insert)
        return;
    for (int i = 0; i < columns; ++i) {
        const int c = forward ? i : columns - 1 - i;
        if (columnCanModify(c)) {
            setCurrentColumn(c);
            return;
        }
    }
}

// Esc: typed text not yet written is thrown away; with none, the record's edit or insert is cancelled.
void TDBGrid::escape() {
    if (m_editor && m_editor->isModified()) {
        closeEditor();
        return;
    }
    closeEditor();
    if (m_binding->isActive() && dbdisplay::editing(table()))
        table()->cancel();
}

void TDBGrid::insertRecord() {
    Table* t = table();
    if (!t->canModify())
        return;
    commitEditor();
    closeEditor();
    t->insert(); // a pending record is posted or cancelled first
}

void TDBGrid::deleteRecord() {
    Table* t = table();
    if (!t->canModify() || t->isEmpty())
        return;
    closeEditor();
    deleteWithConfirmation(t);
}

// The focus went to another control: typed text is written, an untouched new record is discarded.
void TDBGrid::focusLeft() {
    if (!m_binding->isActive())
        return;
    const bool ok = guarded([this] {
        Table* t = table();
        commitEditor();
        closeEditor();
        if (t->state() == Table::State::Insert && !t->modified())
            t->cancel();
    });
    if (!ok)
        QTimer::singleShot(0, this, [this] {
            if (m_editor)
                m_editor->setFocus();
            else
                setFocus();
        });
}

// --- keys and mouse ------------------------------------------------------------------------------------

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    if (!m_binding->isActive() || m_model->columnCount() == 0) {
        event->ignore();
        return;
    }
    const int key = event->key();
    const auto mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    bool handled = true;
    guarded([&] {
        switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            if (alt) {
                openEditor();
                openLookupList(false);
            } else if (key == Qt::Key_Up) {
                moveUp(1);
            } else {
                moveDown();
            }
            break;
        case Qt::Key_PageUp:
            moveUp(visibleRowCount());
            break;
        case Qt::Key_PageDown:
            goToRow(table()->recNo() + visibleRowCount());
            break;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (ctrl)
                goToRow(key == Qt::Key_Home ? 0 : table()->recordCount() - 1);
            else
                moveColumn(key == Qt::Key_Home ? -m_column : m_model->columnCount());
            break;
        case Qt::Key_Left:
            moveColumn(-1);
            break;
        case Qt::Key_Right:
            moveColumn(1);
            break;
        case Qt::Key_Insert:
            insertRecord();
            break;
        case Qt::Key_Delete:
            if (ctrl)
                deleteRecord();
            else
                handled = false;
            break;
        case Qt::Key_Escape:
            escape();
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_editor) {
                commitEditor();
                closeEditor();
            } else {
                openEditor();
            }
            break;
        case Qt::Key_F2:
            openEditor();
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            // Ctrl+Tab leaves the grid, since Tab alone moves between its cells.
            commitEditor();
            leaveByTab(key == Qt::Key_Tab && !(mods & Qt::ShiftModifier));
            break;
        default:
            if (dbdisplay::typesText(event) || key == Qt::Key_Backspace)
                openEditor(event);
            else
                handled = false;
        }
    });
    if (handled)
        event->accept();
    else
        event->ignore();
}

// The next (or previous) control of the window in tab order outside the grid takes the focus.
void TDBGrid::leaveByTab(bool forward) {
    for (QWidget* w = forward ? nextInFocusChain() : previousInFocusChain(); w && w != this;
         w = forward ? w->nextInFocusChain() : w->previousInFocusChain())
        if (!isAncestorOf(w) && w->window() == window() && w->isVisible() && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
}

// Tab never leaves the grid: it moves between cells.
bool TDBGrid::focusNextPrevChild(bool next) {
    if (!m_binding->isActive() || m_model->columnCount() == 0)
        return QTableView::focusNextPrevChild(next);
    guarded([&] { tab(next); });
    return true;
}

// A click makes its row the current record and its column the current column; a click in the current cell
// opens the editor.
void TDBGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid() || !m_binding->isActive() || event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    guarded([&] {
        if (index.row() == currentRow() && index.column() == m_column) {
            openEditor();
            return;
        }
        if (index.row() != currentRow())
            goToRow(index.row());
        else {
            commitEditor();
            closeEditor();
        }
        setCurrentColumn(index.column());
    });
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

// Dragging over the cells selects nothing: the grid has one current cell.
void TDBGrid::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
}

void TDBGrid::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
}
