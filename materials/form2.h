#pragma once

#include "base/windowlink.h"
#include "ui/form.h"

class FittedPicture;
class LinkLabel;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class TWebBrowser;

class TForm2 : public Form {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    QMenuBar* MainMenu1;
    QMenu* N1;
    QAction* N11;
    QAction* N21;
    QAction* N4;
    QAction* N5;
    QAction* N2;
    QAction* N3;
    // The client area below the menu; every control lives in it.
    QWidget* client;
    FittedPicture* img1;
    QLabel* lbl1;
    LinkLabel* lbl2;
    QLabel* lbl4;
    LinkLabel* lbl3;
    LinkLabel* lbl5;
    LinkLabel* lbl6;
    QLabel* lbl7;
    QLabel* lbl8;
    LinkLabel* lbl9;
    LinkLabel* lbl10;
    LinkLabel* lbl11;
    TWebBrowser* wb1;

    void lbl2Click();
    void lbl3Click();
    void lbl5Click();
    void lbl6Click();
    void lbl9Click();
    void lbl10Click();
    void lbl11Click();
    void N11Click();
    void N21Click();
    void N4Click();
    void N5Click();

    // The topic choice and the pupil's own results belong to the testing windows; start-up wires them.
    WindowLink showTopicChoice;
    WindowLink showOwnResults;
    void N2Click();
    void N3Click();

private:
    void showPage(const QString& fileName);
};

extern TForm2* Form2;
