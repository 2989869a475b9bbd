#include "webbrowser.h"

#include "base/failure.h"
#include "browsermodule.h"

#include <QCoreApplication>
#include <QPluginLoader>

namespace {
TWebBrowser::EngineFactory& testFactory() {
    static TWebBrowser::EngineFactory factory;
    return factory;
}

BrowserEngine* engineFromModule(QWidget* parent) {
    // The module belongs to the installed program, so it is looked for beside the executable.
    static QPluginLoader loader(TWebBrowser::moduleFileName());
    auto* module = qobject_cast<BrowserModule*>(loader.instance());
    if (!module)
        throw Failure(QStringLiteral("Cannot load the browser module: ") + loader.errorString());
    return module->createEngine(parent);
}
} // namespace

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent) {}

TWebBrowser::~TWebBrowser() = default;

QString TWebBrowser::moduleFileName() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/esun_browser.so");
}

void TWebBrowser::setEngineFactoryForTesting(EngineFactory factory) {
    testFactory() = std::move(factory);
}

void TWebBrowser::navigate(const QString& localPath) {
    if (!m_engine) {
        BrowserEngine* engine = testFactory() ? testFactory()(this) : engineFromModule(this);
        if (!engine)
            throw Failure(QStringLiteral("The browser cannot show pages"));
        m_engine.reset(engine);
        m_engine->widget()->setGeometry(rect());
        m_engine->widget()->show();
    }
    const QString refused = m_engine->navigate(localPath);
    if (!refused.isEmpty())
        throw Failure(refused);
}

void TWebBrowser::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (m_engine)
        m_engine->widget()->setGeometry(rect());
}
