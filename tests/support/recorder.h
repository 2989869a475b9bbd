#pragma once

#include "ui/dialogs.h"

#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

// Stands in for every dialog while it lives: keeps what would have been shown and answers with scripted
// replies (OK to confirmations and cancel to file dialogs unless told otherwise).
class RecordingDialogs final : public DialogService {
public:
    struct Shown {
        QString kind; // "failure", "message", "details" (the text, a line break, the details), "warning",
                      // "confirm", "applicationError", "open", "save"
        QString text;
    };

    RecordingDialogs();
    ~RecordingDialogs() override;

    void failure(const QString& text) override;
    void message(const QString& text) override;
    void messageWithDetails(const QString& text, const QString& details) override;
    void warning(const QString& caption, const QString& text) override;
    bool confirmDelete() override;
    void applicationError(const QString& text) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         QString* chosenFilter) override;

    void setNextConfirm(bool ok) { m_confirms.enqueue(ok); }
    // Runs `meanwhile` while the next confirmation is open, as a timer tick does under a real box.
    void setWhileConfirming(std::function<void()> meanwhile) { m_whileConfirming = std::move(meanwhile); }
    void setNextFileName(const QString& path) { m_fileNames.enqueue(path); }
    void setNextFilter(const QString& filter) { m_filters.enqueue(filter); }

    QList<Shown> shown;
    QString lastFilter;                           // the file types the last file dialog offered
    QStringList texts(const QString& kind) const; // texts of one kind, in order
    QStringList failures() const { return texts(QStringLiteral("failure")); }
    QStringList messages() const { return texts(QStringLiteral("message")); }
    void clear() { shown.clear(); }

private:
    void record(const QString& kind, const QString& text);
    QQueue<bool> m_confirms;
    std::function<void()> m_whileConfirming;
    QQueue<QString> m_fileNames;
    QQueue<QString> m_filters;
};
