#pragma once

#include <QString>

class QWidget;

// Every message box, failure report, confirmation and file dialog of the program goes through this one
// service, so that tests can observe what would be shown and answer instead of a person.
class DialogService {
public:
    virtual ~DialogService() = default;

    // The default failure report: stop icon, application title, the text as given, one "OK".
    virtual void failure(const QString& text) = 0;
    // The program's own messages: application title, no icon, one "OK".
    virtual void message(const QString& text) = 0;
    // The program's message with a long part (a list) shown on demand under it.
    virtual void messageWithDetails(const QString& text, const QString& details) = 0;
    // A box with a caption of its own and a warning icon (printing and report files use it).
    virtual void warning(const QString& caption, const QString& text) = 0;
    // The delete confirmation of the record widgets: "Confirm", "Delete record?", OK / Cancel.
    virtual bool confirmDelete() = 0;
    // The "Application Error" box of a failed start-up.
    virtual void applicationError(const QString& text) = 0;
    // File dialogs: an empty result means cancelled. `filter` uses Qt's "Name (*.ext);;..." form.
    virtual QString openFileName(QWidget* parent, const QString& caption = {},
                                 const QString& filter = {}) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                                 QString* chosenFilter = nullptr) = 0;
};

// The service in force: the Qt one unless a test installed its own.
DialogService& dialogs();
// Installs `service` (not owned); nullptr restores the Qt dialogs.
void setDialogs(DialogService* service);

// The full-stop rule of the failure report: a "." is appended when the last character sorts after ".".
QString withFullStop(const QString& text);
// Shows `text` by the default failure report, the full-stop rule applied.
void reportFailure(const QString& text);
