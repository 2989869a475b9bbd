#include "admin/form10.h"
#include "admin/form9.h"
#include "admin/report/pagepainter.h"
#include "admin/report/preview.h"
#include "admin/report/printing.h"
#include "admin/report/producer.h"
#include "admin/report/reportfile.h"
#include "admin/resultsreport.h"
#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/settingstable.h"
#include "data/engine/table.h"
#include "data/widgets/dbgrid.h"
#include "tests/support/input.h"
#include "tests/support/instances.h"
#include "tests/support/testmain.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

#include <sys/resource.h>

using namespace report;

namespace {

// The report's date in these tests: no result row has it, and it is never the machine's day.
const QDate Today(2031, 3, 14);

// Reads a page back without pixels: every text item with its baseline origin in hundredths of a millimetre.
struct TextItem {
    QString text;
    QPointF at;
    QColor color;
    double pixelSize;
};

class CaptureEngine : public QPaintEngine {
public:
    CaptureEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState& changed) override {
        if (changed.state() & QPaintEngine::DirtyTransform)
            m_transform = changed.transform();
        if (changed.state() & QPaintEngine::DirtyPen)
            m_pen = changed.pen();
        if (changed.state() & QPaintEngine::DirtyBrush)
            m_brush = changed.brush();
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    // Rectangles filled on a page come here as paths.
    void drawPath(const QPainterPath& path) override {
        fills.append({m_transform.mapRect(path.boundingRect()), m_brush.color()});
    }
    void drawRects(const QRectF* rects, int count) override {
        for (int i = 0; i < count; ++i)
            fills.append({m_transform.mapRect(rects[i]), m_brush.color()});
    }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawTextItem(const QPointF& p, const QTextItem& item) override {
        items.append(TextItem{item.text(), m_transform.map(p), m_pen.color(),
                              item.font().pixelSize() * m_transform.m22()});
    }
    Type type() const override { return QPaintEngine::User; }

    QVector<TextItem> items;
    QVector<QPair<QRectF, QColor>> fills;

private:
    QTransform m_transform;
    QPen m_pen;
    QBrush m_brush;
};

class Capture : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QVector<QPair<QRectF, QColor>> fills() const { return m_engine.fills; }
    QVector<TextItem> read(const QPicture& page) {
        m_engine.items.clear();
        m_engine.fills.clear();
        QPainter painter(this);
        // A page sets its own pens: the playing painter's pen must not show through.
        painter.setPen(Qt::green);
        playPage(painter, page, 100.0); // one unit = 1/100 mm
        painter.end();
        return m_engine.items;
    }

protected:
    int metric(PaintDeviceMetric m) const override {
        switch (m) {
        case PdmWidth:
            return 21000;
        case PdmHeight:
            return 29700;
        case PdmWidthMM:
            return 210;
        case PdmHeightMM:
            return 297;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 2540;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 1;
        }
    }

private:
    mutable CaptureEngine m_engine;
};

QStringList texts(const QVector<TextItem>& items) {
    QStringList out;
    for (const TextItem& i : items)
        out << i.text;
    return out;
}

// Result rows for tests: pupils 1..4 (pupil 9 does not exist), topics 1..3, grades 2..5, dates one day apart.
QString resultRowsSql(int count) {
    return QStringLiteral(R"sql(
INSERT INTO "класс" VALUES (1, '5А'), (2, '5Б');
INSERT INTO "Ученики" VALUES
    (1, 'Анна', 'Петрова', 'Сергеевна', 1, 'nota', 0),
    (2, 'Иван', 'Соколов', 'Петрович', 2, 'do-re-mi', 0),
    (3, 'Мария', 'Ивановна', 'Андреевна', 1, 'teach', 1),
    (4, 'Пётр', 'Кузнецов', 'Ильич', 2, 'sol', 0);
INSERT INTO "Тема" VALUES (1, 'Нотная грамота'), (2, 'Ключи'), (3, 'Композиторы');
WITH RECURSIVE n(i) AS (SELECT 1 WHERE %1 > 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
INSERT INTO "результаты" ("id_результата", "Дата", "Баллы", "Оценка", "id_ученика", "id_темы", "id_класса")
SELECT i, date('2026-01-01', '+' || i || ' days'), CAST(i % 10 AS TEXT), 2 + i % 4, 1 + i % 4, 3 - i % 3,
       1 + i % 2 FROM n;
)sql")
        .arg(count);
}

const QStringList headings{"Фамилия", "Имя", "Тема", "Баллы", "Оценка", "Дата"};

// The preview on screen (the one "Печать" opened), or nullptr.
ReportPreview* shownPreview() {
    ReportPreview* preview = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<ReportPreview*>(w); p && p->isVisible())
            preview = p;
    return preview;
}

} // namespace

// The results report over the real data module: what the pages hold, where rows go, the preview's
// commands and keys, cancelling, report files, PDF and printing.
class ReportTest : public QObject {
    Q_OBJECT

private:
    FixedToday m_today{Today};
    std::unique_ptr<DataModuleInstance> m_data;

    RecordingDialogs& dialogs() const { return m_data->dialogs; }
    std::unique_ptr<WindowInstance<TForm10>> m_form;

    void openDatabase(const QString& rows) {
        m_data.reset(); // before the next one: each restores the current folder it found
        m_data = std::make_unique<DataModuleInstance>(rows);
        QVERIFY(m_data->dm->rez->isActive());
    }

    Table* rez() const { return m_data->dm->rez; }

    // A preview of the current state of rez, shown modeless, once its last page exists.
    std::unique_ptr<ReportPreview> produced() {
        auto preview = std::make_unique<ReportPreview>(Form10->layout(), rez());
        preview->start();
        preview->show();
        if (!QTest::qWaitFor([&]() { return preview->isProduced(); }, 60000))
            qWarning("the report was not produced in time");
        return preview;
    }

    // The texts of the visible rows of rez as the grid shows them, by the report's columns.
    QStringList expectedRow(int row) const {
        QStringList out;
        for (const QString& name : Form10->layout().fieldNames())
            out << rez()->displayTextAt(row, rez()->fieldPos(name));
        return out;
    }

    // The detail rows of a page as read back, each a list of its non-empty texts in element order.
    static QVector<QStringList> detailRows(const QVector<TextItem>& items, double detailBaseline) {
        QMap<int, QStringList> byLine;
        for (const TextItem& i : items)
            if (i.at.y() >= detailBaseline - 1)
                byLine[qRound(i.at.y())] << i.text;
        return byLine.values().toVector();
    }

    static QStringList nonEmpty(const QStringList& row) {
        QStringList out;
        for (const QString& s : row)
            if (!s.isEmpty())
                out << s;
        return out;
    }

    static QString pdfText(const QString& path) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
        if (!p.waitForFinished(60000))
            return {};
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    static int pdfPages(const QString& path) {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {path});
        p.waitForFinished(60000);
        const QString info = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        return m.hasMatch() ? m.captured(1).toInt() : -1;
    }

    // The pages of a PDF file as pdftoppm renders them, `dpi` pixels per inch.
    static QVector<QImage> pdfPictures(const QString& path, int dpi) {
        QTemporaryDir dir;
        QProcess p;
        p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi),
                                             QStringLiteral("-png"), path, dir.filePath("p")});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return {};
        QVector<QImage> pages;
        for (const QString& name :
             QDir(dir.path()).entryList({QStringLiteral("p-*.png")}, QDir::Files, QDir::Name))
            pages.append(QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32));
        return pages;
    }

private slots:
    void init() { m_form = std::make_unique<WindowInstance<TForm10>>(Form10); }

    void cleanup() {
        m_data.reset();
        m_form.reset();
    }

    void rowsGoElevenThenTwelveAPage() {
        openDatabase(resultRowsSql(30));
        const auto preview = produced();
        QCOMPARE(preview->pageCount(), 3);
        Capture capture;
        const ReportBand& detail = *Form10->layout().band(ReportBand::Kind::Detail);
        const double ascent = QFontMetricsF(detail.elements[0].font.paintFont()).ascent();
        const QVector<PagePlan> plans = paginate(Form10->layout(), 30);

        int row = 0;
        for (int page = 0; page < 3; ++page) {
            const QVector<TextItem> items = capture.read(preview->pages()[page]);
            // Every page starts with the column headings, on page 1 below the date and the title.
            const QStringList all = texts(items);
            const int headingAt = page == 0 ? 2 : 0;
            QCOMPARE(all.mid(headingAt, 6), headings);
            QCOMPARE(all.contains(QStringLiteral("Итог тестирования")), page == 0);
            const double firstRowBaseline = (page == 0 ? 531.2 : 205.8) * 10 + 635 + ascent;
            const QVector<QStringList> rows = detailRows(items, firstRowBaseline);
            QCOMPARE(rows.size(), page == 0 ? 11 : page == 1 ? 12 : 7);
            for (int k = 0; k < rows.size(); ++k, ++row) {
                QCOMPARE(rows[k], nonEmpty(expectedRow(row)));
                // Each row at its band's place, in tenths of a millimetre exactly as planned.
                const BandPlacement& placed = plans[page].bands[(page == 0 ? 2 : 1) + k];
                QCOMPARE(placed.row, row);
                const auto surname = std::find_if(items.cbegin(), items.cend(), [&](const TextItem& i) {
                    return i.text == rows[k].first() && qAbs(i.at.y() - (placed.top * 10 + 635 + ascent)) < 2;
                });
                QVERIFY2(surname != items.cend(), qPrintable(rows[k].first()));
                QVERIFY(qAbs(surname->at.x() - (100 + 105.8) * 10) < 2);
            }
        }
        QCOMPARE(row, 30);
        // The 12th row heads page 2, right under the repeated column header.
        const QVector<TextItem> second = capture.read(preview->pages()[1]);
        QCOMPARE(second[6].text, expectedRow(11).first());
    }

    void fontsAndColoursOnThePage() {
        openDatabase(resultRowsSql(2));
        const auto preview = produced();
        Capture capture;
        const QVector<TextItem> items = capture.read(preview->pages()[0]);
        const auto find = [&](const QString& text) {
            return *std::find_if(items.cbegin(), items.cend(),
                                 [&](const TextItem& i) { return i.text == text; });
        };
        const double perPoint = 2540.0 / 72.0;
        const TextItem title = find(QStringLiteral("Итог тестирования"));
        QCOMPARE(title.color, QColor(255, 0, 0));
        QVERIFY(qAbs(title.pixelSize - 20 * perPoint) < 1);
        QVERIFY(qAbs(title.at.x() - (100 + 613.8) * 10) < 2);
        const TextItem heading = find(schema::results::points);
        QCOMPARE(heading.color, QColor(0, 0, 255));
        QVERIFY(qAbs(heading.pixelSize - 12 * perPoint) < 1);
        QVERIFY(qAbs(heading.at.x() - (100 + 1100.7) * 10) < 2);
        const TextItem date = find(dateText(Today));
        QCOMPARE(date.color, QApplication::palette().color(QPalette::WindowText));
        QVERIFY(qAbs(date.pixelSize - 10 * perPoint) < 1);
        QVERIFY(qAbs(date.at.x() - (100 + 1693.3) * 10) < 2);
        // The grade prints red, the other fields in the window text colour.
        rez()->first();
        const TextItem grade = find(expectedRow(0)[4]);
        QCOMPARE(grade.color, QColor(255, 0, 0));
        QVERIFY(qAbs(grade.pixelSize - 11 * perPoint) < 1);
        QCOMPARE(find(expectedRow(0)[0]).color, QApplication::palette().color(QPalette::WindowText));
    }

    void emptyReportIsDateAndTitleOnly() {
        openDatabase(resultRowsSql(5));
        rez()->setFilterText(QStringLiteral("Оценка ='9'"));
        rez()->setFiltered(true);
        QCOMPARE(rez()->recordCount(), 0);
        const auto preview = produced();
        QCOMPARE(preview->pageCount(), 1);
        Capture capture;
        QCOMPARE(texts(capture.read(preview->pages()[0])),
                 QStringList({dateText(Today), QStringLiteral("Итог тестирования")}));
        QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("PagePanel"))->text(),
                 QStringLiteral("Page 1 of 1"));
        QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("ProgressPanel"))->text(), QString());
    }

    void gradeFilterPrintsOnlyThoseRowsInGridOrder() {
        openDatabase(resultRowsSql(60));
        rez()->setFilterText(QStringLiteral("Оценка ='5'"));
        rez()->setFiltered(true);
        const int visible = rez()->recordCount();
        QCOMPARE(visible, 15);
        const auto preview = produced();
        QCOMPARE(preview->pageCount(), 2);
        Capture capture;
        QStringList printed;
        for (const QPicture& page : preview->pages())
            printed += texts(capture.read(page));
        QStringList expected;
        for (int row = 0; row < visible; ++row) {
            QCOMPARE(expectedRow(row)[4], QStringLiteral("5"));
            expected += nonEmpty(expectedRow(row));
        }
        for (const QString& s : headings)
            printed.removeAll(s);
        printed.removeAll(QStringLiteral("Итог тестирования"));
        printed.removeAll(dateText(Today));
        // Dates of results equal the production date nowhere in these rows, so what is left is the rows.
        QCOMPARE(printed, expected);
    }

    void sortByTopicOrdersTheReport() {
        openDatabase(resultRowsSql(20));
        rez()->setSort(schema::topicKey);
        const auto preview = produced();
        Capture capture;
        QStringList topics;
        for (const QPicture& page : preview->pages()) {
            const QVector<TextItem> items = capture.read(page);
            for (const TextItem& i : items)
                if (qAbs(i.at.x() - (100 + 656.2) * 10) < 2 && i.text != schema::topics::table)
                    topics << i.text;
        }
        QCOMPARE(topics.size(), 20);
        // Topic 1 "Нотная грамота" (7 rows), then 2 "Ключи" (7), then 3 "Композиторы" (6).
        QStringList expected;
        for (const auto& [topic, count] : {std::pair{"Нотная грамота", 7}, {"Ключи", 7}, {"Композиторы", 6}})
            for (int i = 0; i < count; ++i)
                expected << QString::fromUtf8(topic);
        QCOMPARE(topics, expected);
        // Within a topic the rows keep the engine's order: here, by date.
        for (int row = 0; row < 20; ++row)
            QCOMPARE(nonEmpty(expectedRow(row)).at(2), topics[row]);
    }

    void missingPupilPrintsEmptyNames() {
        openDatabase(resultRowsSql(0) + QStringLiteral(R"sql(
INSERT INTO "результаты" VALUES (1, '2026-05-04', '7', 4, 9, 2, 1), (2, '2026-05-05 13:20:00', '3', 3, 1, 8, 1);
)sql"));
        const auto preview = produced();
        Capture capture;
        const QVector<TextItem> items = capture.read(preview->pages()[0]);
        const QVector<QStringList> rows = detailRows(items, items[8].at.y());
        QCOMPARE(rows.size(), 3);
        // Pupil 9 does not exist: no surname, no first name, the rest as stored.
        QCOMPARE(rows[0], QStringList({"Ключи", "7", "4", "04.05.2026"}));
        // Topic 8 does not exist; a time of day other than midnight follows the date, and the date field,
        // which may not pass the band's right edge, wraps it onto a second line.
        QCOMPARE(rows[1].size(), 5);
        QCOMPARE(rows[1].mid(0, 4), QStringList({"Петрова", "Анна", "3", "3"}));
        QCOMPARE(rows[1][4].trimmed(), QStringLiteral("05.05.2026"));
        QCOMPARE(rows[2], QStringList({"13:20:00"}));
    }

    void overlappingTextIsCoveredByTheNextElement() {
        openDatabase(resultRowsSql(0) + QStringLiteral(R"sql(
INSERT INTO "Ученики" VALUES (5, 'Ия', 'Александровская-Оболенская', 'Ивановна', 1, 'x', 0);
INSERT INTO "результаты" VALUES (1, '2026-05-04', '7', 4, 1, 2, 1), (2, '2026-05-05', '3', 3, 5, 1, 1);
)sql"));
        const auto preview = produced();
        Capture capture;
        const QVector<TextItem> items = capture.read(preview->pages()[0]);
        // A lookup shows at most 20 characters; this surname runs on under the first-name column.
        QVERIFY(texts(items).contains(QStringLiteral("Александровская-Обол")));
        const QVector<QPair<QRectF, QColor>> fills = capture.fills();
        // Only where one element lies over another does its white background need painting: the first
        // name of the second row, over the surname.
        QCOMPARE(fills.size(), 1);
        QCOMPARE(fills[0].second, QColor(Qt::white));
        QVERIFY(qAbs(fills[0].first.left() - (100 + 423.3) * 10) < 2);
        const double secondRowTop = (531.2 + 211.7 + 63.5) * 10;
        QVERIFY(qAbs(fills[0].first.top() - secondRowTop) < 2);
    }

    void cursorStandsOnTheLastRowAfterwards() {
        openDatabase(resultRowsSql(25));
        rez()->moveTo(3);
        const auto preview = produced();
        QCOMPARE(rez()->recNo(), rez()->recordCount() - 1);
        QVERIFY(rez()->eof());
    }

    void closingEarlyCancelsProduction() {
        openDatabase(resultRowsSql(20000));
        auto preview = std::make_unique<ReportPreview>(Form10->layout(), rez());
        int arrived = 0;
        connect(preview.get(), &ReportPreview::produced, this, [&]() { QFAIL("produced although closed"); });
        preview->start();
        preview->show();
        QVERIFY(QTest::qWaitFor([&]() { return preview->pageCount() > 0; }, 20000));
        QVERIFY(!preview->isProduced());
        QVERIFY(!preview->findChild<QAction*>(QStringLiteral("Print"))->isEnabled());
        QVERIFY(!preview->findChild<QAction*>(QStringLiteral("PrinterSetup"))->isEnabled());
        preview->close();
        arrived = preview->pageCount();
        QTest::qWait(200);
        QVERIFY(!preview->isProduced());
        QVERIFY(arrived < 1667);
        // The worker stopped where it was; the cursor stands there, not on the last row.
        QVERIFY(rez()->recNo() < rez()->recordCount() - 1);
    }

    void toolBarInItsOrderWithItsToolTips() {
        openDatabase(resultRowsSql(3));
        const auto preview = produced();
        QCOMPARE(preview->windowTitle(), QStringLiteral("Print Preview"));
        QVERIFY(preview->windowState() & Qt::WindowMaximized);
        const QToolBar* bar = preview->findChild<QToolBar*>(QStringLiteral("ToolBar"));
        QStringList tips;
        for (QAction* a : bar->actions())
            if (!a->isSeparator() && !a->toolTip().isEmpty() && a->objectName() != QString())
                tips << a->toolTip();
        QCOMPARE(tips, QStringList({"Zoom to fit", "100%", "Zoom to width", "First page", "Previous page",
                                    "Next page", "Last page", "Printer setup", "Print", "Save Report",
                                    "Load Report"}));
        auto* close = preview->findChild<QPushButton*>(QStringLiteral("CloseButton"));
        QCOMPARE(close->text(), QStringLiteral("&Close"));
        QCOMPARE(bar->widgetForAction(bar->actions().last()), close);

        auto* fit = preview->findChild<QAction*>(QStringLiteral("ZoomToFit"));
        auto* full = preview->findChild<QAction*>(QStringLiteral("Zoom100"));
        auto* width = preview->findChild<QAction*>(QStringLiteral("ZoomToWidth"));
        QVERIFY(width->isChecked() && !fit->isChecked() && !full->isChecked());
        QVERIFY(preview->zoom() == ReportPreview::Zoom::Width);
        fit->trigger();
        QVERIFY(fit->isChecked() && !width->isChecked());
        QVERIFY(preview->zoom() == ReportPreview::Zoom::Fit);
        const QSize room =
            preview->findChild<QScrollArea*>(QStringLiteral("PageScroll"))->maximumViewportSize();
        QVERIFY(preview->pageView()->height() <= room.height() + 1);
        full->trigger();
        QVERIFY(qAbs(preview->pageView()->pixelsPerMm() - preview->logicalDpiX() / 25.4) < 1e-9);
        width->trigger();
        QVERIFY(preview->pageView()->width() <= room.width());
        QVERIFY(preview->pageView()->width() > room.width() - 60);
        QVERIFY(preview->findChild<QAction*>(QStringLiteral("Print"))->isEnabled());
        QVERIFY(preview->findChild<QAction*>(QStringLiteral("PrinterSetup"))->isEnabled());
        close->click();
        QVERIFY(!preview->isVisible());
    }

    void keysMoveThroughPagesAndEscCloses() {
        openDatabase(resultRowsSql(59)); // 11 + 4 × 12 rows: 5 pages
        const auto preview = produced();
        QCOMPARE(preview->pageCount(), 5);
        auto* label = preview->findChild<QLabel*>(QStringLiteral("PagePanel"));
        QCOMPARE(label->text(), QStringLiteral("Page 1 of 5"));
        QTest::keyClick(preview.get(), Qt::Key_PageDown);
        QCOMPARE(label->text(), QStringLiteral("Page 2 of 5"));
        QTest::keyClick(preview.get(), Qt::Key_End);
        QCOMPARE(preview->currentPage(), 4);
        QTest::keyClick(preview.get(), Qt::Key_PageDown);
        QCOMPARE(preview->currentPage(), 4);
        QTest::keyClick(preview.get(), Qt::Key_PageUp);
        QCOMPARE(label->text(), QStringLiteral("Page 4 of 5"));
        QTest::keyClick(preview.get(), Qt::Key_Home);
        QCOMPARE(preview->currentPage(), 0);
        QTest::keyClick(preview.get(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(preview->currentPage(), 4);
        QTest::keyClick(preview.get(), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(preview->currentPage(), 0);
        preview->findChild<QAction*>(QStringLiteral("NextPage"))->trigger();
        preview->findChild<QAction*>(QStringLiteral("NextPage"))->trigger();
        QCOMPARE(label->text(), QStringLiteral("Page 3 of 5"));
        preview->findChild<QAction*>(QStringLiteral("LastPage"))->trigger();
        QCOMPARE(preview->currentPage(), 4);
        preview->findChild<QAction*>(QStringLiteral("PriorPage"))->trigger();
        QCOMPARE(preview->currentPage(), 3);
        preview->findChild<QAction*>(QStringLiteral("FirstPage"))->trigger();
        QCOMPARE(preview->currentPage(), 0);
        QTest::keyClick(preview.get(), Qt::Key_Escape);
        QVERIFY(!preview->isVisible());
    }

    void runsModallyFromTheManagementWindowsCommand() {
        openDatabase(resultRowsSql(13));
        QString title;
        int pages = 0;
        bool takesInput = false;
        bool hostDisabled = false;
        bool produced = false;
        Form host(QStringLiteral("Host"), QStringLiteral("Управление"), 10, 10, 300, 200);
        host.show();
        later([&]() {
            ReportPreview* preview = shownPreview();
            if (!preview)
                return;
            title = preview->windowTitle();
            takesInput = preview->isEnabled();
            hostDisabled = !host.isEnabled();
            produced = QTest::qWaitFor([&]() { return preview->isProduced(); }, 20000);
            pages = preview->pageCount();
            preview->close();
        });
        runResultsReport(&host);
        QCOMPARE(title, QStringLiteral("Print Preview"));
        // Modal over the window it was opened from, and itself usable.
        QVERIFY(takesInput);
        QVERIFY(hostDisabled);
        QVERIFY(host.isEnabled());
        QVERIFY(produced);
        QCOMPARE(pages, 2);
        QCOMPARE(rez()->recNo(), 12);
        // Nothing of the preview outlives its showing.
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<ReportPreview*>(w));
    }

    // A topic whose test differs from a topic never set is named above the export's header row; without
    // settings, or with settings at their defaults, the file begins with the header row as before.
    void settingsThatDifferHeadTheExport_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("firstLine");
        const QString header = QStringLiteral("Фамилия;Имя;Класс;Тема;Дата;Баллы;Оценка");
        QTest::newRow("no settings") << QString() << header;
        QTest::newRow("a topic at its defaults")
            << QStringLiteral("INSERT INTO \"НастройкиТемы\" (\"id_темы\", \"разбор\") VALUES (1, 2);")
            << header;
        QTest::newRow("a topic set")
            << QStringLiteral("INSERT INTO \"НастройкиТемы\" VALUES (1, 120, 3, 1, 0, 50, 70, 90, 0);")
            << QStringLiteral(
                   "Настройки тестов — «Нотная грамота»: время 2:00, вопросов 3, вопросы вперемешку, "
                   "границы оценок 50/70/90");
    }

    void settingsThatDifferHeadTheExport() {
        QFETCH(QString, settings);
        QFETCH(QString, firstLine);
        const QString table =
            settings.isEmpty() ? QString() : settingstable::definition().fileDdl.join(u';') + u';';
        openDatabase(resultRowsSql(6) + table + settings);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("итоги.csv"));
        bool saved = false;
        later([&]() {
            ReportPreview* preview = shownPreview();
            if (!preview || !QTest::qWaitFor([&]() { return preview->isProduced(); }, 20000))
                return;
            dialogs().setNextFileName(path);
            preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
            saved = QTest::qWaitFor([&]() { return !preview->isExporting(); }, 20000);
            preview->close();
        });
        Form host(QStringLiteral("Host"), QStringLiteral("Управление"), 10, 10, 300, 200);
        runResultsReport(&host);
        QVERIFY(saved);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString first = QString::fromUtf8(file.readLine()).remove(QChar(0xFEFF)).trimmed();
        QVERIFY2(first.contains(firstLine), qPrintable(first));
    }

    // The whole road: the teacher types 5 into the grade filter, presses "Печать", pages through the
    // preview, prints to a PDF file and saves the report as PDF.
    void teacherPrintsTheResultsWithGradeFive() {
        openDatabase(resultRowsSql(60));
        const WindowInstance<TForm9> form9(Form9);
        form9->show();
        QTest::keyClicks(form9->Edit1, QStringLiteral("5"));
        QCOMPARE(rez()->recordCount(), 15);
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
        QStringList seen;
        later([&]() {
            ReportPreview* preview = shownPreview();
            if (!preview || !QTest::qWaitFor([&]() { return preview->isProduced(); }, 20000))
                return;
            auto* label = preview->findChild<QLabel*>(QStringLiteral("PagePanel"));
            seen << label->text();
            QTest::keyClick(preview, Qt::Key_PageDown);
            seen << label->text();
            preview->printer().setOutputFormat(QPrinter::PdfFormat);
            preview->printer().setOutputFileName(printed);
            preview->findChild<QAction*>(QStringLiteral("Print"))->trigger();
            dialogs().setNextFileName(saved);
            preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
            QTest::keyClick(preview, Qt::Key_Escape);
        });
        QTest::mouseClick(form9->Button3, Qt::LeftButton);
        QCOMPARE(seen, QStringList({"Page 1 of 2", "Page 2 of 2"}));
        QVERIFY2(dialogs().failures().isEmpty(), qPrintable(dialogs().failures().join('\n')));
        for (const QString& pdf : {printed, saved}) {
            QCOMPARE(pdfPages(pdf), 2);
            const QString text = pdfText(pdf);
            for (int row = 0; row < 15; ++row)
                QVERIFY(text.contains(
                    QRegularExpression(nonEmpty(expectedRow(row)).join(QStringLiteral("\\s+")))));
        }
        // The results grid stands on the last row, as the report left rez.
        QCOMPARE(rez()->recNo(), 14);
        QCOMPARE(form9->DBGrid2->currentIndex().row(), 14);
    }

    void closedResultsTableIsReported() {
        openDatabase(resultRowsSql(3));
        rez()->close();
        ReportPreview preview(Form10->layout(), rez());
        QVERIFY_THROWS_EXCEPTION(Failure, preview.start());
    }

    void savedReportLoadsBackPageForPage() {
        openDatabase(resultRowsSql(40));
        const auto preview = produced();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("итоги"));
        dialogs().setNextFileName(path);
        preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        QVERIFY2(dialogs().failures().isEmpty(), qPrintable(dialogs().failures().join('\n')));
        QVERIFY(QFile::exists(path + QStringLiteral(".rpt")));

        openDatabase(resultRowsSql(2));
        const auto other = produced();
        QCOMPARE(other->pageCount(), 1);
        dialogs().setNextFileName(path + QStringLiteral(".rpt"));
        other->findChild<QAction*>(QStringLiteral("LoadReport"))->trigger();
        QVERIFY2(dialogs().failures().isEmpty(), qPrintable(dialogs().failures().join('\n')));
        QCOMPARE(other->pageCount(), preview->pageCount());
        Capture capture;
        for (int i = 0; i < preview->pageCount(); ++i)
            QCOMPARE(texts(capture.read(other->pages()[i])), texts(capture.read(preview->pages()[i])));
        QCOMPARE(other->currentPage(), 0);
        QCOMPARE(other->findChild<QLabel*>(QStringLiteral("PagePanel"))->text(),
                 QStringLiteral("Page 1 of 4"));
    }

    void damagedReportFileIsRefusedAndChangesNothing() {
        openDatabase(resultRowsSql(15));
        const auto preview = produced();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.rpt"));
        dialogs().setNextFileName(path);
        preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x21);
        file.seek(0);
        file.write(bytes);
        file.close();

        const QByteArray before(preview->pages()[1].data(), preview->pages()[1].size());
        preview->showPage(1);
        dialogs().setNextFileName(path);
        preview->findChild<QAction*>(QStringLiteral("LoadReport"))->trigger();
        QCOMPARE(dialogs().failures(),
                 QStringList({QStringLiteral("Файл отчёта «%1» повреждён.").arg(path)}));
        QCOMPARE(preview->pageCount(), 2);
        QCOMPARE(preview->currentPage(), 1);
        QCOMPARE(QByteArray(preview->pages()[1].data(), preview->pages()[1].size()), before);

        const QString foreign = dir.filePath(QStringLiteral("b.rpt"));
        QFile text(foreign);
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Фамилия;Имя\n");
        text.close();
        dialogs().clear();
        dialogs().setNextFileName(foreign);
        preview->findChild<QAction*>(QStringLiteral("LoadReport"))->trigger();
        QCOMPARE(dialogs().failures(),
                 QStringList({QStringLiteral("Файл «%1» не является отчётом программы.").arg(foreign)}));
        QCOMPARE(preview->pageCount(), 2);
        QCOMPARE(preview->findChild<QLabel*>(QStringLiteral("PagePanel"))->text(),
                 QStringLiteral("Page 2 of 2"));
    }

    void pdfHoldsTitleHeadingsAndRows() {
        openDatabase(resultRowsSql(14));
        const auto preview = produced();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("итоги.pdf"));
        dialogs().setNextFileName(path);
        preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        QVERIFY2(dialogs().failures().isEmpty(), qPrintable(dialogs().failures().join('\n')));
        QCOMPARE(pdfPages(path), 2);
        const QString text = pdfText(path);
        QVERIFY(text.contains(QStringLiteral("Итог тестирования")));
        QVERIFY(text.contains(dateText(Today)));
        QCOMPARE(text.count(schema::results::grade), 2); // once per page
        for (const QString& h : headings)
            QVERIFY2(text.contains(h), qPrintable(h));
        for (int row = 0; row < 14; ++row) {
            const QStringList cells = nonEmpty(expectedRow(row));
            const QRegularExpression line(cells.join(QStringLiteral("\\s+")));
            QVERIFY2(text.contains(line), qPrintable(cells.join(' ')));
        }

        // Chosen by filter when the name has no extension.
        const QString bare = dir.filePath(QStringLiteral("итоги2"));
        dialogs().setNextFileName(bare);
        dialogs().setNextFilter(QStringLiteral("PDF (*.pdf)"));
        preview->findChild<QAction*>(QStringLiteral("SaveReport"))->trigger();
        QCOMPARE(pdfPages(bare + QStringLiteral(".pdf")), 2);
    }

    void printingReproducesThePagesFromTheFirstRow() {
        openDatabase(resultRowsSql(30));
        const auto preview = produced();
        QTemporaryDir dir;
        QPrinter& printer = preview->printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("all.pdf")));
        rez()->moveTo(5);
        bool sawProgress = false;
        later([&]() {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == QLatin1String("Printing progress"))
                    sawProgress = w->findChild<QProgressBar*>() &&
                                  w->findChild<QPushButton*>(QStringLiteral("CancelButton"))->text() ==
                                      QLatin1String("Cancel");
        });
        preview->findChild<QAction*>(QStringLiteral("Print"))->trigger();
        QVERIFY(sawProgress);
        QVERIFY(dialogs().failures().isEmpty());
        QVERIFY(dialogs().texts(QStringLiteral("warning")).isEmpty());
        QCOMPARE(pdfPages(dir.filePath(QStringLiteral("all.pdf"))), 3);
        const QString text = pdfText(dir.filePath(QStringLiteral("all.pdf")));
        QVERIFY(text.contains(expectedRow(0).first()));
        QCOMPARE(rez()->recNo(), 29); // walked again to the last row

        // A page range and two copies.
        printer.setOutputFileName(dir.filePath(QStringLiteral("range.pdf")));
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 3);
        printer.setCopyCount(2);
        preview->print();
        QCOMPARE(pdfPages(dir.filePath(QStringLiteral("range.pdf"))), 4);
        QCOMPARE(
            pdfText(dir.filePath(QStringLiteral("range.pdf"))).count(QStringLiteral("Итог тестирования")), 0);
    }

    // What the teacher chose for printing (here: a file) holds for the next "Печать" of the run as well.
    void printerChoicesHoldForEveryPreviewOfTheRun() {
        openDatabase(resultRowsSql(3));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("итоги.pdf"));
        Form host(QStringLiteral("Host"), QStringLiteral("Управление"), 10, 10, 300, 200);
        host.show();
        for (int press = 0; press < 2; ++press) {
            QTimer::singleShot(0, this, [&]() {
                ReportPreview* preview = shownPreview();
                if (!preview || !QTest::qWaitFor([&]() { return preview->isProduced(); }, 20000))
                    return;
                if (press == 0) {
                    preview->printer().setOutputFormat(QPrinter::PdfFormat);
                    preview->printer().setOutputFileName(path);
                }
                QFile::remove(path);
                preview->print();
                preview->close();
            });
            runResultsReport(&host);
            QCOMPARE(pdfPages(path), 1);
        }
        QVERIFY(dialogs().texts(QStringLiteral("warning")).isEmpty());
    }

    // Print paints its pages straight onto the printer, the preview records them and plays them back: the two
    // roads give the same pages.
    void printedPagesLookLikeTheSavedPreview() {
        openDatabase(resultRowsSql(30));
        const auto preview = produced();
        QTemporaryDir dir;
        const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
        const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
        preview->printer().setOutputFormat(QPrinter::PdfFormat);
        preview->printer().setOutputFileName(printed);
        preview->print();
        savePdf(saved, SavedReport{QSizeF(210, 297), preview->pages()});
        // "Save Report" paints the pages again from their rows rather than playing them back.
        const QString repainted = dir.filePath(QStringLiteral("repainted.pdf"));
        preview->savePdf(repainted);
        const QVector<QImage> fromPrint = pdfPictures(printed, 100);
        const QVector<QImage> fromPreview = pdfPictures(saved, 100);
        const QVector<QImage> fromRows = pdfPictures(repainted, 100);
        QCOMPARE(fromPrint.size(), 3);
        QCOMPARE(fromPreview.size(), 3);
        QCOMPARE(fromRows.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(fromPrint[i] == fromPreview[i],
                     qPrintable(QStringLiteral("page %1 differs").arg(i + 1)));
            QVERIFY2(fromRows[i] == fromPreview[i],
                     qPrintable(QStringLiteral("saved page %1 differs").arg(i + 1)));
        }
    }

    // As the teacher goes, in one process: the preview, "Save Report" as PDF, then Print. Qt's PDF writer
    // takes two 10 MB buffers and a compressor for every page; each page reuses the memory of the page before
    // instead of having it mapped and faulted in afresh (ten faults a page and more; about two with the
    // memory reused, the first pages' own included).
    void savingAndPrintingReuseTheMemoryOfThePageBefore() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the address sanitizer keeps memory of its own");
#endif
        openDatabase(resultRowsSql(11 + 12 * 199));
        const auto preview = produced();
        const int pages = preview->pageCount();
        QCOMPARE(pages, 200);
        const auto faults = [] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            return usage.ru_minflt;
        };
        QTemporaryDir dir;
        long before = faults();
        preview->savePdf(dir.filePath(QStringLiteral("saved.pdf")));
        const long saving = faults() - before;
        preview->printer().setOutputFormat(QPrinter::PdfFormat);
        preview->printer().setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        before = faults();
        preview->print();
        const long printing = faults() - before;
        QCOMPARE(pdfPages(dir.filePath(QStringLiteral("printed.pdf"))), pages);
        QVERIFY2(saving < pages * 4, qPrintable(QString::number(saving)));
        QVERIFY2(printing < pages * 4, qPrintable(QString::number(printing)));
    }

    void cancellingPrintingAbortsTheJob_data() {
        QTest::addColumn<QByteArray>("before"); // the file's content before the print, empty for none
        QTest::newRow("a new file") << QByteArray();
        QTest::newRow("a file that was there") << QByteArray("старое");
    }

    void cancellingPrintingAbortsTheJob() {
        QFETCH(QByteArray, before);
        openDatabase(resultRowsSql(20000));
        auto preview = produced();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cancelled.pdf"));
        QFile old(path);
        if (!before.isEmpty())
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(before) > 0);
        old.close();
        preview->printer().setOutputFormat(QPrinter::PdfFormat);
        preview->printer().setOutputFileName(path);
        later([&]() {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->windowTitle() == QLatin1String("Printing progress"))
                    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("CancelButton")),
                                      Qt::LeftButton);
        });
        preview->print();
        // No file that looks whole is left behind, and one that was there is kept as it was.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 before.isEmpty() ? QStringList() : QStringList{QStringLiteral("cancelled.pdf")});
        if (!before.isEmpty()) {
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), before);
        }
        QCOMPARE(preview->printer().outputFileName(), path);
        QVERIFY(dialogs().failures().isEmpty());
        // The print run stopped before its next row.
        QVERIFY(rez()->recNo() < rez()->recordCount() - 1);
    }

    void printerSetupAndNoPrinter() {
        if (!QPrinterInfo::availablePrinterNames().isEmpty())
            QSKIP("a printer is installed here");
        openDatabase(resultRowsSql(3));
        const auto preview = produced();
        // Print to the system's printer when there is none: a warning, nothing printed.
        preview->printer().setOutputFormat(QPrinter::NativeFormat);
        preview->print();
        QCOMPARE(dialogs().texts(QStringLiteral("warning")).size(), 1);

        // Printer setup warns as well and then offers its dialog; cancelling it changes nothing.
        dialogs().clear();
        preview->printer().setCopyCount(3);
        bool dialogShown = false;
        later([&]() {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                dialogShown = true;
                dialog->reject();
            }
        });
        preview->findChild<QAction*>(QStringLiteral("PrinterSetup"))->trigger();
        QCOMPARE(dialogs().texts(QStringLiteral("warning")).size(), 1);
        QVERIFY(dialogShown);
        QCOMPARE(preview->printer().copyCount(), 3);
    }
};

ESUN_TEST_MAIN(ReportTest)
#include "test_report.moc"
