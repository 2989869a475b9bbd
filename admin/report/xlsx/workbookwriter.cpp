// The spreadsheet module: the workbook writer over libxlsxwriter.

#include "admin/report/spreadsheetmodule.h"

#include <QDate>
#include <QFile>
#include <QObject>
#include <QTime>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>

namespace report {

namespace {

// Column widths in characters of the sheet's default font: room for the longest value, within reason.
constexpr double widthPadding = 1.5;
constexpr double headerPadding = 3.5; // the bold header also holds the autofilter's button
constexpr double widestColumn = 60;

class XlsxWriter final : public SheetWriter {
public:
    XlsxWriter(const QString& path, const QStringList& headers, int rowCount, const SheetDateFormats& formats,
               const QString& note) {
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
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, formats.date.toUtf8().constData());
        m_dateTime = workbook_add_format(m_book);
        format_set_num_format(m_dateTime, formats.dateTime.toUtf8().constData());

        // A note goes in a row of its own above the header row, which moves down by one.
        if (!note.isEmpty()) {
            check(worksheet_write_string(m_sheet, 0, 0, note.toUtf8().constData(), nullptr));
            m_row = 1;
        }
        const auto lastColumn = lxw_col_t(headers.size() - 1);
        worksheet_freeze_panes(m_sheet, m_row + 1, 0);
        worksheet_autofilter(m_sheet, m_row, 0, m_row + lxw_row_t(rowCount), lastColumn);
        for (int column = 0; column < headers.size(); ++column) {
            m_widths.append(double(headers.at(column).size()) + headerPadding);
            check(worksheet_write_string(m_sheet, m_row, lxw_col_t(column),
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

} // namespace

} // namespace report

// The module's root object (outside the namespace, so that moc's names for it stay plain).
class XlsxModule final : public QObject, public report::SpreadsheetModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID SpreadsheetModule_iid)
    Q_INTERFACES(report::SpreadsheetModule)
public:
    std::unique_ptr<report::SheetWriter> createWriter(const QString& path, const QStringList& headers,
                                                      int rowCount, const report::SheetDateFormats& formats,
                                                      const QString& note) override {
        return std::make_unique<report::XlsxWriter>(path, headers, rowCount, formats, note);
    }
};

#include "workbookwriter.moc"
