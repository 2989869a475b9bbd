#include "form9.h"

#include "admin/form12.h"
#include "admin/form8.h"
#include "admin/itemanalysiswindow.h"
#include "admin/questionbank.h"
#include "admin/resultsreport.h"
#include "admin/topicsettingsdialog.h"
#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/filter.h"
#include "data/engine/table.h"
#include "data/widgets/dbgrid.h"
#include "data/widgets/dbnavigator.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

TForm9* Form9 = nullptr;

namespace {

const QString Arial = QStringLiteral("Arial");

} // namespace

TForm9::TForm9(QWidget* parent)
    : Form(QStringLiteral("Form9"), QStringLiteral("Управление"), 337, 264, 817, 377, parent) {
    const QColor windowText = palette().color(QPalette::WindowText);

    GroupBox1 = new TGroupBox(QStringLiteral("Результат"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(16, 24, 569, 345);
    ui::setFont(GroupBox1, Arial, 12, ui::Regular, Qt::black);

    DBGrid2 = new TDBGrid(GroupBox1);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setGeometry(8, 32, 553, 169);
    ui::setFont(DBGrid2, Arial, 11, ui::Regular, Qt::black);
    DBGrid2->setTitleFont(ui::font(Arial, 12));
    DBGrid2->setFixedColor(ui::cream);
    DBGrid2->setDataSource(QStringLiteral("DataSource6"));

    DBNavigator2 = new TDBNavigator(GroupBox1);
    DBNavigator2->setObjectName(QStringLiteral("DBNavigator2"));
    DBNavigator2->setGeometry(120, 208, 324, 25);
    DBNavigator2->setVisibleButtons(TDBNavigator::nbPrior | TDBNavigator::nbNext | TDBNavigator::nbDelete);
    DBNavigator2->setDataSource(QStringLiteral("DataSource6"));

    Button2 =
        ui::pushButton(GroupBox1, QStringLiteral("Button2"), QStringLiteral("Сортировка"), {24, 296, 89, 33});
    ui::setFont(Button2, Arial, 15, ui::Regular, Qt::black);

    Button3 =
        ui::pushButton(GroupBox1, QStringLiteral("Button3"), QStringLiteral("Печать"), {448, 296, 105, 33});
    ui::setFont(Button3, QStringLiteral("Arial Narrow"), 19, ui::Bold, ui::blue);

    Edit1 = new QLineEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(168, 256, 57, 23);

    Label1 = new QLabel(QStringLiteral("Фильтр по оценке:"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    ui::setFont(Label1, Arial, 16, ui::Regular, Qt::black);
    // A label sizes itself to its text, so the colon is never clipped by a face a little wider than Arial.
    Label1->setGeometry(24, 256, std::max(131, Label1->sizeHint().width()), 18);

    GroupBox2 = new TGroupBox(QStringLiteral("Название темы"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->setGeometry(592, 24, 209, 209);
    ui::setFont(GroupBox2, Arial, 12, ui::Regular, windowText);

    DBGrid1 = new TDBGrid(GroupBox2);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 24, 193, 177);
    DBGrid1->setTitleFont(ui::font(Arial, 12));
    DBGrid1->setFixedColor(ui::cream);
    DBGrid1->setDataSource(QStringLiteral("DataSource3"));

    DBNavigator1 = new TDBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(608, 248, 185, 25);
    DBNavigator1->setVisibleButtons(TDBNavigator::nbPrior | TDBNavigator::nbNext | TDBNavigator::nbInsert |
                                    TDBNavigator::nbDelete | TDBNavigator::nbPost);
    DBNavigator1->setDataSource(QStringLiteral("DataSource3"));

    Button1 = ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Список вопросов"),
                             {640, 288, 121, 33});
    ui::setFont(Button1, Arial, 13, ui::Regular, Qt::black);

    Button4 = ui::pushButton(this, QStringLiteral("Button4"), QStringLiteral("Список учеников"),
                             {640, 328, 121, 33});
    ui::setFont(Button4, Arial, 13, ui::Regular, Qt::black);

    // The current topic's test settings, last in tab order.
    Button5 = ui::pushButton(GroupBox1, QStringLiteral("Button5"), QStringLiteral("Настройки теста"),
                             {400, 252, 153, 31});
    ui::setFont(Button5, Arial, 15, ui::Regular, Qt::black);
    SettingsDialog = std::make_unique<TopicSettingsDialog>();
    SpeedButton1 = ui::pushButton(this, QStringLiteral("SpeedButton1"), {}, {600, 288, 33, 33});
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    SpeedButton1->setToolTip(QStringLiteral("Импорт вопросов в тему (Moodle XML, GIFT)…"));
    SpeedButton1->setAccessibleName(SpeedButton1->toolTip());
    SpeedButton2 = ui::pushButton(this, QStringLiteral("SpeedButton2"), {}, {768, 288, 33, 33});
    SpeedButton2->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    SpeedButton2->setToolTip(QStringLiteral("Экспорт вопросов темы в Moodle XML…"));
    SpeedButton2->setAccessibleName(SpeedButton2->toolTip());
    setTabOrder(Button1, SpeedButton1);
    setTabOrder(SpeedButton1, SpeedButton2);
    setTabOrder(SpeedButton2, Button4);

    // Controls were created in tab order; the label is not a stop.
    Label1->setFocusPolicy(Qt::NoFocus);

    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, GUARD(this, Button2Click));
    connect(Button3, &QPushButton::clicked, this, GUARD(this, Button3Click));
    connect(Button4, &QPushButton::clicked, this, GUARD(this, Button4Click));
    connect(Button5, &QPushButton::clicked, this, GUARD(this, Button5Click));
    connect(SpeedButton1, &QPushButton::clicked, this, GUARD(this, SpeedButton1Click));
    connect(SpeedButton2, &QPushButton::clicked, this, GUARD(this, SpeedButton2Click));
    // Every change of the text, typed, deleted, pasted or set, runs the grade filter.
    connect(Edit1, &QLineEdit::textChanged, this, GUARD(this, Edit1Change));

    AnalysisButton = ui::pushButton(GroupBox1, QStringLiteral("AnalysisButton"),
                                    QStringLiteral("Анализ вопросов"), {232, 296, 193, 33});
    ui::setFont(AnalysisButton, Arial, 15, ui::Regular, Qt::black);
    connect(AnalysisButton, &QPushButton::clicked, this, GUARD(this, AnalysisButtonClick));
}

TForm9::~TForm9() = default;

void TForm9::AnalysisButtonClick() {
    Table* tema = DataModule11->tema;
    const QVariant topic = tema->value(schema::topicKey);
    if (topic.isNull())
        throw Failure(QStringLiteral("Выберите тему, вопросы которой хотите разобрать."));
    if (!m_analysis)
        m_analysis = std::make_unique<ItemAnalysisWindow>();
    m_analysis->open(topic.toInt(), tema->asText(tema->fieldPos(schema::topics::name)));
    m_analysis->showModal();
}

void TForm9::Button1Click() {
    Form8->showModal();
}

void TForm9::Button2Click() {
    DataModule11->rez->setSort(schema::topicKey);
}

void TForm9::Button3Click() {
    runResultsReport(this);
}

void TForm9::Button4Click() {
    Form12->showModal();
}

void TForm9::Button5Click() {
    SettingsDialog->open();
}

void TForm9::SpeedButton1Click() {
    questionbank::importIntoCurrentTopic(this);
}

void TForm9::SpeedButton2Click() {
    questionbank::exportCurrentTopic(this);
}

// The grade filter. Filtering goes off before the new text is applied, so a text the engine rejects leaves
// rez unfiltered; the typed grade is one quoted value, so no text can change the expression itself.
void TForm9::Edit1Change() {
    Table* rez = DataModule11->rez;
    const QString grade = Edit1->text();
    rez->setFiltered(false);
    if (grade.isEmpty())
        return;
    rez->setFilterText(QStringLiteral("Оценка =") + filter::quotedValue(grade));
    rez->setFiltered(true);
}
