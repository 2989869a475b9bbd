#include "topicsettingsdialog.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/table.h"
#include "data/topicsettings.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString Arial = QStringLiteral("Arial");

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(place);
    ui::setFont(label, Arial, 15, ui::Regular, Qt::black);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QRect& place) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(place);
    ui::setFont(edit, Arial, 15, ui::Regular, Qt::black);
    return edit;
}

// A whole number typed into a box, within its range; else the sentence that says what the box takes.
int number(const QLineEdit* edit, const QString& what, int low, int high) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        throw Failure(QStringLiteral("%1 — целое число от %2 до %3.").arg(what).arg(low).arg(high));
    return value;
}

} // namespace

TopicSettingsDialog::TopicSettingsDialog(QWidget* parent)
    : Form(QStringLiteral("TopicSettings"), QStringLiteral("Настройки теста"), 360, 300, 441, 313, parent) {
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Время на тест (мин : сек):"),
                       {16, 18, 220, 20});
    Edit1 = makeEdit(this, QStringLiteral("Edit1"), {256, 16, 49, 23});
    Edit2 = makeEdit(this, QStringLiteral("Edit2"), {320, 16, 41, 23});
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Вопросов в тесте (пусто — все):"),
                       {16, 58, 232, 20});
    Edit3 = makeEdit(this, QStringLiteral("Edit3"), {256, 56, 49, 23});
    CheckBox1 = new QCheckBox(QStringLiteral("Перемешать вопросы"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(16, 96, 220, 22);
    ui::setFont(CheckBox1, Arial, 15, ui::Regular, Qt::black);
    CheckBox2 = new QCheckBox(QStringLiteral("Перемешать ответы"), this);
    CheckBox2->setObjectName(QStringLiteral("CheckBox2"));
    CheckBox2->setGeometry(232, 96, 200, 22);
    ui::setFont(CheckBox2, Arial, 15, ui::Regular, Qt::black);
    Label3 = makeLabel(this, QStringLiteral("Label3"), QStringLiteral("Границы оценок «3», «4», «5», %:"),
                       {16, 138, 232, 20});
    Edit4 = makeEdit(this, QStringLiteral("Edit4"), {256, 136, 49, 23});
    Edit5 = makeEdit(this, QStringLiteral("Edit5"), {312, 136, 49, 23});
    Edit6 = makeEdit(this, QStringLiteral("Edit6"), {368, 136, 49, 23});
    Label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("После теста ученик видит:"),
                       {16, 178, 232, 20});
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(16, 206, 401, 25);
    ui::setFont(ComboBox1, Arial, 15, ui::Regular, Qt::black);
    ComboBox1->addItems({QStringLiteral("ничего"), QStringLiteral("какие ответы были верны"),
                         QStringLiteral("какие ответы были верны и верные ответы")});
    Button1 =
        ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Сохранить"), {96, 256, 121, 33});
    ui::setFont(Button1, Arial, 15, ui::Regular, Qt::black);
    Button2 = ui::pushButton(this, QStringLiteral("Button2"), QStringLiteral("Отмена"), {232, 256, 121, 33});
    ui::setFont(Button2, Arial, 15, ui::Regular, Qt::black);

    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, GUARD(this, Button2Click));
}

void TopicSettingsDialog::open() {
    const Table* tema = DataModule11->tema;
    const QVariant topic = tema->isActive() ? tema->value(schema::topicKey) : QVariant();
    if (topic.isNull())
        throw Failure(QStringLiteral("Выберите сохранённую тему в списке тем: настройки задаются для темы."));
    m_topic = topic.toInt();
    const TopicSettings settings = topicsettings::read(*DataModule11->ADOConnection1, m_topic);
    setWindowTitle(QStringLiteral("Настройки теста: %1").arg(tema->value(schema::topics::name).toString()));
    Edit1->setText(QString::number(settings.seconds / 60));
    Edit2->setText(QString::number(settings.seconds % 60));
    Edit3->setText(settings.questions ? QString::number(*settings.questions) : QString());
    CheckBox1->setChecked(settings.shuffleQuestions);
    CheckBox2->setChecked(settings.shuffleAnswers);
    Edit4->setText(QString::number(settings.pass3));
    Edit5->setText(QString::number(settings.pass4));
    Edit6->setText(QString::number(settings.pass5));
    ComboBox1->setCurrentIndex(settings.review);
    showModal();
}

void TopicSettingsDialog::Button1Click() {
    TopicSettings settings;
    settings.seconds = number(Edit1, QStringLiteral("Минуты теста"), 0, 300) * 60 +
                       number(Edit2, QStringLiteral("Секунды теста"), 0, 59);
    if (!Edit3->text().trimmed().isEmpty())
        settings.questions = number(Edit3, QStringLiteral("Число вопросов теста"), 1, 10000);
    settings.shuffleQuestions = CheckBox1->isChecked();
    settings.shuffleAnswers = CheckBox2->isChecked();
    settings.pass3 = number(Edit4, QStringLiteral("Граница оценки «3»"), 1, 100);
    settings.pass4 = number(Edit5, QStringLiteral("Граница оценки «4»"), 1, 100);
    settings.pass5 = number(Edit6, QStringLiteral("Граница оценки «5»"), 1, 100);
    settings.review = ComboBox1->currentIndex();
    topicsettings::write(*DataModule11->ADOConnection1, m_topic, settings);
    setModalResult(mrOk);
}

void TopicSettingsDialog::Button2Click() {
    setModalResult(mrCancel);
}
