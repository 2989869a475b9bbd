#include "dialogs.h"

#include "base/appinfo.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

namespace {

// After a box the keyboard focus is back on the widget that had it (a cell editor that refused its text,
// say), so that the next keys go where they would have gone without the box.
class FocusKeeper {
public:
    FocusKeeper() : m_widget(QApplication::focusWidget()) {}
    ~FocusKeeper() {
        if (!m_widget || !m_widget->isVisible() || !m_widget->isEnabled())
            return;
        m_widget->activateWindow();
        m_widget->setFocus(Qt::OtherFocusReason);
    }
    FocusKeeper(const FocusKeeper&) = delete;
    FocusKeeper& operator=(const FocusKeeper&) = delete;

private:
    QPointer<QWidget> m_widget;
};

// The real dialogs, shown to a person.
class QtDialogs final : public DialogService {
public:
    void failure(const QString& text) override { box(QMessageBox::Critical, appinfo::title(), text); }
    void message(const QString& text) override { box(QMessageBox::NoIcon, appinfo::title(), text); }
    void messageWithDetails(const QString& text, const QString& details) override {
        box(QMessageBox::NoIcon, appinfo::title(), text, details);
    }
    void warning(const QString& caption, const QString& text) override {
        box(QMessageBox::Warning, caption, text);
    }
    void applicationError(const QString& text) override {
        box(QMessageBox::Critical, QStringLiteral("Application Error"), text);
    }

    bool confirmDelete() override {
        const FocusKeeper focus;
        QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QStringLiteral("Delete record?"),
                        QMessageBox::NoButton, QApplication::activeWindow());
        QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(cancel);
        centre(box);
        box.exec();
        return box.clickedButton() == ok;
    }

    QString openFileName(QWidget* parent, const QString& caption, const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    }

    QString saveFileName(QWidget* parent, const QString& caption, const QString& filter,
                         QString* chosenFilter) override {
        return QFileDialog::getSaveFileName(parent, caption, QString(), filter, chosenFilter);
    }

private:
    static void centre(QWidget& w) {
        w.adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen())
            w.move(screen->availableGeometry().center() - w.rect().center());
    }

    static void box(QMessageBox::Icon icon, const QString& caption, const QString& text,
                    const QString& details = {}) {
        const FocusKeeper focus;
        QMessageBox box(icon, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
        box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDetailedText(details);
        box.exec();
    }
};

QtDialogs qtDialogs;
DialogService* current = nullptr;

} // namespace

DialogService& dialogs() {
    return current ? *current : qtDialogs;
}

void setDialogs(DialogService* service) {
    current = service;
}

QString withFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void reportFailure(const QString& text) {
    dialogs().failure(withFullStop(text));
}
