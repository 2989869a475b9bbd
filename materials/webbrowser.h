#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class BrowserEngine;

// The embedded web browser: an empty area until the first navigation, which loads the browser module
// from the program's folder and creates the page view, so that start-up does not pay for the browser.
class TWebBrowser : public QWidget {
    Q_OBJECT
public:
    using EngineFactory = std::function<BrowserEngine*(QWidget* parent)>;

    explicit TWebBrowser(QWidget* parent = nullptr);
    ~TWebBrowser() override;

    // Loads the page at a plain local path; throws Failure when the request is refused.
    void navigate(const QString& localPath);
    BrowserEngine* engine() const { return m_engine.get(); }

    // The file name of the browser module in the executable's folder.
    static QString moduleFileName();
    // Tests put their own page views in place of the module's; an empty factory restores the module.
    static void setEngineFactoryForTesting(EngineFactory factory);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    std::unique_ptr<BrowserEngine> m_engine;
};
