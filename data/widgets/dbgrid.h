#pragma once

#include <QColor>
#include <QFont>
#include <QTableView>

class DataBinding;
class GridModel;

// The record grid: one column per visible field in the table's column order, a title row and an indicator
// column in FixedColor / TitleFont, cells edited in place by the typed-text rules of each field's kind.
// Column widths and order belong to the table, so every grid on the same table shows the same layout.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    void setDataSource(const QString& name);
    void setFixedColor(const QColor& color);
    QColor fixedColor() const { return m_fixedColor; }
    void setTitleFont(const QFont& font);
    QFont titleFont() const { return m_titleFont; }
    DataBinding* binding() const { return m_binding; }

    // The field position shown in a grid column (-1 when none).
    int fieldAt(int column) const;
    // The current grid column (the current row is always the table's cursor).
    int currentColumn() const;
    void setCurrentColumn(int column);
    // The open cell editor, nullptr when none.
    QWidget* cellEditor() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool focusNextPrevChild(bool next) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    friend class GridDelegate;
    void rebuild();
    void syncCursor();
    void applyWidths();
    void moveRows(int delta);
    void downOrAppend();
    void leaveNewUntouched();
    bool commitEditor(); // writes typed text; false when refused
    void deleteCurrent();
    void onSectionResized(int logical, int oldSize, int newSize);
    void onSectionMoved(int logical, int oldVisual, int newVisual);

    DataBinding* m_binding;
    GridModel* m_model;
    QColor m_fixedColor;
    QFont m_titleFont;
    int m_column = 0;
    bool m_syncing = false;
    bool m_applyingLayout = false;
};
