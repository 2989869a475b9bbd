#include "admin/form10.h"
#include "admin/report/preview.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/table.h"
#include "tests/support/faults.h"
#include "tests/support/instances.h"
#include "tests/support/recorder.h"
#include "tests/support/testbackend.h"
#include "tests/support/testdb.h"

#include <QAction>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <optional>
#include <sys/stat.h>

using namespace report;

namespace {

// Names with apostrophes, a topic with the separator and quotes, a time of day, a pupil who is gone, points
// that are no number, and a row without a date or a class.
const QString resultsSql = QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '6Б');
INSERT INTO "Ученики" VALUES (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0),
    (2, 'Шон', 'О''Коннор', 'Патрикович', 2, 'sol', 0), (3, 'Мария', 'Ивановна', 'Андреевна', 1, 'teach', 1);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ритм; темп "allegro"'), (3, 'Д''Арк и музыка');
INSERT INTO "результаты" VALUES (1, '2026-01-12', '7', 5, 1, 2, 1), (2, '2026-02-03 13:20:05', '3', 3, 2, 3, 2),
    (3, '2026-03-04', '10', 5, 9, 1, 1), (4, '2026-03-05', 'н/д', 4, 2, 1, 2), (5, NULL, '6', 4, 3, 3, NULL),
    (6, '2026-03-07', '2', 2, 1, 2, 1), (7, '2026-04-01', '8', 5, 3, 1, 1);
)sql");

QString manyResultsSql(int count) {
    return QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А');
INSERT INTO "Ученики" VALUES (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0);
INSERT INTO "Тема" VALUES (1, 'Ключи');
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
INSERT INTO "результаты" ("Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
SELECT date('2026-01-01', '+' || (i % 300) || ' days'), CAST(i % 11 AS TEXT), 2 + i % 4, 1, 1, 1 FROM n;
)sql")
        .arg(count);
}

// Reads an exported file back with Python's own readers (openpyxl for workbooks, csv for CSV) and prints
// what it found as JSON: every cell with its type, and the sheet's settings.
const QString reader = QStringLiteral(R"py(
import csv, datetime, io, json, sys
kind, path = sys.argv[1], sys.argv[2]
out = {}
if kind == 'xlsx':
    import openpyxl
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    out.update(sheets=book.sheetnames, freeze=sheet.freeze_panes, filter=sheet.auto_filter.ref,
               bold=[c.font.b for c in sheet[1]], widths=[sheet.column_dimensions[l].width for l in 'ABCDEFG'])
    rows = []
    for row in sheet.iter_rows():
        cells = []
        for c in row:
            v = c.value
            if v is None: cells.append(['empty', ''])
            elif isinstance(v, datetime.datetime): cells.append(['date', v.isoformat(sep=' '), c.number_format])
            elif isinstance(v, (int, float)) and not isinstance(v, bool): cells.append(['number', v])
            else: cells.append(['text', str(v)])
        rows.append(cells)
    out['rows'] = rows
else:
    raw = open(path, 'rb').read()
    out.update(bom=raw.startswith(b'\xef\xbb\xbf'), bareLineFeeds=raw.replace(b'\r\n', b'').count(b'\n'))
    out['rows'] = [[['text', f] for f in r] for r in csv.reader(io.StringIO(raw.decode('utf-8-sig'), newline=''), delimiter=';')]
print(json.dumps(out, ensure_ascii=False))
)py");

// The first Python that has openpyxl (the system's, when another one comes first on the path).
QString python() {
    static const QString found = []() {
        for (const QString& candidate : {QStringLiteral("python3"), QStringLiteral("/usr/bin/python3")}) {
            QProcess p;
            p.start(candidate, {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
            if (p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
                return candidate;
        }
        return QString();
    }();
    return found;
}

QJsonObject readBack(const QString& kind, const QString& path) {
    QProcess p;
    p.start(python(), {QStringLiteral("-c"), reader, kind, path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        qWarning("reader: %s", p.readAllStandardError().constData());
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

// "Save Report" of the print preview writes the report's rows as a workbook or a CSV file.
class ExportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<TDataModule11> m_dm;
    std::unique_ptr<TForm10> m_form;
    std::unique_ptr<ReportPreview> m_preview;
    std::unique_ptr<QTemporaryDir> m_dir;

    QString folder() const { return m_dir->path(); }
    QString inFolder(const QString& name) const { return m_dir->filePath(name); }

    Table* rez() const { return m_dm->rez; }

    // The preview of rez with `rows` (and with a grade filter and the sort by topic), shown modeless, once
    // its last page exists.
    ReportPreview* produced(const QString& rows = resultsSql, const QString& filter = {}) {
        m_preview.reset();
        m_dm.reset();
        m_db.reset();
        m_db = std::make_unique<TestDatabase>(rows);
        m_dm = std::make_unique<TDataModule11>();
        DataModule11 = m_dm.get();
        if (!filter.isEmpty()) {
            rez()->setFilterText(filter);
            rez()->setFiltered(true);
            rez()->setSort(schema::topicKey);
        }
        m_preview = std::make_unique<ReportPreview>(m_form->layout(), rez());
        m_preview->start();
        m_preview->show();
        if (!QTest::qWaitFor([&]() { return m_preview->isProduced(); }, 60000))
            qWarning("the report was not produced in time");
        return m_preview.get();
    }

    // "Save Report" answered with `path` and the file type `filter`; waits for the export to end.
    void save(const QString& path, const QString& filter = {}, bool wait = true) {
        m_dialogs->setNextFileName(path);
        if (!filter.isEmpty())
            m_dialogs->setNextFilter(filter);
        m_preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        if (wait && !QTest::qWaitFor([&]() { return !m_preview->isExporting(); }, 60000))
            qWarning("the export did not end in time");
    }

    QString progressText() const {
        return m_preview->findChild<QLabel*>(QStringLiteral("ProgressPanel"))->text();
    }

    // The visible rows of rez as a reader of `kind` should find them, under the header row.
    QJsonArray expectedRows(const QString& kind) const {
        const QStringList fields{"Фамилия", "Имя", "Класс", "Тема", "Дата", "Баллы", "Оценка"};
        QJsonArray rows;
        QJsonArray header;
        for (const QString& f : fields)
            header.append(QJsonArray{"text", f});
        rows.append(header);
        for (int row = 0; row < rez()->recordCount(); ++row) {
            QJsonArray cells;
            for (const QString& f : fields) {
                const int pos = rez()->fieldPos(f);
                const QString text = rez()->displayTextAt(row, pos);
                const QVariant value = rez()->valueAt(row, pos);
                bool number = false;
                text.toInt(&number);
                number = number && (f == schema::results::points || f == schema::results::grade);
                const bool asText = kind == QLatin1String("csv") ||
                                    (!value.isNull() && f != schema::results::date && !number);
                if (asText)
                    cells.append(QJsonArray{"text", text});
                else if (value.isNull())
                    cells.append(QJsonArray{"empty", ""});
                else if (f == schema::results::date)
                    cells.append(QJsonArray{"date", value.toDateTime().toString("yyyy-MM-dd HH:mm:ss"),
                                            value.toDateTime().time() == QTime(0, 0) ? "dd.mm.yyyy"
                                                                                     : "dd.mm.yyyy h:mm:ss"});
                else
                    cells.append(QJsonArray{"number", text.toInt()});
            }
            rows.append(cells);
        }
        return rows;
    }

private slots:
    void initTestCase() {
        SKIP_WITHOUT_SERVER();
        QVERIFY2(!python().isEmpty(), "python3 with openpyxl is needed (scripts/setup.sh)");
    }

    void init() {
        m_dialogs = std::make_unique<RecordingDialogs>();
        m_dir = std::make_unique<QTemporaryDir>();
        m_form = std::make_unique<TForm10>();
        Form10 = m_form.get();
    }

    void cleanup() {
        m_preview.reset();
        m_dm.reset();
        DataModule11 = nullptr;
        m_db.reset();
        Form10 = nullptr;
        m_form.reset();
        m_dialogs.reset();
        m_dir.reset();
    }

    void fileHoldsTheReportsRows_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("filter");
        for (const char* kind : {"xlsx", "csv"}) {
            QTest::addRow("%s, all rows", kind) << kind << "";
            QTest::addRow("%s, grade 5 sorted by topic", kind) << kind << "Оценка ='5'";
            QTest::addRow("%s, no rows", kind) << kind << "Оценка ='9'";
        }
    }

    void fileHoldsTheReportsRows() {
        QFETCH(QString, kind);
        QFETCH(QString, filter);
        ReportPreview* preview = produced(resultsSql, filter);
        const int cursor = rez()->recNo();
        const QString path = inFolder(QStringLiteral("итоги.") + kind);
        save(path);
        QVERIFY2(m_dialogs->failures().isEmpty(), qPrintable(m_dialogs->failures().join('\n')));
        QVERIFY(m_dialogs->lastFilter.contains(QStringLiteral("Книга Excel (*.xlsx)")));
        QVERIFY(m_dialogs->lastFilter.contains(QStringLiteral("Текст CSV (*.csv)")));
        QVERIFY(!preview->isExporting());
        QCOMPARE(rez()->recNo(), cursor);

        const QJsonObject file = readBack(kind, path);
        const QJsonArray expected = expectedRows(kind);
        QCOMPARE(expected.size(), filter.endsWith(QLatin1String("'9'")) ? 1 : filter.isEmpty() ? 8 : 4);
        const QJsonArray rows = file[QStringLiteral("rows")].toArray();
        QCOMPARE(rows.size(), expected.size());
        for (int row = 0; row < rows.size(); ++row)
            for (int column = 0; column < 7; ++column)
                QCOMPARE(rows[row][column].toArray(), expected[row][column].toArray());
        if (kind == QLatin1String("csv")) {
            QVERIFY(file[QStringLiteral("bom")].toBool());
            QCOMPARE(file[QStringLiteral("bareLineFeeds")].toInt(), 0);
            return;
        }
        QCOMPARE(file[QStringLiteral("sheets")].toArray(), QJsonArray{"Итог тестирования"});
        QCOMPARE(file[QStringLiteral("freeze")].toString(), QStringLiteral("A2"));
        QCOMPARE(file[QStringLiteral("filter")].toString(), QStringLiteral("A1:G%1").arg(expected.size()));
        QCOMPARE(file[QStringLiteral("bold")].toArray(),
                 QJsonArray({true, true, true, true, true, true, true}));
        // Every column is wide enough for its longest text as shown.
        for (int column = 0; column < 7; ++column) {
            qsizetype longest = 0;
            for (const auto& row : expectedRows(QStringLiteral("csv")))
                longest = std::max(longest, row[column][1].toVariant().toString().size());
            QVERIFY(file[QStringLiteral("widths")][column].toDouble() >= longest);
        }
    }

    // A value a spreadsheet would run as a formula is text in both formats: an apostrophe in front in CSV,
    // a text cell as it is in the workbook.
    void formulaLikeValuesStayText_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("equals") << "=1+1";
        QTest::newRow("a link") << "=HYPERLINK(\"//x.io\";\"x\")";
        QTest::newRow("plus") << "+7(999)";
        QTest::newRow("minus") << "-2+3";
        QTest::newRow("at") << "@SUM(A1)";
        QTest::newRow("tab") << "\t=1";
        QTest::newRow("carriage return") << "\r=1";
        QTest::newRow("inside is harmless") << "О=1";
    }

    void formulaLikeValuesStayText() {
        QFETCH(QString, value);
        const QString literal = u'\'' + QString(value).replace(u'\'', QStringLiteral("''")) + u'\'';
        produced(QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, %1);
INSERT INTO "Ученики" VALUES (1, %1, %1, 'Сергеевна', 1, 'nota', 0);
INSERT INTO "Тема" VALUES (1, %1);
INSERT INTO "результаты" VALUES (1, '2026-01-12', %1, 5, 1, 1, 1);
)sql")
                     .arg(literal));
        const bool harmless = !QStringLiteral("=+-@\t\r").contains(value.front());
        for (const QString& kind : {QStringLiteral("csv"), QStringLiteral("xlsx")}) {
            const QString path = inFolder(QStringLiteral("итоги.") + kind);
            save(path);
            QVERIFY2(m_dialogs->failures().isEmpty(), qPrintable(m_dialogs->failures().join('\n')));
            const QJsonArray row = readBack(kind, path)[QStringLiteral("rows")].toArray().at(1).toArray();
            const QStringList fields{"Фамилия", "Имя", "Класс", "Тема", "Дата", "Баллы"};
            for (int column : {0, 1, 2, 3, 5}) {
                // What the grid shows (a lookup is cut to its width), behind an apostrophe in CSV.
                const QString shown = rez()->displayTextAt(0, rez()->fieldPos(fields.at(column)));
                QVERIFY(shown.startsWith(value.front()));
                const QJsonArray cell = row.at(column).toArray();
                QCOMPARE(cell.at(0).toString(), QStringLiteral("text"));
                if (kind == u"csv")
                    QCOMPARE(cell.at(1).toString(), harmless ? shown : u'\'' + shown);
                else if (!value.contains(u'\r')) // the workbook keeps a carriage return as "_x000D_"
                    QCOMPARE(cell.at(1).toString(), shown);
            }
        }
    }

    void typedExtensionChoosesTheType() {
        produced();
        const QString xlsx = QStringLiteral("Книга Excel (*.xlsx)");
        const QString csv = QStringLiteral("Текст CSV (*.csv)");
        const struct {
            const char* typed;
            QString filter;
            const char* written;
            QByteArray start;
        } cases[] = {
            {"a.csv", xlsx, "a.csv", "\xEF\xBB\xBF"},
            {"b.XLSX", csv, "b.XLSX", "PK"},
            {"c.pdf", csv, "c.pdf", "%PDF"},
            {"d.rpt", xlsx, "d.rpt", "MUZREPRT"},
            {"e", xlsx, "e.xlsx", "PK"},
            {"f.2026", csv, "f.2026.csv", "\xEF\xBB\xBF"},
        };
        for (const auto& c : cases) {
            save(inFolder(QString::fromUtf8(c.typed)), c.filter);
            QFile file(inFolder(QString::fromUtf8(c.written)));
            QVERIFY2(file.open(QIODevice::ReadOnly), c.written);
            QVERIFY2(file.read(c.start.size()) == c.start, c.written);
        }
        QVERIFY2(m_dialogs->failures().isEmpty(), qPrintable(m_dialogs->failures().join('\n')));
        QCOMPARE(filesIn(folder()).size(), 6);
    }

    // Every file type of "Save Report" fails in the same words, at once where the target is wrong, and
    // leaves what was there as it was.
    void failureIsReportedAndLeavesNoFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("reason");
        const QString noFile = QStringLiteral("это не файл, а канал или устройство; выберите другое имя");
        for (const char* type : {"xlsx", "csv", "pdf", "rpt"}) {
            QTest::addRow("no room, %s", type)
                << "{full}{dir}/итоги.{ext}" << type << "на диске не хватает места";
            QTest::addRow("no such folder, %s", type) << "{dir}/нет/итоги.{ext}" << type << "такой папки нет";
            QTest::addRow("a folder's name, %s", type)
                << "{dir}/папка.{ext}" << type << "так называется папка";
            QTest::addRow("a pipe, %s", type) << "{dir}/канал" << type << noFile;
            QTest::addRow("a device, %s", type) << "/dev/null" << type << noFile;
        }
        QTest::newRow("no right") << "/sys/итоги.xlsx"
                                  << "xlsx"
                                  << "нет права на запись";
        QTest::newRow("a file's name as a folder") << "{dir}/итоги.csv/итоги.csv"
                                                   << "csv"
                                                   << "такой папки нет";
    }

    void failureIsReportedAndLeavesNoFile() {
        QFETCH(QString, path);
        QFETCH(QString, type);
        QFETCH(QString, reason);
        ReportPreview* preview = produced();
        QFile regular(inFolder(QStringLiteral("итоги.csv")));
        QVERIFY(regular.open(QIODevice::WriteOnly) && regular.write("старое") > 0);
        regular.close();
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("папка.") + type));
        QCOMPARE(mkfifo(QFile::encodeName(inFolder(QStringLiteral("канал"))).constData(), 0600), 0);
        std::optional<FullDisk> full;
        if (path.startsWith(QLatin1String("{full}")))
            full.emplace();
        path.remove(QStringLiteral("{full}"))
            .replace(QStringLiteral("{dir}"), folder())
            .replace(QStringLiteral("{ext}"), type);
        const QStringList filters{"Книга Excel (*.xlsx)", "Текст CSV (*.csv)", "PDF (*.pdf)",
                                  "Отчёт (*.rpt)"};
        const QStringList types{"xlsx", "csv", "pdf", "rpt"};
        // A pipe or a device has no extension: the type box chooses.
        m_dialogs->setNextFileName(path);
        m_dialogs->setNextFilter(filters.at(types.indexOf(type)));
        m_preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        QVERIFY(QTest::qWaitFor([&]() { return !m_preview->isExporting(); }, 60000));
        full.reset();
        QCOMPARE(m_dialogs->failures(),
                 QStringList({QStringLiteral("Не удалось сохранить файл «%1»: %2.").arg(path, reason)}));
        QCOMPARE(filesIn(folder()), QStringList({"итоги.csv"}));
        QVERIFY(regular.open(QIODevice::ReadOnly));
        QCOMPARE(regular.readAll(), QByteArray("старое"));
        QVERIFY(QDir(inFolder(QStringLiteral("папка.") + type)).isEmpty());
        QVERIFY(QFileInfo(inFolder(QStringLiteral("канал"))).exists());
        QVERIFY(!QFileInfo(inFolder(QStringLiteral("канал"))).isFile());
        QVERIFY(!preview->isExporting());
        QCOMPARE(progressText(), QString());
        QVERIFY(preview->findChild<QAction*>(QStringLiteral("SaveReport"))->isEnabled());
    }

    // A save through a symbolic link writes the file it points to, whole; the link stays a link.
    void saveThroughALinkWritesTheFileItPointsTo_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("xlsx") << "xlsx" << QByteArray("PK");
        QTest::newRow("csv") << "csv" << QByteArray("\xEF\xBB\xBF");
        QTest::newRow("pdf") << "pdf" << QByteArray("%PDF");
        QTest::newRow("rpt") << "rpt" << QByteArray("MUZREPRT");
    }

    void saveThroughALinkWritesTheFileItPointsTo() {
        QFETCH(QString, type);
        QFETCH(QByteArray, start);
        produced();
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("итоги")));
        const QString real = inFolder(QStringLiteral("итоги/за год.") + type);
        QFile old(real);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("старое") > 0);
        old.close();
        const QString link = inFolder(QStringLiteral("ссылка.") + type);
        QVERIFY(QFile::link(QStringLiteral("итоги/за год.") + type, link));
        save(link);
        QVERIFY2(m_dialogs->failures().isEmpty(), qPrintable(m_dialogs->failures().join('\n')));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.read(start.size()), start);
        QCOMPARE(filesIn(inFolder(QStringLiteral("итоги"))), QStringList({QStringLiteral("за год.") + type}));
        QCOMPARE(filesIn(folder()), QStringList({QStringLiteral("ссылка.") + type}));
    }

    void missingSpreadsheetModuleIsReportedAndWritesNothing() {
        produced();
        const QTemporaryDir noModule;
        const ModuleFolder moduleFolder(noModule.path());
        save(inFolder(QStringLiteral("итоги.xlsx")));
        QCOMPARE(m_dialogs->failures().size(), 1);
        const QString failure = m_dialogs->failures().first();
        // The loader's reason closes the sentence.
        const QString start = QStringLiteral("Не удалось загрузить модуль записи книг Excel: ");
        QVERIFY2(failure.startsWith(start) && failure.size() > start.size() + 1 && failure.endsWith(u'.'),
                 qPrintable(failure));
        QVERIFY(filesIn(folder()).isEmpty());
        QVERIFY(!m_preview->isExporting());
    }

    void longExportShowsProgressAndCanBeCancelled() {
        const int rows = 5 * ExportJob::sliceRows / 2;
        ReportPreview* preview = produced(manyResultsSql(rows));
        const QString xlsx = inFolder(QStringLiteral("итоги.xlsx"));
        const QString csv = inFolder(QStringLiteral("итоги.csv"));
        for (const QString& path : {xlsx, csv}) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write("старое") > 0);
        }
        const auto unchanged = [&]() {
            for (const QString& path : {xlsx, csv}) {
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly) || file.readAll() != "старое")
                    return false;
            }
            return filesIn(folder()).size() == 2; // no temporary file left behind
        };
        auto* cancel = preview->findChild<QPushButton*>(QStringLiteral("CancelExport"));
        auto* saveAction = preview->findChild<QAction*>(QStringLiteral("SaveReport"));

        // The first slice is written at once; the rest follows from the event loop, shown in percent.
        save(xlsx, {}, false);
        QVERIFY(preview->isExporting());
        QCOMPARE(progressText(), QStringLiteral("40%"));
        QVERIFY(cancel->isVisible());
        QVERIFY(!saveAction->isEnabled());
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!preview->isExporting());
        QVERIFY(!cancel->isVisible());
        QCOMPARE(progressText(), QString());
        QVERIFY(unchanged());

        // Esc cancels the export and leaves the preview open; closing the preview cancels it too.
        save(csv, {}, false);
        QTest::keyClick(preview, Qt::Key_Escape);
        QVERIFY(!preview->isExporting());
        QVERIFY(preview->isVisible());
        QVERIFY(unchanged());
        save(csv, {}, false);
        preview->close();
        QVERIFY(!preview->isExporting());
        QVERIFY(unchanged());

        preview->show();
        save(csv);
        QVERIFY2(m_dialogs->failures().isEmpty(), qPrintable(m_dialogs->failures().join('\n')));
        QCOMPARE(progressText(), QString());
        QCOMPARE(readBack(QStringLiteral("csv"), csv)[QStringLiteral("rows")].toArray(),
                 expectedRows(QStringLiteral("csv")));
        QCOMPARE(filesIn(folder()).size(), 2);
    }

    void cancelWhileTheFileIsFinishedLeavesItAsItWas() {
        ReportPreview* preview = produced();
        const QString path = inFolder(QStringLiteral("итоги.xlsx"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("старое") > 0);
        old.close();
        // All rows are written at once; the workbook is being packed when Esc comes.
        save(path, {}, false);
        QVERIFY(preview->isExporting());
        QTest::keyClick(preview, Qt::Key_Escape);
        QVERIFY(!preview->isExporting());
        QVERIFY(QTest::qWaitFor([&]() { return filesIn(folder()).size() == 1; }, 60000));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("старое"));
        QVERIFY(m_dialogs->failures().isEmpty());
    }

    void loadedReportIsNotExported() {
        produced();
        const QString report = inFolder(QStringLiteral("отчёт.rpt"));
        save(report);
        m_dialogs->setNextFileName(report);
        m_preview->findChild<QAction*>(QStringLiteral("LoadReport"))->trigger();
        save(inFolder(QStringLiteral("итоги.xlsx")));
        QCOMPARE(m_dialogs->failures(),
                 QStringList({"Отчёт, загруженный из файла, можно сохранить только как отчёт или PDF: строк "
                              "результатов в нём нет."}));
        QCOMPARE(filesIn(folder()), QStringList({"отчёт.rpt"}));
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
