#include "recorder.h"

#include <utility>

RecordingDialogs::RecordingDialogs() {
    setDialogs(this);
}

RecordingDialogs::~RecordingDialogs() {
    setDialogs(nullptr);
}

void RecordingDialogs::record(const QString& kind, const QString& text) {
    shown.append({kind, text});
}

void RecordingDialogs::failure(const QString& text) {
    record(QStringLiteral("failure"), text);
}

void RecordingDialogs::message(const QString& text) {
    record(QStringLiteral("message"), text);
}

void RecordingDialogs::messageWithDetails(const QString& text, const QString& details) {
    record(QStringLiteral("details"), text + u'\n' + details);
}

void RecordingDialogs::warning(const QString& caption, const QString& text) {
    record(QStringLiteral("warning"), caption + QStringLiteral(": ") + text);
}

bool RecordingDialogs::confirmDelete() {
    record(QStringLiteral("confirm"), QStringLiteral("Delete record?"));
    if (const auto meanwhile = std::exchange(m_whileConfirming, {}))
        meanwhile();
    return m_confirms.isEmpty() ? true : m_confirms.dequeue();
}

void RecordingDialogs::applicationError(const QString& text) {
    record(QStringLiteral("applicationError"), text);
}

QString RecordingDialogs::openFileName(QWidget*, const QString& caption, const QString& filter) {
    record(QStringLiteral("open"), caption);
    lastFilter = filter;
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QString RecordingDialogs::saveFileName(QWidget*, const QString& caption, const QString& filter,
                                       QString* chosenFilter) {
    record(QStringLiteral("save"), caption);
    lastFilter = filter;
    if (chosenFilter && !m_filters.isEmpty())
        *chosenFilter = m_filters.dequeue();
    return m_fileNames.isEmpty() ? QString() : m_fileNames.dequeue();
}

QStringList RecordingDialogs::texts(const QString& kind) const {
    QStringList result;
    for (const Shown& s : shown)
        if (s.kind == kind)
            result.append(s.text);
    return result;
}
