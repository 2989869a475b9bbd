#pragma once

#include <QElapsedTimer>
#include <QVariant>
#include <QWidget>

class DataBinding;
class LookupList;

// A lookup combo box (list only): it shows `ListField` of the list table's row whose `KeyField` equals the
// box's own key value. Its drop-down works on the list table's cursor, so whatever it highlights becomes
// that table's current row; windows read the choice from the table, not from the box.
class TDBLookupComboBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int SearchResetMs = 2000;
    static constexpr int SearchMaxLength = 32;

    explicit TDBLookupComboBox(QWidget* parent = nullptr);

    void setListSource(const QString& name);
    void setKeyField(const QString& name);
    void setListField(const QString& name);
    DataBinding* listBinding() const { return m_list; }

    QVariant keyValue() const { return m_keyValue; }
    // Sets the key and finds its row (which moves the list table's cursor there).
    void setKeyValue(const QVariant& key);
    QString text() const { return m_text; } // what the box shows
    QString searchText() const { return m_search; }

    // The drop-down list.
    bool isListOpen() const;
    void openList();
    void closeList(bool accept);
    LookupList* list() const { return m_popup; }

    QSize sizeHint() const override;

signals:
    void keyValueChanged(const QVariant& key);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void open(bool byPress);
    void locateKey();   // finds the key's row and shows its text
    void refreshText(); // the key's text again, without moving the cursor
    void acceptCurrentRow();
    void step(int delta);
    void search(const QString& typed);
    int keyPos() const;
    int listPos() const;

    DataBinding* m_list;
    QString m_keyField;
    QString m_listField;
    QVariant m_keyValue;
    QString m_text;
    QString m_search;
    QElapsedTimer m_sinceTyped;
    LookupList* m_popup;
};
