#include "admin/form10.h"
#include "admin/report/pagepainter.h"
#include "admin/report/pdfjoin.h"
#include "admin/report/preview.h"
#include "admin/report/reportfile.h"
#include "admin/report/reportlayout.h"
#include "admin/report/rowfeed.h"
#include "base/failure.h"
#include "base/schema.h"

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace report;

// The report's layout engine without a database: the bands and elements of the results report in tenths
// of a millimetre, the page-break rule, auto-sizing elements, the progress panel and the report file.
class ReportLayoutTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm10> m_form; // made after, and gone before, the application object
    const ReportLayout& layout() const { return m_form->layout(); }

    static double bandTop(const PagePlan& page, int index) { return page.bands.at(index).top; }

private slots:
    void initTestCase() { m_form = std::make_unique<TForm10>(); }
    void cleanupTestCase() { m_form.reset(); }

    void pageIsA4PortraitWithTenMillimetreMargins() {
        const PageSettings& page = layout().page;
        QCOMPARE(page.paperWidth, 2100.0);
        QCOMPARE(page.paperHeight, 2970.0);
        QCOMPARE(page.topMargin, 100.0);
        QCOMPARE(page.bottomMargin, 100.0);
        QCOMPARE(page.leftMargin, 100.0);
        QCOMPARE(page.rightMargin, 100.0);
        QVERIFY(page.printIfEmpty);
        QCOMPARE(layout().reportFont.family, QStringLiteral("Arial"));
        QCOMPARE(layout().reportFont.pointSize, 10.0);
    }

    void bandsInPrintingOrder() {
        const QVector<ReportBand>& bands = layout().bands;
        QCOMPARE(bands.size(), 3);
        const QStringList names{"TitleBand1", "ColumnHeaderBand1", "DetailBand1"};
        const QList<ReportBand::Kind> kinds{ReportBand::Kind::Title, ReportBand::Kind::ColumnHeader,
                                            ReportBand::Kind::Detail};
        const QList<double> heights{325.4, 105.8, 211.7};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(bands[i].name, names[i]);
            QVERIFY(bands[i].kind == kinds[i]);
            QCOMPARE(bands[i].height, heights[i]);
            QCOMPARE(bands[i].width, 1899.7);
            QCOMPARE(bands[i].color, QColor(Qt::white));
        }
    }

    void titleBandElements() {
        const ReportBand& title = *layout().band(ReportBand::Kind::Title);
        QCOMPARE(title.elements.size(), 2);
        const ReportElement& date = title.elements[0];
        QVERIFY(date.kind == ReportElement::Kind::Date);
        QCOMPARE(QRectF(date.left, date.top, date.designWidth, date.height),
                 QRectF(1693.3, 21.2, 95.3, 66.1));
        QCOMPARE(date.font.pointSize, 10.0);
        const ReportElement& caption = title.elements[1];
        QVERIFY(caption.kind == ReportElement::Kind::Text);
        QCOMPARE(caption.name, QStringLiteral("Итог тестирования"));
        QCOMPARE(QRectF(caption.left, caption.top, caption.designWidth, caption.height),
                 QRectF(613.8, 105.8, 627.1, 87.3));
        QCOMPARE(caption.font.pointSize, 20.0);
        QCOMPARE(caption.font.color, QColor(255, 0, 0));
        QCOMPARE(caption.font.paintFont().family(), QStringLiteral("Liberation Sans"));
    }

    void columnHeadingsAndFields() {
        const ReportBand& header = *layout().band(ReportBand::Kind::ColumnHeader);
        const ReportBand& detail = *layout().band(ReportBand::Kind::Detail);
        const QStringList names{"Фамилия", "Имя", "Тема", "Баллы", "Оценка", "Дата"};
        const QList<double> lefts{105.8, 423.3, 656.2, 1100.7, 1397.0, 1651.0};
        const QList<double> headingWidths{172.0, 87.3, 103.2, 129.6, 145.5, 97.9};
        const QList<double> fieldWidths{164.0, 79.4, 95.3, 121.7, 140.2, 90.0};
        QCOMPARE(header.elements.size(), 6);
        QCOMPARE(detail.elements.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const ReportElement& h = header.elements[i];
            QVERIFY(h.kind == ReportElement::Kind::Text);
            QCOMPARE(h.name, names[i]);
            QCOMPARE(QRectF(h.left, h.top, h.designWidth, h.height),
                     QRectF(lefts[i], 21.2, headingWidths[i], 50.3));
            QCOMPARE(h.font.pointSize, 12.0);
            QCOMPARE(h.font.color, QColor(0, 0, 255));
            const ReportElement& f = detail.elements[i];
            QVERIFY(f.kind == ReportElement::Kind::Field);
            QCOMPARE(f.name, names[i]);
            QCOMPARE(QRectF(f.left, f.top, f.designWidth, f.height),
                     QRectF(lefts[i], 63.5, fieldWidths[i], 47.6));
            QCOMPARE(f.font.pointSize, 11.0);
            QCOMPARE(f.font.color, names[i] == schema::results::grade
                                       ? QColor(255, 0, 0)
                                       : QApplication::palette().color(QPalette::WindowText));
            for (const ReportElement* e : {&h, &f}) {
                QVERIFY(e->autoSize);
                QVERIFY(e->wordWrap);
                QCOMPARE(e->background, QColor(Qt::white));
            }
        }
        QCOMPARE(layout().fieldNames(), names);
    }

    void firstPageHoldsElevenRowsLaterPagesTwelve() {
        QCOMPARE(paginate(layout(), 1).size(), 1);
        QCOMPARE(paginate(layout(), 11).size(), 1);
        QCOMPARE(paginate(layout(), 12).size(), 2);
        QCOMPARE(paginate(layout(), 23).size(), 2);
        QCOMPARE(paginate(layout(), 24).size(), 3);
        QCOMPARE(paginate(layout(), 100000).size(), 8334);

        const QVector<PagePlan> pages = paginate(layout(), 30);
        QCOMPARE(pages.size(), 3);
        // Page 1: title at the top margin, column header below it, then eleven rows.
        const PagePlan& first = pages[0];
        QCOMPARE(first.bands.size(), 13);
        QCOMPARE(first.bands[0].band, 0);
        QCOMPARE(bandTop(first, 0), 100.0);
        QCOMPARE(first.bands[1].band, 1);
        QCOMPARE(bandTop(first, 1), 425.4);
        for (int k = 0; k < 11; ++k) {
            QCOMPARE(first.bands[2 + k].band, 2);
            QCOMPARE(first.bands[2 + k].row, k);
            QVERIFY(qAbs(bandTop(first, 2 + k) - (531.2 + k * 211.7)) < 1e-6);
        }
        // Page 2: the column header again at the top margin, and the 12th row under it.
        const PagePlan& second = pages[1];
        QCOMPARE(second.bands.size(), 13);
        QCOMPARE(second.bands[0].band, 1);
        QCOMPARE(bandTop(second, 0), 100.0);
        QCOMPARE(second.bands[1].row, 11);
        QVERIFY(qAbs(bandTop(second, 1) - 205.8) < 1e-6);
        QCOMPARE(second.bands.last().row, 22);
        // Nothing passes the bottom margin.
        for (const PagePlan& page : pages) {
            const BandPlacement& last = page.bands.last();
            QVERIFY(last.top + layout().bands[last.band].height <= 2870.0);
        }
        QCOMPARE(pages[2].bands[0].band, 1);
        QCOMPARE(pages[2].bands.size(), 1 + 7);
    }

    void emptyReportHasTitleAndOneEmptyDetailButNoHeader() {
        const QVector<PagePlan> pages = paginate(layout(), 0);
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages[0].bands.size(), 2);
        QCOMPARE(pages[0].bands[0].band, 0);
        QCOMPARE(pages[0].bands[1].band, 2);
        QCOMPARE(pages[0].bands[1].row, -1);
        QCOMPARE(bandTop(pages[0], 1), 425.4);

        ReportLayout silent = layout();
        silent.page.printIfEmpty = false;
        QVERIFY(paginate(silent, 0).isEmpty());
    }

    void aBandTallerThanThePageStillPrints() {
        ReportLayout tall = layout();
        tall.bands[2].height = 3000;
        const QVector<PagePlan> pages = paginate(tall, 2);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[1].bands.size(), 2); // header, then the oversized row alone
        QCOMPARE(pages[2].bands[1].row, 1);
    }

    void elementsSizeThemselvesToTheirText() {
        const ReportBand& detail = *layout().band(ReportBand::Kind::Detail);
        const ReportElement& surname = detail.elements[0];
        const QFontMetricsF metrics(surname.font.paintFont());
        const QRectF shortText = elementRect(surname, detail, QStringLiteral("Ли"));
        QCOMPARE(shortText.topLeft(), QPointF(105.8, 63.5));
        QVERIFY(qAbs(shortText.width() - metrics.horizontalAdvance(QStringLiteral("Ли")) / 10.0) < 1e-6);
        QCOMPARE(shortText.height(), 47.6);
        const QRectF longer = elementRect(surname, detail, QStringLiteral("Константинопольская"));
        QVERIFY(longer.width() > shortText.width());
        QVERIFY(longer.width() > surname.designWidth);
        QCOMPARE(elementRect(surname, detail, QString()).width(), 0.0);

        // Too long for the band: it wraps at the band's right edge and grows down to the band's bottom only.
        const QString words = QStringLiteral("очень длинная тема ").repeated(40);
        const QRectF wrapped = elementRect(surname, detail, words);
        QCOMPARE(wrapped.right(), detail.width);
        QVERIFY(wrapped.height() > surname.height);
        QCOMPARE(wrapped.bottom(), detail.height);
    }

    void dateElementUsesTheShortDateFormat() {
        // Tests run under the C locale, where the Russian short date applies.
        QCOMPARE(dateText(QDate(2026, 3, 7)), QStringLiteral("07.03.2026"));
    }

    void progressPanelStepsByFive() {
        QLabel label;
        ProgressPanel panel(&label);
        panel.reset();
        QCOMPARE(label.text(), QStringLiteral("0%"));
        panel.rowsDone(4, 100);
        QCOMPARE(label.text(), QStringLiteral("0%"));
        panel.rowsDone(5, 100);
        QCOMPARE(label.text(), QStringLiteral("5%"));
        panel.rowsDone(9, 100);
        QCOMPARE(label.text(), QStringLiteral("5%"));
        panel.rowsDone(13, 100);
        QCOMPARE(label.text(), QStringLiteral("13%"));
        panel.rowsDone(17, 100);
        QCOMPARE(label.text(), QStringLiteral("13%"));
        panel.rowsDone(97, 100);
        QCOMPARE(label.text(), QStringLiteral("97%"));
        panel.rowsDone(100, 100);
        QCOMPARE(label.text(), QString());
        // An empty report is done at once: no division by zero, the panel cleared.
        panel.reset();
        panel.rowsDone(0, 0);
        QCOMPARE(label.text(), QString());
    }

    void rowFeedHandsRowsAcrossThreads() {
        RowFeed feed(5);
        QStringList seen;
        QThread* reader = QThread::create([&]() {
            for (int row = 0; row < 5; ++row)
                if (auto chunk = feed.chunkFor(row))
                    seen << chunk->cell(row, 0) + chunk->cell(row, 1);
        });
        reader->start();
        auto a = std::make_shared<RowChunk>(0, 2);
        for (const char* t : {"a0", "b0", "a1", "", "a2", "b2"})
            a->appendCell(QString::fromLatin1(t));
        feed.publish(a);
        auto b = std::make_shared<RowChunk>(3, 2);
        for (const char* t : {"a3", "b3", "a4", "b4"})
            b->appendCell(QString::fromLatin1(t));
        feed.publish(b);
        QVERIFY(reader->wait(5000));
        delete reader;
        QCOMPARE(seen, QStringList({"a0b0", "a1", "a2b2", "a3b3", "a4b4"}));
    }

    void cancelledFeedReleasesAWaitingWorker() {
        RowFeed feed(10);
        bool gotNothing = false;
        QThread* reader = QThread::create([&]() { gotNothing = feed.chunkFor(0) == nullptr; });
        reader->start();
        QTest::qWait(20);
        feed.cancel();
        QVERIFY(reader->wait(5000));
        delete reader;
        QVERIFY(gotNothing);
    }

    // Two pages of names, topics and dates that repeat, with one topic long enough to wrap, painted as the
    // preview paints them: pixel for pixel the pictures kept in tests/data/report/ (ESUN_WRITE_REFERENCES=1
    // writes them anew, after a change that is meant to change how pages look).
    void pagesLookAsTheyAlwaysDid() {
        const PagePainter painter(layout(), QStringLiteral("01.02.2026"));
        const QStringList topics{
            QStringLiteral("Нотная грамота"), QStringLiteral("Ключи"),
            QStringLiteral("Музыкальные инструменты симфонического оркестра и их звучание в концертном зале "
                           "областной филармонии")};
        const auto cell = [&](int row, int column) {
            switch (column) {
            case 0:
                return QStringLiteral("Фамилия%1").arg(row % 4);
            case 1:
                return row % 5 == 0 ? QString() : QStringLiteral("Имя%1").arg(row % 3);
            case 2:
                return topics.at(row % 3);
            case 3:
                return QString::number(row % 11);
            case 4:
                return QString::number(2 + row % 4);
            default:
                return QStringLiteral("%1.03.2026").arg(10 + row % 2);
            }
        };
        const QVector<PagePlan> plans = paginate(layout(), 20);
        QCOMPARE(plans.size(), 2);
        for (int i = 0; i < plans.size(); ++i) {
            QImage page(630, 891, QImage::Format_RGB32);
            page.fill(Qt::white);
            {
                QPainter p(&page);
                playPage(p, painter.record(plans[i], cell), 3.0);
            }
            const QString reference =
                QStringLiteral(ESUN_SOURCE_DIR "/tests/data/report/page%1.png").arg(i + 1);
            if (qEnvironmentVariableIsSet("ESUN_WRITE_REFERENCES"))
                QVERIFY(page.save(reference));
            const QImage expected(reference);
            QCOMPARE(expected.size(), page.size());
            QVERIFY2(expected.convertToFormat(QImage::Format_RGB32) == page, qPrintable(reference));
        }
    }

    void pdfsOfAnotherFormAreNotJoined() {
        // The caller then writes the PDF on one thread.
        QByteArray notPdf("%PDF-1.4\n1 0 obj\n<< >>\nendobj\ntrailer\n<< /Root 1 0 R >>\n%%EOF\n");
        QBuffer first(&notPdf);
        QBuffer second(&notPdf);
        QByteArray joined;
        QBuffer out(&joined);
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QVERIFY(out.open(QIODevice::WriteOnly));
        QVERIFY(!joinPdfs({&first, &second}, out));
    }

    void reportFileRoundTrip() {
        SavedReport saved;
        const PagePainter painter(layout(), QStringLiteral("01.02.2026"));
        const QVector<PagePlan> plans = paginate(layout(), 14);
        for (const PagePlan& plan : plans)
            saved.pages.append(painter.record(
                plan, [](int row, int column) { return QStringLiteral("r%1c%2").arg(row).arg(column); }));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("отчёт.rpt"));
        saveReport(path, saved);
        const SavedReport loaded = loadReport(path);
        QCOMPARE(loaded.paperMm, QSizeF(210, 297));
        QCOMPARE(loaded.pages.size(), 2);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(QByteArray(loaded.pages[i].data(), loaded.pages[i].size()),
                     QByteArray(saved.pages[i].data(), saved.pages[i].size()));

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        // Every single damaged byte is noticed.
        for (int at : {8, 12, int(bytes.size()) / 2, int(bytes.size()) - 1}) {
            QByteArray bad = bytes;
            bad[at] = char(bad[at] ^ 0x5a);
            try {
                parseReport(bad, path);
                QFAIL(qPrintable(QStringLiteral("a damaged byte at %1 was accepted").arg(at)));
            } catch (const Failure& f) {
                QVERIFY2(f.text().contains(QStringLiteral("повреждён")) ||
                             f.text().contains(QStringLiteral("более новой версией")),
                         qPrintable(f.text()));
            }
        }
        QVERIFY_THROWS_EXCEPTION(Failure, parseReport(bytes.left(bytes.size() - 40), path));
        QVERIFY_THROWS_EXCEPTION(Failure, parseReport(QByteArray("%PDF-1.4 something else"), path));
        QVERIFY_THROWS_EXCEPTION(Failure, parseReport(QByteArray(), path));
        QVERIFY_THROWS_EXCEPTION(Failure, loadReport(dir.filePath(QStringLiteral("нет такого.rpt"))));
    }
};

QTEST_MAIN(ReportLayoutTest)
#include "test_report_layout.moc"
