#include "exportwriters.h"

#include "spreadsheetmodule.h"

#include "base/programmodule.h"
#include "data/engine/formats.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace report {

namespace {

// UTF-8 with a byte-order mark, ";" between fields, CR LF after each row: what a spreadsheet of the Russian
// locale opens by a double click. Written through stdio, like the workbook, so that a failure keeps errno.
class CsvWriter final : public SheetWriter {
public:
    CsvWriter(const QString& path, const QStringList& headers, const QString& note) {
        errno = 0;
        m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!m_file)
            throw WriteError{systemError(), {}};
        std::setvbuf(m_file, nullptr, _IONBF, 0); // rows are gathered in m_buffer
        m_buffer = "\xEF\xBB\xBF";
        if (!note.isEmpty()) {
            addField(note);
            endLine();
        }
        for (const QString& header : headers)
            addField(header);
        endLine();
    }

    ~CsvWriter() override {
        if (m_file)
            std::fclose(m_file);
    }

    void writeRow(const QVector<ExportCell>& cells) override {
        for (const ExportCell& cell : cells)
            addField(cell.text);
        endLine();
        if (m_buffer.size() >= bufferSize)
            flush();
    }

    void finish() override {
        flush();
        errno = 0;
        const int closed = std::fclose(m_file);
        m_file = nullptr;
        if (closed != 0)
            throw WriteError{systemError(), {}};
    }

private:
    static constexpr qsizetype bufferSize = 1 << 16;

    // A field that a spreadsheet would take for a formula (a pupil can type "=HYPERLINK(…)" as a surname)
    // gets an apostrophe in front, which makes it text. A field is quoted when it holds the separator, a
    // quote or a line break; quotes inside are doubled.
    void addField(const QString& value) {
        if (m_fields++ > 0)
            m_line.append(u';');
        static const QString formulaStarts = QStringLiteral("=+-@\t\r");
        const QString field =
            !value.isEmpty() && formulaStarts.contains(value.front()) ? u'\'' + value : value;
        if (field.contains(u';') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n')) {
            m_line.append(u'"');
            m_line.append(QString(field).replace(u'"', QStringLiteral("\"\"")));
            m_line.append(u'"');
        } else {
            m_line.append(field);
        }
    }

    void endLine() {
        m_line.append(QStringLiteral("\r\n"));
        m_buffer.append(m_line.toUtf8());
        m_line.clear();
        m_fields = 0;
    }

    void flush() {
        errno = 0;
        if (std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), m_file) != size_t(m_buffer.size()))
            throw WriteError{systemError(), {}};
        m_buffer.clear();
    }

    std::FILE* m_file = nullptr;
    QByteArray m_buffer;
    QString m_line; // the row being written
    int m_fields = 0;
};

} // namespace

std::unique_ptr<SheetWriter> makeSheetWriter(ExportFormat format, const QString& path,
                                             const QStringList& headers, int rowCount, const QString& note) {
    if (format == ExportFormat::Csv)
        return std::make_unique<CsvWriter>(path, headers, note);
    const QString date = spreadsheetDateFormat(formats::shortDateFormat());
    const SheetDateFormats dateFormats{date, date + u' ' + spreadsheetDateFormat(formats::longTimeFormat())};
    // The workbook writers are loaded on the first save of a workbook.
    return loadProgramModule<SpreadsheetModule>(QStringLiteral("esun_xlsx.so"),
                                                QStringLiteral("записи книг Excel"))
        .createWriter(path, headers, rowCount, dateFormats, note);
}

QString spreadsheetDateFormat(const QString& qtFormat) {
    // Hours follow the AM/PM marker by themselves in a spreadsheet's notation.
    QString out;
    for (qsizetype i = 0; i < qtFormat.size();) {
        const QChar c = qtFormat.at(i);
        qsizetype run = 1;
        while (i + run < qtFormat.size() && qtFormat.at(i + run) == c)
            ++run;
        if (c == u'\'') {
            // Qt quotes literal text in apostrophes ('' is one apostrophe); spreadsheets in double quotes.
            const qsizetype end = qtFormat.indexOf(u'\'', i + 1);
            const QString literal = qtFormat.mid(i + 1, end < 0 ? -1 : end - i - 1);
            out += literal.isEmpty() ? QStringLiteral("\\'") : u'"' + literal + u'"';
            i = end < 0 ? qtFormat.size() : end + 1;
            continue;
        }
        switch (c.unicode()) {
        case u'd':
        case u'y':
        case u'm':
        case u's':
            out += QString(run, c);
            break;
        case u'M':
            out += QString(run, u'm');
            break;
        case u'h':
        case u'H':
            out += QString(std::min<qsizetype>(run, 2), u'h');
            break;
        case u'a':
        case u'A':
            out += QStringLiteral("AM/PM");
            if (i + run < qtFormat.size() && qtFormat.at(i + run).toLower() == u'p')
                ++run;
            break;
        case u'z':
            out += QStringLiteral("000"); // milliseconds
            break;
        case u't':
            break; // the time zone: not shown
        default:
            if (c.isLetterOrNumber() || c == u'"' || c == u'\\')
                for (qsizetype k = 0; k < run; ++k)
                    out += u'\\' + QString(c);
            else
                out += QString(run, c);
        }
        i += run;
    }
    return out;
}

} // namespace report
