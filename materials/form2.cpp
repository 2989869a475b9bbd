#include "form2.h"

#include "base/appinfo.h"
#include "fittedpicture.h"
#include "form13.h"
#include "linklabel.h"
#include "ui/builders.h"
#include "ui/guard.h"
#include "webbrowser.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>

TForm2* Form2 = nullptr;

namespace {
// The labels are written over the picture on an opaque background of the window colour.
template <typename Label>
Label* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top, int size,
                 int style) {
    auto* l = new Label(caption, parent);
    l->setObjectName(QLatin1String(name));
    ui::setFont(l, QStringLiteral("Times New Roman"), size, style, ui::purple);
    l->setAutoFillBackground(true);
    l->move(left, top);
    l->adjustSize();
    return l;
}
} // namespace

TForm2::TForm2(QWidget* parent)
    : Form(QStringLiteral("Form2"), QStringLiteral("Материалы для изучения"), 207, 105, 1171, 631, parent) {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setNativeMenuBar(false);
    // The menu bar keeps the system's menu colour, not the window's.
    MainMenu1->setPalette(QApplication::palette(MainMenu1));
    N1 = MainMenu1->addMenu(QStringLiteral("Тест"));
    N1->setObjectName(QStringLiteral("N1"));
    N1->menuAction()->setObjectName(QStringLiteral("N1"));
    const auto item = [this](QWidget* owner, const char* name, const QString& caption) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QLatin1String(name));
        owner->addAction(a);
        return a;
    };
    N11 = item(N1, "N11", QStringLiteral("Тестирование"));
    N21 = item(N1, "N21", QStringLiteral("Результаты  теста"));
    N4 = item(MainMenu1, "N4", QStringLiteral("Видеоуроки"));
    N5 = item(MainMenu1, "N5", QStringLiteral("О программе"));
    N2 = item(MainMenu1, "N2", QStringLiteral("Выход"));
    N3 = item(MainMenu1, "N3", QString());

    // The menu bar stands above the client area, which keeps its full size.
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, 1171, menuHeight);
    setFixedSize(1171, 631 + menuHeight);
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setGeometry(0, menuHeight, 1171, 631);

    wb1 = new TWebBrowser(client);
    wb1->setObjectName(QStringLiteral("wb1"));
    wb1->setGeometry(337, 0, 834, 631);

    img1 = new FittedPicture(client);
    img1->setObjectName(QStringLiteral("img1"));
    img1->setGeometry(0, 0, 337, 631);
    img1->setPictureFile(QStringLiteral(":/pictures/materials.jpg"));

    const int link = ui::Bold | ui::Underline;
    lbl1 = makeLabel<QLabel>(client, "lbl1", QStringLiteral("Список тем:"), 40, 96, 24, ui::Regular);
    lbl2 = makeLabel<LinkLabel>(client, "lbl2", QStringLiteral("1.Понятие музыки"), 40, 136, 21, link);
    lbl4 = makeLabel<QLabel>(client, "lbl4", QStringLiteral("2. Основы нотной грамоты:"), 40, 184, 21,
                             ui::Regular);
    lbl3 = makeLabel<LinkLabel>(client, "lbl3", QStringLiteral("2.1 Звукоряд"), 72, 216, 21, link);
    lbl5 = makeLabel<LinkLabel>(client, "lbl5", QStringLiteral("2.2 Ключи"), 72, 248, 21, link);
    lbl6 = makeLabel<LinkLabel>(client, "lbl6", QStringLiteral("2.3 Доли"), 72, 280, 21, link);
    lbl7 = makeLabel<QLabel>(client, "lbl7", QStringLiteral("3.Великие музыканты в жанре "), 40, 328, 21,
                             ui::Regular);
    lbl8 = makeLabel<QLabel>(client, "lbl8", QStringLiteral("\"Классика\":"), 40, 360, 21, ui::Regular);
    lbl9 = makeLabel<LinkLabel>(client, "lbl9", QStringLiteral("3.1 Верелинский"), 72, 392, 21, link);
    lbl10 = makeLabel<LinkLabel>(client, "lbl10", QStringLiteral("3.2 Ларвен"), 72, 424, 21, link);
    lbl11 = makeLabel<LinkLabel>(client, "lbl11", QStringLiteral("3.3 Гримальд"), 72, 456, 21, link);

    connect(lbl2, &LinkLabel::clicked, this, GUARD(this, lbl2Click));
    connect(lbl3, &LinkLabel::clicked, this, GUARD(this, lbl3Click));
    connect(lbl5, &LinkLabel::clicked, this, GUARD(this, lbl5Click));
    connect(lbl6, &LinkLabel::clicked, this, GUARD(this, lbl6Click));
    connect(lbl9, &LinkLabel::clicked, this, GUARD(this, lbl9Click));
    connect(lbl10, &LinkLabel::clicked, this, GUARD(this, lbl10Click));
    connect(lbl11, &LinkLabel::clicked, this, GUARD(this, lbl11Click));
    connect(N11, &QAction::triggered, this, GUARD(this, N11Click));
    connect(N21, &QAction::triggered, this, GUARD(this, N21Click));
    connect(N4, &QAction::triggered, this, GUARD(this, N4Click));
    connect(N5, &QAction::triggered, this, GUARD(this, N5Click));
    connect(N2, &QAction::triggered, this, GUARD(this, N2Click));
    connect(N3, &QAction::triggered, this, GUARD(this, N3Click));
}

void TForm2::lbl2Click() {
    showPage(QStringLiteral("1.htm"));
}
void TForm2::lbl3Click() {
    showPage(QStringLiteral("21.htm"));
}
void TForm2::lbl5Click() {
    showPage(QStringLiteral("22.htm"));
}
void TForm2::lbl6Click() {
    showPage(QStringLiteral("23.htm"));
}
void TForm2::lbl9Click() {
    showPage(QStringLiteral("31.htm"));
}
void TForm2::lbl10Click() {
    showPage(QStringLiteral("32.htm"));
}
void TForm2::lbl11Click() {
    showPage(QStringLiteral("33.htm"));
}

void TForm2::N11Click() {
    showTopicChoice();
}
void TForm2::N21Click() {
    showOwnResults();
}
void TForm2::N4Click() {
    Form13->showModal();
}
void TForm2::N5Click() {
    Form13->showModal();
}
void TForm2::N2Click() {
    close();
}
void TForm2::N3Click() {
    close();
}

void TForm2::showPage(const QString& fileName) {
    // Nothing is checked here: a missing page is the browser's own error page.
    wb1->navigate(appinfo::programFolder() + QStringLiteral("HTML/") + fileName);
}
