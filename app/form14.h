#pragma once

#include "base/windowlink.h"
#include "ui/form.h"

class QLabel;
class TBitBtn;

// The main window: greets the pupil and opens the study materials, the topic choice, the video lessons and
// the pupil's own results.
class TForm14 : public Form {
    Q_OBJECT
public:
    explicit TForm14(QWidget* parent = nullptr);

    void BitBtn4Click();
    void BitBtn3Click();
    void BitBtn1Click();
    void BitBtn5Click();

    // The windows and the command the four buttons open; start-up wires them.
    WindowLink showStudyMaterials;
    WindowLink showTopicChoice;
    WindowLink showVideoLessons;
    WindowLink showOwnResults;

    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    TBitBtn* BitBtn4;
    QLabel* Label1;
    TBitBtn* BitBtn3;
    QLabel* Label2;
    TBitBtn* BitBtn1;
    QLabel* Label4;
    TBitBtn* BitBtn5;
};

extern TForm14* Form14;
