#include "form14.h"

#include "ui/bitbtn.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QApplication>
#include <QLabel>

TForm14* Form14 = nullptr;

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& place, int pixelSize,
              int style, const QColor& color) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(place);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::setFont(l, QStringLiteral("Arial Narrow"), pixelSize, style, color);
    return l;
}

TBitBtn* pictureButton(QWidget* parent, const char* name, const QString& picture, const QRect& place) {
    auto* b = new TBitBtn(picture, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(place);
    return b;
}

} // namespace

TForm14::TForm14(QWidget* parent)
    : Form(QStringLiteral("Form14"), QStringLiteral("ЭСУН по дисциплине \"Музыка\" "), 157, 136, 652, 583,
           parent) {
    ui::setBackground(this, QApplication::palette("QMenu").color(QPalette::Window));

    const int greeting = ui::Bold | ui::Italic;
    Label5 = label(this, "Label5", QStringLiteral("Дорогой ученик!!! "), {208, 8, 146, 23}, 19, greeting,
                   ui::blue);
    Label6 =
        label(this, "Label6", QStringLiteral("Хочу познакомить с электронным средством учебного назначения!"),
              {48, 48, 555, 23}, 19, greeting, ui::blue);
    Label7 = label(this, "Label7",
                   QStringLiteral("Для этого Нажимай на разделы, с которыми хочешь познакомиться!"),
                   {48, 80, 566, 23}, 19, greeting, ui::blue);

    BitBtn4 = pictureButton(this, "BitBtn4", QStringLiteral(":/pictures/button_a.png"), {32, 128, 153, 121});
    Label1 = label(this, "Label1", QStringLiteral("Материалы для изучения "), {200, 176, 312, 33}, 29,
                   ui::Bold, ui::blue);
    BitBtn3 = pictureButton(this, "BitBtn3", QStringLiteral(":/pictures/button_b.png"), {24, 272, 161, 121});
    Label2 =
        label(this, "Label2", QStringLiteral("Тестирование"), {200, 312, 168, 33}, 29, ui::Bold, ui::blue);
    BitBtn1 = pictureButton(this, "BitBtn1", QStringLiteral(":/pictures/button_c.png"), {24, 424, 161, 121});
    Label4 = label(this, "Label4", QStringLiteral("Видеоуроки"), {208, 456, 145, 33}, 29, ui::Bold, ui::blue);
    BitBtn5 = pictureButton(this, "BitBtn5", QStringLiteral(":/pictures/button_d.png"), {488, 536, 147, 41});
    BitBtn5->setText(QStringLiteral("РЕЗУЛЬТАТ ТЕСТА!"));
    ui::setFont(BitBtn5, QStringLiteral("Arial Narrow"), 13, ui::Bold, Qt::black);

    setTabOrder(BitBtn1, BitBtn3);
    setTabOrder(BitBtn3, BitBtn4);
    setTabOrder(BitBtn4, BitBtn5);

    connect(BitBtn4, &QPushButton::clicked, this, GUARD(this, BitBtn4Click));
    connect(BitBtn3, &QPushButton::clicked, this, GUARD(this, BitBtn3Click));
    connect(BitBtn1, &QPushButton::clicked, this, GUARD(this, BitBtn1Click));
    connect(BitBtn5, &QPushButton::clicked, this, GUARD(this, BitBtn5Click));
}

void TForm14::BitBtn4Click() {
    showStudyMaterials();
}

void TForm14::BitBtn3Click() {
    showTopicChoice();
}

void TForm14::BitBtn1Click() {
    showVideoLessons();
}

void TForm14::BitBtn5Click() {
    showOwnResults();
}
