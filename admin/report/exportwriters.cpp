#include "exportwriters.h"

#include "data/engine/formats.h"

#include <QFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace report {

namespace {

// Column widths in characters of the sheet's default font: room for the longest value, within reason.
constexpr double widthPadding = 1.5;
constexpr double headerPadding = 3.5; // the bold header also holds the autofilter's button
constexpr double widestColumn = 60;

int systemError() {
    return errno != 0 ? errno : EIO;
}

class XlsxWriter final : public SheetWriter {
public:
    XlsxWriter(const QString& path, const QStringList& headers, int rowCount) {
        lxw_workbook_options options{};
        // Rows go to a temporary file as they are written instead of staying in memory.
        options.constant_memory = LXW_TRUE;
        errno = 0;
        m_book = workbook_new_opt(QFile::encodeName(path).constData(), &options);
        if (!m_book)
            throw WriteError{systemError(), {}};
        m_sheet = workbook_add_worksheet(m_book, "Итог тестирования");
        if (!m_sheet)
            throw WriteError{systemError(), {}};
        m_bold = workbook_add_format(m_book);
        format_set_bold(m_bold);
        const QString date = spreadsheetDateFormat(formats::shortDateFormat());
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, date.toUtf8().constData());
        m_dateTime = workbook_add_format(m_book);
        format_set_num_format(
            m_dateTime,
            (date + u' ' + spreadsheetDateFormat(formats::longTimeFormat())).toUtf8().constData());

        const auto lastColumn = lxw_col_t(headers.size() - 1);
        worksheet_freeze_panes(m_sheet, 1, 0);
        worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(rowCount), lastColumn);
        for (int column = 0; column < headers.size(); ++column) {
            m_widths.append(double(headers.at(column).size()) + headerPadding);
            check(worksheet_write_string(m_sheet, 0, lxw_col_t(column),
                                         headers.at(column).toUtf8().constData(), m_bold));
        }
    }

    ~XlsxWriter() override {
        if (m_book)
            lxw_workbook_free(m_book); // abandoned: nothing more is written
    }

    void writeRow(const QVector<ExportCell>& cells) override {
        ++m_row;
        for (int column = 0; column < cells.size(); ++column) {
            const ExportCell& cell = cells.at(column);
            const auto col = lxw_col_t(column);
            switch (cell.kind) {
            case ExportCell::Kind::Empty:
                continue;
            case ExportCell::Kind::Number:
                check(worksheet_write_number(m_sheet, m_row, col, cell.number, nullptr));
                break;
            case ExportCell::Kind::DateTime:
                // The sheet's date numbers begin with 1900.
                if (cell.dateTime.date().year() >= 1900) {
                    const QDate d = cell.dateTime.date();
                    const QTime t = cell.dateTime.time();
                    lxw_datetime value{d.year(), d.month(),  d.day(),
                                       t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
                    check(worksheet_write_datetime(m_sheet, m_row, col, &value,
                                                   t == QTime(0, 0) ? m_date : m_dateTime));
                    break;
                }
                [[fallthrough]];
            case ExportCell::Kind::Text:
                check(worksheet_write_string(m_sheet, m_row, col, cell.text.toUtf8().constData(), nullptr));
                break;
            }
            m_widths[column] = std::max(m_widths.at(column), double(cell.text.size()) + widthPadding);
        }
    }

    void finish() override {
        for (int column = 0; column < m_widths.size(); ++column)
            check(worksheet_set_column(m_sheet, lxw_col_t(column), lxw_col_t(column),
                                       std::min(m_widths.at(column), widestColumn), nullptr));
        errno = 0;
        const lxw_error result = workbook_close(m_book);
        m_book = nullptr; // closed, whatever the result
        if (result == LXW_ERROR_MEMORY_MALLOC_FAILED)
            throw WriteError{ENOMEM, {}};
        if (result != LXW_NO_ERROR)
            throw WriteError{errno, QString::fromUtf8(lxw_strerror(result))};
    }

private:
    static void check(lxw_error result) {
        if (result == LXW_ERROR_MEMORY_MALLOC_FAILED)
            throw WriteError{ENOMEM, {}};
        if (result != LXW_NO_ERROR)
            throw WriteError{0, QString::fromUtf8(lxw_strerror(result))};
    }

    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_bold = nullptr;
    lxw_format* m_date = nullptr;
    lxw_format* m_dateTime = nullptr;
    lxw_row_t m_row = 0;
    QVector<double> m_widths;
};

// UTF-8 with a byte-order mark, ";" between fields, CR LF after each row: what a spreadsheet of the Russian
// locale opens by a double click. Written through stdio, like the workbook, so that a failure keeps errno.
class CsvWriter final : public SheetWriter {
public:
    CsvWriter(const QString& path, const QStringList& headers) {
        errno = 0;
        m_file = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!m_file)
            throw WriteError{systemError(), {}};
        std::setvbuf(m_file, nullptr, _IONBF, 0); // rows are gathered in m_buffer
        m_buffer = "\xEF\xBB\xBF";
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

    // A field is quoted when it holds the separator, a quote or a line break; quotes inside are doubled.
    void addField(const QString& field) {
        if (m_fields++ > 0)
            m_line.append(u';');
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
                                             const QStringList& headers, int rowCount) {
    if (format == ExportFormat::Xlsx)
        return std::make_unique<XlsxWriter>(path, headers, rowCount);
    return std::make_unique<CsvWriter>(path, headers);
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
