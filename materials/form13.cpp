#include "form13.h"

#include "base/appinfo.h"
#include "mediaplayer.h"
#include "ui/bitbtn.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QFrame>
#include <QLabel>

TForm13* Form13 = nullptr;

TForm13::TForm13(QWidget* parent)
    : Form(QStringLiteral("Form13"), QStringLiteral("Видеоуроки"), 170, 175, 875, 696, parent) {
    const auto button = [&](const char* name, int left) {
        // The picture is read when the window is first drawn, not at start-up.
        auto* b = new TBitBtn(QStringLiteral(":/pictures/button_c.png"), this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(left, 40, 137, 105);
        return b;
    };
    const auto label = [&](const char* name, const QString& caption, int left) {
        auto* l = new QLabel(caption, this);
        l->setObjectName(QLatin1String(name));
        ui::setFont(l, QStringLiteral("Arial"), 13, ui::Regular, Qt::black);
        l->move(left, 152);
        l->adjustSize();
        return l;
    };

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);
    Panel1->setFocusPolicy(Qt::NoFocus);
    Panel1->setGeometry(24, 168, 849, 457);
    Panel1->setAutoFillBackground(true);

    // The bar first, so that it takes the focus when the window is first activated.
    MediaPlayer1 = new TMediaPlayer(this);
    MediaPlayer1->setObjectName(QStringLiteral("MediaPlayer1"));
    MediaPlayer1->setGeometry(368, 624, 57, 57);

    BitBtn1 = button("BitBtn1", 40);
    BitBtn2 = button("BitBtn2", 272);
    BitBtn3 = button("BitBtn3", 496);
    BitBtn4 = button("BitBtn4", 712);
    Label2 = label("Label2", QStringLiteral("И муза вечная со мной"), 48);
    Label3 = label("Label3", QStringLiteral("Хоровод муз"), 304);
    Label4 = label("Label4", QStringLiteral("Душа музыки"), 520);
    Label5 = label("Label5", QStringLiteral("Музыкальная музыка"), 712);

    setTabOrder(MediaPlayer1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);
    MediaPlayer1->setFocus();

    connect(BitBtn1, &QPushButton::clicked, this, GUARD(this, BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, GUARD(this, BitBtn2Click));
    connect(BitBtn3, &QPushButton::clicked, this, GUARD(this, BitBtn3Click));
    connect(BitBtn4, &QPushButton::clicked, this, GUARD(this, BitBtn4Click));
}

void TForm13::BitBtn1Click() {
    loadLesson(QStringLiteral("dvoichaia.mp4"));
}
void TForm13::BitBtn2Click() {
    loadLesson(QStringLiteral("logoper.mp4"));
}
void TForm13::BitBtn3Click() {
    loadLesson(QStringLiteral("modelmetod.mp4"));
}
void TForm13::BitBtn4Click() {
    loadLesson(QStringLiteral("znakmodel.mp4"));
}

void TForm13::loadLesson(const QString& fileName) {
    MediaPlayer1->setFileName(appinfo::programFolder() + QStringLiteral("Видео/") + fileName);
    MediaPlayer1->setDisplay(Panel1);
    MediaPlayer1->open();
}
