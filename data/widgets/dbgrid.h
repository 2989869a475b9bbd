#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTableView>

class DataBinding;
class GridEditor;
class GridModel;
class LookupList;
class QLineEdit;
class Table;

// The record grid: one column per visible field in the table's column order, a title row and an indicator
// column in FixedColor / TitleFont, cells edited in place by the typed-text rules of each field's kind.
// Column widths and order belong to the table, so every grid on the same table shows the same layout.
class TDBGrid : public QTableView {
    Q_OBJECT
public:
    static constexpr int CellMargin = 4;

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
    int currentColumn() const { return m_column; }
    void setCurrentColumn(int column);
    // The open cell editor, nullptr when none.
    QLineEdit* cellEditor() const;
    // The drop-down list of lookup cells.
    LookupList* lookupList() const { return m_list; }
    // The width a column gets for a display width of `characters` and its title.
    int columnWidthFor(int column) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    friend class GridEditor;
    Table* table() const;
    int currentRow() const; // the cursor's row, 0 on an empty table (its one empty row)
    void rebuild();
    void reload();
    void syncCurrent();
    void applyWidths();
    void placeEditor();

    // Editing in a cell; the throwing ones are run through guarded() by the event handlers.
    void openEditor(QKeyEvent* typed = nullptr);
    void closeEditor();
    void commitEditor(); // writes typed text, throws when refused (the editor stays open)
    bool beginEdit();    // the first change in the editor: edit state, or refuse the typing
    void openLookupList(bool byPress);
    void acceptLookup();

    // Moving; all throw when a pending record cannot be written.
    void goToRow(int target);
    void moveDown();
    void moveUp(int rows);
    void moveColumn(int step);
    void tab(bool forward);
    void leaveByTab(bool forward);
    void escape();
    void insertRecord();
    void deleteRecord();
    void focusLeft();
    int visibleRowCount() const;
    bool columnCanModify(int column) const;

    void onSectionResized(int logical, int oldSize, int newSize);
    void onSectionMoved(int logical, int oldVisual, int newVisual);

    DataBinding* m_binding;
    GridModel* m_model;
    QPointer<GridEditor> m_editor;
    LookupList* m_list;
    QColor m_fixedColor;
    QFont m_titleFont;
    int m_column = 0;
    bool m_applyingLayout = false;
    bool m_startingRecord = false; // the editor's first change makes the new record of an empty table
    QPointer<QWidget> m_corner;
    QVector<QMetaObject::Connection> m_lookupConnections;
};
