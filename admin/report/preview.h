#pragma once

#include "export.h"
#include "reportfile.h"
#include "reportlayout.h"

#include "ui/form.h"

#include <QPicture>
#include <QPrinter>
#include <QVector>
#include <QWidget>

#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QPushButton;
class QScrollArea;
class QToolBar;
class Table;

namespace report {

class ReportProducer;

// The progress panel of the preview: "0%" at first, then the percentage of rows done, shown only when it
// has grown by at least 5 since the value last shown, and cleared at 0 and at 100.
class ProgressPanel {
public:
    explicit ProgressPanel(QLabel* label);
    void reset();
    void rowsDone(int done, int total);

private:
    QLabel* m_label;
    int m_shown = 0;
};

// The page on screen: white paper on a grey ground, drawn from its picture at the chosen scale.
class PageView : public QWidget {
    Q_OBJECT
public:
    explicit PageView(QWidget* parent = nullptr);
    void setPaper(QSizeF millimetres);
    void setPage(const QPicture& page);
    void clearPage(); // blank paper
    void setPixelsPerMm(double scale);
    double pixelsPerMm() const { return m_scale; }
    QSize sizeHint() const override;

    static constexpr int gap = 10; // grey around the paper, in pixels

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    QSizeF m_paper{210, 297};
    QPicture m_page; // a shared copy: the page list may grow meanwhile
    bool m_hasPage = false;
    double m_scale = 1;
};

// The modal print preview of a report: produces the pages on a worker thread and shows them as they
// arrive; prints, saves and loads them.
class ReportPreview : public Form {
    Q_OBJECT
public:
    enum class Zoom { Fit, Actual, Width };

    // A window of its own, never a child: the modal showing disables the window it was opened from.
    // `printer` keeps what "Printer setup" chose for the whole run (the report holder's); without one the
    // preview has a printer of its own.
    ReportPreview(const ReportLayout& layout, Table* table, QPrinter* printer = nullptr);
    // The same over rows the program made, which "Save Report" also writes as a spreadsheet.
    ReportPreview(const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                  QPrinter* printer = nullptr);
    ~ReportPreview() override;

    // Starts producing the pages (throws the table's failure); then showModal().
    void start();

    int pageCount() const;
    int currentPage() const { return m_current; } // 0-based; -1 before the first page
    const QVector<QPicture>& pages() const;
    bool isProduced() const; // the last page exists
    QPrinter& printer() { return m_printer; }
    Zoom zoom() const { return m_zoom; }
    PageView* pageView() const { return m_view; }

    void showPage(int index);
    void setZoom(Zoom zoom);

    // The tool bar's commands.
    void printerSetup();
    void print();
    void saveReport();
    void loadReport();
    // What "Save Report" does for a PDF file: produced pages are painted again from their rows, loaded ones
    // played back.
    void savePdf(const QString& path);

    // Saving the results as a spreadsheet: a long export goes on from the event loop and can be cancelled.
    bool isExporting() const { return m_export && m_export->isRunning(); }
    void cancelExport();

signals:
    void produced(); // the last page arrived

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QAction* addCommand(const QString& name, const QString& toolTip, const QString& glyph);
    void pageArrived(int index);
    void whenProduced();
    void updateState();
    void applyZoom();
    void stopProducing();
    void exportResults(ExportFormat format, const QString& path);
    void whenExported();
    QSizeF paperMm() const;

    const ReportLayout& m_layout;
    Table* m_table;
    std::shared_ptr<const MadeRows> m_made; // instead of the table
    std::unique_ptr<ReportProducer> m_producer;
    std::unique_ptr<ExportJob> m_export;
    SavedReport m_loaded;
    bool m_showingLoaded = false;
    std::unique_ptr<QPrinter> m_ownPrinter;
    QPrinter& m_printer;
    int m_current = -1;
    Zoom m_zoom = Zoom::Width;

    QToolBar* m_toolBar;
    QActionGroup* m_zoomGroup;
    QAction* m_zoomFit;
    QAction* m_zoom100;
    QAction* m_zoomWidth;
    QAction* m_first;
    QAction* m_prior;
    QAction* m_next;
    QAction* m_last;
    QAction* m_setup;
    QAction* m_print;
    QAction* m_save;
    QAction* m_load;
    QPushButton* m_close;
    QScrollArea* m_scroll;
    PageView* m_view;
    QLabel* m_progressLabel;
    QLabel* m_pageLabel;
    QPushButton* m_cancelExport;
    ProgressPanel m_progress;
};

} // namespace report
