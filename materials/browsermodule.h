#pragma once

#include <QString>
#include <QtPlugin>

class QWidget;

// One page view of the embedded browser.
class BrowserEngine {
public:
    virtual ~BrowserEngine() = default;
    virtual QWidget* widget() = 0;
    // Gets the view ready for its first page while nothing is shown (its page process started); the
    // widget stays hidden.
    virtual void warmUp() {}
    // Starts loading a local file given by its plain path and returns at once; an empty result means the
    // request was taken, otherwise it is the reason it was refused.
    virtual QString navigate(const QString& localPath) = 0;
    // The path last asked for and the title of the page shown (empty until it has loaded).
    virtual QString location() const = 0;
    virtual QString title() const = 0;
    // Whether the last navigation has finished loading, and whether it succeeded.
    virtual bool isLoaded() const = 0;
    virtual bool loadSucceeded() const = 0;
};

// What the separately built browser module offers: page views made inside a parent widget.
class BrowserModule {
public:
    virtual ~BrowserModule() = default;
    virtual BrowserEngine* createEngine(QWidget* parent) = 0;
};

#define BrowserModule_iid "ru.school.muzyka.BrowserModule/1.0"
Q_DECLARE_INTERFACE(BrowserModule, BrowserModule_iid)
