#include "preview.h"

#include "pagepainter.h"
#include "printing.h"
#include "producer.h"

#include "base/failure.h"
#include "ui/builders.h"
#include "ui/dialogs.h"
#include "ui/guard.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>
#include <iterator>

namespace report {

namespace {
const QString reportFilter = QStringLiteral("Отчёт (*.%1)").arg(fileSuffix);

// What "Save Report" writes, in the order its file types are offered.
enum class SaveKind { Report, Pdf, Xlsx, Csv };
struct SaveType {
    SaveKind kind;
    QString filter;
    QString suffix;
};
const SaveType saveTypes[] = {
    {SaveKind::Report, reportFilter, fileSuffix},
    {SaveKind::Pdf, QStringLiteral("PDF (*.pdf)"), QStringLiteral("pdf")},
    {SaveKind::Xlsx, QStringLiteral("Книга Excel (*.xlsx)"), QStringLiteral("xlsx")},
    {SaveKind::Csv, QStringLiteral("Текст CSV (*.csv)"), QStringLiteral("csv")},
};

// Tool bar pictures drawn from a symbol, so that no picture files are needed.
QIcon glyphIcon(const QString& glyph) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(glyph.size() > 1 ? 11 : 18);
    font.setBold(glyph.size() > 1);
    painter.setFont(font);
    painter.setPen(QColor(30, 30, 90));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}
// A printer: paper coming out of a box.
QIcon printerIcon() {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(30, 30, 90);
    painter.setPen(QPen(ink, 1.5));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7, 3, 10, 7));
    painter.setBrush(QColor(170, 180, 210));
    painter.drawRoundedRect(QRectF(3, 9, 18, 8), 2, 2);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7, 14, 10, 7));
    return QIcon(pixmap);
}
} // namespace

ProgressPanel::ProgressPanel(QLabel* label) : m_label(label) {}

void ProgressPanel::reset() {
    m_shown = 0;
    m_label->setText(QStringLiteral("0%"));
}

void ProgressPanel::rowsDone(int done, int total) {
    const int percent = total <= 0 ? 100 : int(qint64(done) * 100 / total);
    if (percent <= 0 || percent >= 100) {
        m_shown = percent;
        m_label->clear();
    } else if (percent - m_shown >= 5) {
        m_shown = percent;
        m_label->setText(QStringLiteral("%1%").arg(percent));
    }
}

PageView::PageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PageView"));
    resize(sizeHint());
}

void PageView::setPaper(QSizeF millimetres) {
    m_paper = millimetres;
    resize(sizeHint());
    update();
}

void PageView::setPage(const QPicture& page) {
    m_page = page;
    m_hasPage = true;
    update();
}

void PageView::clearPage() {
    m_page = QPicture();
    m_hasPage = false;
    update();
}

void PageView::setPixelsPerMm(double scale) {
    m_scale = scale;
    resize(sizeHint());
    update();
}

QSize PageView::sizeHint() const {
    return QSize(qCeil(m_paper.width() * m_scale) + 2 * gap, qCeil(m_paper.height() * m_scale) + 2 * gap);
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    const QRectF paper(gap, gap, m_paper.width() * m_scale, m_paper.height() * m_scale);
    painter.fillRect(paper.translated(3, 3), QColor(64, 64, 64));
    painter.fillRect(paper, Qt::white);
    if (m_hasPage) {
        painter.setClipRect(paper);
        playPage(painter, m_page, m_scale, paper.topLeft());
    }
}

ReportPreview::ReportPreview(const ReportLayout& layout, std::shared_ptr<const MadeRows> rows,
                             QPrinter* printer)
    : ReportPreview(layout, static_cast<Table*>(nullptr), printer) {
    m_made = std::move(rows);
}

ReportPreview::ReportPreview(const ReportLayout& layout, Table* table, QPrinter* printer)
    : Form(QStringLiteral("PrintPreview"), QStringLiteral("Print Preview"), 0, 0, 800, 600), m_layout(layout),
      m_table(table), m_ownPrinter(printer ? nullptr : makeReportPrinter()),
      m_printer(printer ? *printer : *m_ownPrinter), m_toolBar(new QToolBar(this)),
      m_zoomGroup(new QActionGroup(this)), m_scroll(new QScrollArea(this)), m_view(new PageView),
      m_progressLabel(new QLabel), m_pageLabel(new QLabel),
      m_cancelExport(new QPushButton(QStringLiteral("Cancel"))), m_progress(m_progressLabel) {
    // Unlike the program's other windows the preview is resizable and opens maximised.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
    setWindowState(Qt::WindowMaximized);
    setFocusPolicy(Qt::StrongFocus);
    // The report engine's windows keep the general grey of dialogs.
    ui::setBackground(this, QApplication::palette().color(QPalette::Window));

    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(QSize(24, 24));
    m_zoomGroup->setExclusive(true);
    m_zoomFit = addCommand(QStringLiteral("ZoomToFit"), QStringLiteral("Zoom to fit"), QStringLiteral("▣"));
    m_zoom100 = addCommand(QStringLiteral("Zoom100"), QStringLiteral("100%"), QStringLiteral("1:1"));
    m_zoomWidth =
        addCommand(QStringLiteral("ZoomToWidth"), QStringLiteral("Zoom to width"), QStringLiteral("↔"));
    for (QAction* a : {m_zoomFit, m_zoom100, m_zoomWidth}) {
        a->setCheckable(true);
        m_zoomGroup->addAction(a);
    }
    m_zoomWidth->setChecked(true);
    m_toolBar->addSeparator();
    m_first = addCommand(QStringLiteral("FirstPage"), QStringLiteral("First page"), QStringLiteral("⇤"));
    m_prior = addCommand(QStringLiteral("PriorPage"), QStringLiteral("Previous page"), QStringLiteral("←"));
    m_next = addCommand(QStringLiteral("NextPage"), QStringLiteral("Next page"), QStringLiteral("→"));
    m_last = addCommand(QStringLiteral("LastPage"), QStringLiteral("Last page"), QStringLiteral("⇥"));
    m_toolBar->addSeparator();
    m_setup =
        addCommand(QStringLiteral("PrinterSetup"), QStringLiteral("Printer setup"), QStringLiteral("⚙"));
    m_print = addCommand(QStringLiteral("Print"), QStringLiteral("Print"), {});
    m_print->setIcon(printerIcon());
    m_toolBar->addSeparator();
    m_save = addCommand(QStringLiteral("SaveReport"), QStringLiteral("Save Report"), {});
    m_save->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_load = addCommand(QStringLiteral("LoadReport"), QStringLiteral("Load Report"), {});
    m_load->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    m_toolBar->addSeparator();
    m_close = new QPushButton(QStringLiteral("&Close"));
    m_close->setObjectName(QStringLiteral("CloseButton"));
    m_toolBar->addWidget(m_close);

    connect(m_zoomFit, &QAction::triggered, this, [this]() { setZoom(Zoom::Fit); });
    connect(m_zoom100, &QAction::triggered, this, [this]() { setZoom(Zoom::Actual); });
    connect(m_zoomWidth, &QAction::triggered, this, [this]() { setZoom(Zoom::Width); });
    connect(m_first, &QAction::triggered, this, [this]() { showPage(0); });
    connect(m_prior, &QAction::triggered, this, [this]() { showPage(m_current - 1); });
    connect(m_next, &QAction::triggered, this, [this]() { showPage(m_current + 1); });
    connect(m_last, &QAction::triggered, this, [this]() { showPage(pageCount() - 1); });
    connect(m_setup, &QAction::triggered, this, GUARD(this, printerSetup));
    connect(m_print, &QAction::triggered, this, GUARD(this, print));
    connect(m_save, &QAction::triggered, this, GUARD(this, saveReport));
    connect(m_load, &QAction::triggered, this, GUARD(this, loadReport));
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    connect(m_cancelExport, &QPushButton::clicked, this, &ReportPreview::cancelExport);

    m_scroll->setObjectName(QStringLiteral("PageScroll"));
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    // The keys of the preview are its own: the scroll area must not take Page Up and Page Down.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->viewport()->installEventFilter(this);
    m_view->setPaper(paperMm());

    auto* status = new QStatusBar;
    status->setObjectName(QStringLiteral("StatusBar"));
    status->setSizeGripEnabled(false);
    m_progressLabel->setObjectName(QStringLiteral("ProgressPanel"));
    m_progressLabel->setMinimumWidth(60);
    m_pageLabel->setObjectName(QStringLiteral("PagePanel"));
    status->addWidget(m_progressLabel);
    m_cancelExport->setObjectName(QStringLiteral("CancelExport"));
    m_cancelExport->setFocusPolicy(Qt::NoFocus);
    m_cancelExport->hide();
    status->addWidget(m_cancelExport);
    status->addWidget(m_pageLabel, 1);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(m_toolBar);
    box->addWidget(m_scroll, 1);
    box->addWidget(status);

    m_progress.reset();
    updateState();
}

ReportPreview::~ReportPreview() = default;

QAction* ReportPreview::addCommand(const QString& name, const QString& toolTip, const QString& glyph) {
    auto* action = new QAction(toolTip, this);
    action->setObjectName(name);
    action->setToolTip(toolTip);
    if (!glyph.isEmpty())
        action->setIcon(glyphIcon(glyph));
    m_toolBar->addAction(action);
    if (QWidget* button = m_toolBar->widgetForAction(action))
        button->setFocusPolicy(Qt::NoFocus);
    return action;
}

void ReportPreview::start() {
    m_producer = m_made ? std::make_unique<ReportProducer>(m_layout, m_made)
                        : std::make_unique<ReportProducer>(m_layout, m_table);
    connect(m_producer.get(), &ReportProducer::pageReady, this, &ReportPreview::pageArrived);
    connect(m_producer.get(), &ReportProducer::progress, this,
            [this](int done) { m_progress.rowsDone(done, m_producer->totalRows()); });
    connect(m_producer.get(), &ReportProducer::finished, this, &ReportPreview::whenProduced);
    m_showingLoaded = false;
    m_progress.reset();
    m_producer->start();
    updateState();
}

QSizeF ReportPreview::paperMm() const {
    if (m_showingLoaded)
        return m_loaded.paperMm;
    return QSizeF(m_layout.page.paperWidth / 10.0, m_layout.page.paperHeight / 10.0);
}

int ReportPreview::pageCount() const {
    return int(pages().size());
}

const QVector<QPicture>& ReportPreview::pages() const {
    static const QVector<QPicture> none;
    if (m_showingLoaded)
        return m_loaded.pages;
    return m_producer ? m_producer->pages() : none;
}

bool ReportPreview::isProduced() const {
    return m_showingLoaded || (m_producer && m_producer->isFinished());
}

void ReportPreview::pageArrived(int index) {
    if (m_showingLoaded)
        return;
    if (m_current < 0 || index == m_current)
        showPage(std::max(m_current, 0));
    else
        updateState();
}

void ReportPreview::whenProduced() {
    m_progress.rowsDone(m_producer->totalRows(), m_producer->totalRows());
    updateState();
    emit produced();
}

void ReportPreview::showPage(int index) {
    const int count = pageCount();
    if (count == 0) {
        m_current = -1;
        m_view->clearPage();
    } else {
        const int page = std::clamp(index, 0, count - 1);
        if (page != m_current)
            m_scroll->verticalScrollBar()->setValue(0);
        m_current = page;
        m_view->setPage(pages().at(page));
    }
    updateState();
}

void ReportPreview::updateState() {
    const int count = pageCount();
    m_pageLabel->setText(count == 0 ? QString()
                                    : QStringLiteral("Page %1 of %2").arg(m_current + 1).arg(count));
    m_first->setEnabled(m_current > 0);
    m_prior->setEnabled(m_current > 0);
    m_next->setEnabled(m_current >= 0 && m_current < count - 1);
    m_last->setEnabled(m_current >= 0 && m_current < count - 1);
    const bool exporting = isExporting();
    const bool produced = isProduced() && !exporting;
    m_setup->setEnabled(produced);
    m_print->setEnabled(produced);
    m_save->setEnabled(produced);
    m_load->setEnabled(!exporting);
    m_cancelExport->setVisible(exporting);
    if (exporting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void ReportPreview::setZoom(Zoom zoom) {
    m_zoom = zoom;
    QAction* checked = zoom == Zoom::Fit ? m_zoomFit : zoom == Zoom::Actual ? m_zoom100 : m_zoomWidth;
    checked->setChecked(true);
    applyZoom();
}

void ReportPreview::applyZoom() {
    const QSize room = m_scroll->maximumViewportSize();
    const QSizeF paper = paperMm();
    const double across = room.width() - 2 * PageView::gap;
    double scale = logicalDpiX() / 25.4;
    if (m_zoom == Zoom::Fit)
        scale = std::min(across / paper.width(), (room.height() - 2 * PageView::gap) / paper.height());
    else if (m_zoom == Zoom::Width)
        scale = (across - m_scroll->verticalScrollBar()->sizeHint().width()) / paper.width();
    m_view->setPixelsPerMm(std::max(scale, 0.1));
}

bool ReportPreview::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_scroll->viewport() && e->type() == QEvent::Resize)
        applyZoom();
    return Form::eventFilter(watched, e);
}

void ReportPreview::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_Escape:
        if (isExporting())
            cancelExport();
        else
            close();
        break;
    case Qt::Key_PageUp:
        showPage(ctrl ? 0 : m_current - 1);
        break;
    case Qt::Key_PageDown:
        showPage(ctrl ? pageCount() - 1 : m_current + 1);
        break;
    case Qt::Key_Home:
        showPage(0);
        break;
    case Qt::Key_End:
        showPage(pageCount() - 1);
        break;
    default:
        Form::keyPressEvent(e);
        return;
    }
    e->accept();
}

void ReportPreview::stopProducing() {
    if (m_producer && m_producer->isRunning())
        m_producer->cancel();
}

void ReportPreview::hideEvent(QHideEvent* e) {
    // Closing before the last page stops the worker before its next row.
    guarded([this]() {
        stopProducing();
        cancelExport();
    });
    Form::hideEvent(e);
}

void ReportPreview::printerSetup() {
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        dialogs().warning(QStringLiteral("Printer setup"),
                          QStringLiteral("Принтер не установлен. Отчёт можно напечатать только в файл."));
    QPrintDialog dialog(&m_printer, this);
    dialog.setWindowTitle(QStringLiteral("Printer setup"));
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCollateCopies | QAbstractPrintDialog::PrintShowPageSize);
    dialog.setMinMax(1, std::max(1, pageCount()));
    dialog.exec();
}

void ReportPreview::print() {
    if (!isProduced() || !printerAvailable(m_printer))
        return;
    if (m_showingLoaded)
        printPages(m_printer, m_loaded.pages, this);
    else if (m_made)
        printReport(m_printer, m_layout, m_made, this);
    else
        printReport(m_printer, m_layout, m_table, this);
}

void ReportPreview::saveReport() {
    if (!isProduced() || isExporting())
        return;
    QString chosen;
    QStringList filters;
    for (const SaveType& type : saveTypes)
        filters << type.filter;
    QString path = dialogs().saveFileName(this, QStringLiteral("Save Report"),
                                          filters.join(QStringLiteral(";;")), &chosen);
    if (path.isEmpty())
        return;
    // A typed extension of ours chooses the type, else the chosen type does; a new file without one of our
    // extensions gets the chosen type's.
    const auto end = std::end(saveTypes);
    const QString typed = QFileInfo(path).suffix().toLower();
    const SaveType* type =
        std::find_if(std::begin(saveTypes), end, [&](const auto& t) { return t.suffix == typed; });
    if (type == end) {
        type = std::find_if(std::begin(saveTypes), end, [&](const auto& t) { return t.filter == chosen; });
        if (type == end)
            type = std::begin(saveTypes);
        if (!QFileInfo::exists(path))
            path += QLatin1Char('.') + type->suffix;
    }
    if (type->kind == SaveKind::Xlsx || type->kind == SaveKind::Csv) {
        exportResults(type->kind == SaveKind::Xlsx ? ExportFormat::Xlsx : ExportFormat::Csv, path);
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([]() { QApplication::restoreOverrideCursor(); });
    if (type->kind == SaveKind::Pdf)
        savePdf(path);
    else
        report::saveReport(path, m_showingLoaded ? m_loaded : SavedReport{paperMm(), pages()});
}

void ReportPreview::savePdf(const QString& path) {
    if (m_showingLoaded) {
        report::savePdf(path, m_loaded);
        return;
    }
    savePdfOnTwoThreads(path, paperMm(), pageCount(), m_producer->repainters());
}

void ReportPreview::exportResults(ExportFormat format, const QString& path) {
    // A report file keeps pages, not the rows they were made from.
    if (m_showingLoaded)
        throw Failure(QStringLiteral("Отчёт, загруженный из файла, можно сохранить только как отчёт или PDF: "
                                     "строк результатов в нём нет."));
    m_export = m_made ? std::make_unique<ExportJob>(m_made, format, path)
                      : std::make_unique<ExportJob>(m_table, format, path);
    m_export->setNote(m_layout.headerLine);
    connect(m_export.get(), &ExportJob::progress, this,
            [this](int done) { m_progress.rowsDone(done, m_export->totalRows()); });
    connect(m_export.get(), &ExportJob::ended, this, &ReportPreview::whenExported);
    m_progress.reset();
    const auto settle = qScopeGuard([this]() { whenExported(); });
    m_export->start(); // the first rows are written here, the rest from the event loop
}

void ReportPreview::whenExported() {
    if (!isExporting())
        m_progressLabel->clear();
    updateState();
}

void ReportPreview::cancelExport() {
    if (m_export)
        m_export->cancel();
}

void ReportPreview::loadReport() {
    const QString path = dialogs().openFileName(this, QStringLiteral("Load Report"), reportFilter);
    if (path.isEmpty())
        return;
    SavedReport loaded = report::loadReport(path); // a bad file changes nothing
    stopProducing();
    m_loaded = std::move(loaded);
    m_showingLoaded = true;
    m_progressLabel->clear();
    m_view->setPaper(m_loaded.paperMm);
    applyZoom();
    m_current = -1;
    showPage(0);
}

} // namespace report
