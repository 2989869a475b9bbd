#include "webbrowser.h"

#include "base/failure.h"
#include "base/programmodule.h"
#include "browsermodule.h"

#include <QCoreApplication>
#include <QOpenGLContext>
#include <QTimer>
#include <QWindow>
#include <QtGui/private/qguiapplication_p.h>
#include <QtGui/private/qopenglcontext_p.h>
#include <QtWidgets/private/qwidget_p.h>
#include <qpa/qplatformintegration.h>

#include <utility>

namespace {
const QString moduleFile = QStringLiteral("esun_browser.so");

TWebBrowser::EngineFactory& testFactory() {
    static TWebBrowser::EngineFactory factory;
    return factory;
}

// The browser engine draws through OpenGL contexts shared with the application's. Qt makes the shared
// context with the application object when Qt::AA_ShareOpenGLContexts is set before it, but that loads the
// OpenGL driver (tens of megabytes) before the sign-in; it is made here instead, before the engine's module
// is loaded, which is all the engine asks for.
void shareOpenGLContexts() {
    if (qt_gl_global_share_context())
        return;
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    auto* context = new QOpenGLContext;
    context->create();
    qt_gl_set_global_share_context(context);
    // Deleted while the window system is still there, as Qt deletes its own.
    qAddPostRoutine([] {
        QOpenGLContext* shared = qt_gl_global_share_context();
        qt_gl_set_global_share_context(nullptr);
        delete shared;
    });
}

// The page view draws through OpenGL, and a window drawn without it that takes such a view is made anew by
// the window system (a click meanwhile is lost, the page waits for it). This hidden child asks for OpenGL
// drawing from the window's first showing, where the platform has it, so that the view later moves in at
// once.
class OpenGLDrawingPrivate : public QWidgetPrivate {
public:
    QPlatformBackingStoreRhiConfig rhiConfig() const override {
        // Asked for also when the window is made at start-up; the platform's OpenGL support is looked up
        // (which loads its OpenGL plugin) only when the window's native window is being created.
        if (!static_cast<const QWidget*>(q_ptr)->window()->testAttribute(Qt::WA_WState_Created))
            return {};
        const QPlatformIntegration* platform = QGuiApplicationPrivate::platformIntegration();
        if (!platform->hasCapability(QPlatformIntegration::RhiBasedRendering) ||
            !platform->hasCapability(QPlatformIntegration::OpenGL))
            return {};
        return QPlatformBackingStoreRhiConfig(QPlatformBackingStoreRhiConfig::OpenGL);
    }
};

class OpenGLDrawing : public QWidget {
public:
    explicit OpenGLDrawing(QWidget* parent) : QWidget(*new OpenGLDrawingPrivate, parent, {}) { hide(); }
};

BrowserEngine* engineFromModule(QWidget* parent) {
    shareOpenGLContexts();
    return loadProgramModule<BrowserModule>(moduleFile, QStringLiteral("учебных страниц"))
        .createEngine(parent);
}
} // namespace

TWebBrowser::TWebBrowser(QWidget* parent) : QWidget(parent) {
    new OpenGLDrawing(this);
}

TWebBrowser::~TWebBrowser() = default;

QString TWebBrowser::moduleFileName() {
    return programModulePath(moduleFile);
}

void TWebBrowser::setEngineFactoryForTesting(EngineFactory factory) {
    testFactory() = std::move(factory);
}

void TWebBrowser::makeEngine(QWidget* parent) {
    BrowserEngine* engine = testFactory() ? testFactory()(parent) : engineFromModule(parent);
    if (!engine)
        throw Failure(QStringLiteral("Не удалось открыть просмотр учебных страниц."));
    m_engine.reset(engine);
    m_engine->widget()->hide();
    if (parent == this)
        m_engine->widget()->setGeometry(rect());
}

bool TWebBrowser::drawsThroughOpenGL() const {
    const QWindow* shown = window()->windowHandle();
    return shown && shown->surfaceType() == QSurface::OpenGLSurface;
}

void TWebBrowser::warmUp() {
    if (m_engine)
        return;
    try {
        // The view warms up in its place when the window draws through OpenGL already; otherwise hidden in a
        // window of its own: placed in the shown window, it would make the window system recreate that window
        // for its OpenGL drawing, and a click meanwhile would be lost.
        makeEngine(drawsThroughOpenGL() ? this : nullptr);
    } catch (const Failure&) {
        // Nobody asked for a page yet: the first navigation tries again and reports what fails.
        return;
    }
    m_engine->warmUp();
    // In its place the view waits shown but disabled under a cover that paints the empty area, so that the
    // engine draws it and the window composes it already: shown only with the first page, the view would
    // set all that up then (about 100 ms on a software OpenGL driver).
    QWidget* view = m_engine->widget();
    if (view->parentWidget() == this) {
        m_cover = new QWidget(this); // made after the view, so above it
        m_cover->setAutoFillBackground(true);
        m_cover->setGeometry(rect());
        view->setEnabled(false);
        view->show();
        m_cover->show();
    }
}

void TWebBrowser::navigate(const QString& localPath) {
    if (!m_engine)
        makeEngine(this);
    const QString refused = m_engine->navigate(localPath);
    if (!refused.isEmpty())
        throw Failure(refused);
    if (!m_navigated) {
        m_navigated = true;
        QWidget* view = m_engine->widget();
        if (view->parentWidget() != this)
            view->setParent(this);
        view->setGeometry(rect());
        view->setEnabled(true);
        view->show();
        delete std::exchange(m_cover, nullptr);
    }
}

void TWebBrowser::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (m_engine)
        m_engine->widget()->setGeometry(rect());
    if (m_cover)
        m_cover->setGeometry(rect());
}

void TWebBrowser::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    // The window's OpenGL drawing shares its context with the page view's from its first frame.
    if (drawsThroughOpenGL())
        shareOpenGLContexts();
}

void TWebBrowser::paintEvent(QPaintEvent* e) {
    QWidget::paintEvent(e);
    // The empty area is on screen: the browser loads after this turn of the event loop has shown it.
    if (!m_engine && !m_warmUpQueued) {
        m_warmUpQueued = true;
        QTimer::singleShot(0, this, &TWebBrowser::warmUp);
    }
}
