#include "answerreview.h"

#include "ui/builders.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace {

const QColor Right{220, 245, 220};
const QColor Wrong{250, 220, 220};

QTableWidgetItem* cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

AnswerReview::AnswerReview(QWidget* parent)
    : Form(QStringLiteral("AnswerReview"), QStringLiteral("Разбор ответов"), 120, 80, 780, 480, parent) {
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(16, 12, 748, 24);
    ui::setFont(Label1, QStringLiteral("Arial"), 16, ui::Bold, ui::blue);

    Grid = new QTableWidget(this);
    Grid->setObjectName(QStringLiteral("Grid"));
    Grid->setGeometry(16, 44, 748, 380);
    ui::setFont(Grid, QStringLiteral("Arial"), 13);
    Grid->verticalHeader()->hide();
    Grid->setWordWrap(true);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);

    Button1 = ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Закрыть"), {664, 436, 100, 30});
    ui::setFont(Button1, QStringLiteral("Arial"), 15);
    connect(Button1, &QPushButton::clicked, this, &QWidget::close);
}

void AnswerReview::showSheet(const QString& heading, const review::Sheet& sheet) {
    Label1->setText(heading);
    const bool answers = sheet.shown == review::Shown::Answers;
    QStringList titles{QStringLiteral("№"), QStringLiteral("Вопрос"), QStringLiteral("Твой ответ"),
                       QStringLiteral("Верно?")};
    if (answers)
        titles << QStringLiteral("Правильный ответ");
    Grid->clear();
    Grid->setColumnCount(int(titles.size()));
    Grid->setHorizontalHeaderLabels(titles);
    Grid->setRowCount(int(sheet.items.size()));
    for (int row = 0; row < sheet.items.size(); ++row) {
        const review::Item& item = sheet.items.at(row);
        Grid->setItem(row, 0, cell(QString::number(item.number)));
        Grid->setItem(row, 1, cell(item.question));
        Grid->setItem(row, 2, cell(item.answer.value_or(QStringLiteral("нет ответа"))));
        Grid->setItem(row, 3,
                      cell(!item.correct   ? QStringLiteral("—")
                           : *item.correct ? QStringLiteral("верно")
                                           : QStringLiteral("неверно")));
        if (answers)
            Grid->setItem(row, 4, cell(item.rightAnswers));
        if (item.correct)
            for (int column = 0; column < Grid->columnCount(); ++column)
                Grid->item(row, column)->setBackground(*item.correct ? Right : Wrong);
    }
    Grid->setColumnWidth(0, 36);
    Grid->setColumnWidth(2, 140);
    Grid->setColumnWidth(3, 70);
    if (answers)
        Grid->setColumnWidth(4, 160);
    // The question takes what the other columns leave.
    Grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    Grid->resizeRowsToContents();
    showModeless();
}
