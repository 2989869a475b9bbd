#pragma once

#include <QFrame>
#include <QPointer>

#include <functional>

class QScrollBar;
class Table;

// The drop-down list of the lookup combo box and of the grid's lookup cells. It works on the list table
// itself: its highlighted row is the table's current row, and every move in it moves the table's cursor.
class LookupList : public QFrame {
    Q_OBJECT
public:
    static constexpr int MaxRows = 7;

    explicit LookupList(QWidget* owner);

    // Shows the rows of `table`, their `listPos` field, under (or above) `anchor` and as wide as it.
    // `byPress`: opened by a mouse press on the anchor, whose release may still come.
    void popup(Table* table, int listPos, QWidget* anchor, bool byPress);
    // Called once when the list closes, with whether the highlighted row was accepted.
    void setOnClose(std::function<void(bool accepted)> onClose) { m_onClose = std::move(onClose); }
    void finish(bool accept);

    int rowHeight() const;
    int visibleRows() const;
    int topRow() const { return m_top; }
    // The list row under a point of the list, -1 when none.
    int rowAt(const QPoint& pos) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void moveCursorTo(int row);
    void followCursor();
    void scrollTo(int top);
    QRect rowsRect() const;

    QPointer<Table> m_table;
    QPointer<QWidget> m_anchor;
    int m_listPos = -1;
    int m_top = 0;
    bool m_pressPending = false; // the press that opened the list has not been released yet
    bool m_dragged = false;
    bool m_finished = true;
    QScrollBar* m_scroll;
    std::function<void(bool)> m_onClose;
};
