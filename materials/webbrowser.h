#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class BrowserEngine;

// The embedded web browser: an empty area until the first navigation. The browser module (in the program's
// folder) and its page view are loaded once the empty area has been painted for the first time, so that
// neither the start-up nor the window's opening waits for them and a page asked for a moment later shows
// at once; a navigation that comes earlier loads them itself. Where the platform offers it, the window draws
// through OpenGL from its first showing, so that the page view waits in place, covered, and the first page
// only uncovers it.
class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    using EngineFactory = std::function<BrowserEngine*(QWidget* parent)>;

    explicit TWebBrowser(QWidget* parent = nullptr);
    ~TWebBrowser() override;

    // Loads the page at a plain local path; throws Failure when the request is refused.
    void navigate(const QString& localPath);
    // The page view once a page was asked for; nullptr while the area is empty (a warmed view is hidden,
    // or covered).
    BrowserEngine* engine() const { return m_navigated ? m_engine.get() : nullptr; }
    // Whether the module is loaded and the view made, ready for the first page.
    bool isWarm() const { return m_engine != nullptr; }
    // Loads the module and makes the view now, hidden or covered; a failure is left for the first navigation
    // to report.
    void warmUp();

    // The file name of the browser module in the executable's folder.
    static QString moduleFileName();
    // Tests put their own page views in place of the module's; an empty factory restores the module.
    static void setEngineFactoryForTesting(EngineFactory factory);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void makeEngine(QWidget* parent);
    // Whether the window is on screen with OpenGL drawing (the page view then moves in without a new window).
    bool drawsThroughOpenGL() const;

    std::unique_ptr<BrowserEngine> m_engine;
    QWidget* m_cover = nullptr; // over the warmed view until the first page
    bool m_navigated = false;
    bool m_warmUpQueued = false;
};
