#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A failure the user sees: thrown by handlers and the data layer, shown by the default failure report.
class Failure : public std::exception {
public:
    explicit Failure(QString text) : m_text(std::move(text)), m_utf8(m_text.toUtf8()) {}
    const QString& text() const noexcept { return m_text; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_text;
    QByteArray m_utf8;
};
