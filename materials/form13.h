#pragma once

#include "ui/form.h"

class TBitBtn;
class QFrame;
class QLabel;
class TMediaPlayer;

class TForm13 : public Form {
    Q_OBJECT
public:
    explicit TForm13(QWidget* parent = nullptr);

    TBitBtn* BitBtn1;
    TBitBtn* BitBtn2;
    TBitBtn* BitBtn3;
    TBitBtn* BitBtn4;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QFrame* Panel1;
    TMediaPlayer* MediaPlayer1;

    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

private:
    void loadLesson(const QString& fileName);
};

extern TForm13* Form13;
