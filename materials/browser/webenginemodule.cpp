// The browser module: page views over QtWebEngine, built as a separate library and loaded on the first
// navigation, so that the program does not link the browser engine and its start-up does not pay for it.
#include "materials/browsermodule.h"

#include <QFileInfo>
#include <QObject>
#include <QPointer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <unistd.h>

namespace {

// The page shown in place of a study page that cannot be loaded: the program's own words, not the browser's.
QString failedPage(const QUrl& url) {
    const QString name = url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.toDisplayString();
    return QStringLiteral("<!DOCTYPE html><html lang=\"ru\"><head><meta charset=\"utf-8\">"
                          "<title>Страница не открылась</title></head>"
                          "<body style=\"font-family: Arial, sans-serif; margin: 2em\">"
                          "<h2>Страница не открылась</h2><p>Учебную страницу «%1» не удалось открыть: "
                          "файла нет в папке программы или его нельзя прочитать.</p></body></html>")
        .arg(name.toHtmlEscaped());
}

class WebEngineBrowser final : public BrowserEngine {
public:
    explicit WebEngineBrowser(QWidget* parent) : m_view(new QWebEngineView(parent)) {
        m_view->setObjectName(QStringLiteral("view"));
        // A page that fails shows the program's own page instead of the browser's English one.
        m_view->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        QObject::connect(m_view->page(), &QWebEnginePage::loadingChanged, m_view,
                         [this](const QWebEngineLoadingInfo& info) {
                             if (info.status() == QWebEngineLoadingInfo::LoadFailedStatus &&
                                 info.url().isLocalFile())
                                 m_view->setHtml(failedPage(info.url()));
                             // Only the page last asked for counts: the warm-up's blank page may finish
                             // after it was asked.
                             if (info.url() != m_url)
                                 return;
                             m_loaded = info.status() != QWebEngineLoadingInfo::LoadStartedStatus;
                             m_succeeded = info.status() == QWebEngineLoadingInfo::LoadSucceededStatus;
                         });
    }
    ~WebEngineBrowser() override { delete m_view; }

    QWidget* widget() override { return m_view; }

    void warmUp() override {
        // A local file page (the listing of the root folder) starts the engine and the page process that the
        // study pages use, while the view stays hidden: a page of another origin (a blank page given as text)
        // would make the first study page start a page process of its own.
        m_view->load(QUrl(QStringLiteral("file:///")));
    }

    QString navigate(const QString& localPath) override {
        const QUrl url = QUrl::fromLocalFile(localPath);
        if (localPath.isEmpty() || !url.isValid())
            return QStringLiteral("Неверный путь к учебной странице: «%1».").arg(localPath);
        m_location = localPath;
        m_url = url;
        m_loaded = false;
        m_succeeded = false;
        // Loading the page shown again reloads it.
        m_view->load(url);
        return {};
    }

    QString location() const override { return m_location; }
    QString title() const override { return m_loaded && m_succeeded ? m_view->title() : QString(); }
    bool isLoaded() const override { return m_loaded; }
    bool loadSucceeded() const override { return m_succeeded; }

private:
    QPointer<QWebEngineView> m_view;
    QString m_location;
    QUrl m_url;
    bool m_loaded = false;
    bool m_succeeded = false;
};

} // namespace

class WebEngineModule final : public QObject, public BrowserModule {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID BrowserModule_iid)
    Q_INTERFACES(BrowserModule)
public:
    BrowserEngine* createEngine(QWidget* parent) override {
        // The browser engine refuses to run as root inside its sandbox; it reads this before its first view.
        if (geteuid() == 0)
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        return new WebEngineBrowser(parent);
    }
};

#include "webenginemodule.moc"
