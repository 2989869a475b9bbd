#include "form3.h"

#include "attemptlog.h"
#include "base/clock.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/attemptstables.h"
#include "data/engine/connection.h"
#include "data/engine/table.h"
#include "data/widgets/dbtext.h"
#include "gradescale.h"
#include "questionmediapanel.h"
#include "radiogroup.h"
#include "testwalk.h"
#include "ui/builders.h"
#include "ui/guard.h"

#include <QDateTime>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>

TForm3* Form3 = nullptr;

namespace {

const QString Arial = QStringLiteral("Arial");
const QString TimeLeft = QStringLiteral("До окончания теста:");

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(place);
    ui::setFont(label, QStringLiteral("Arial Narrow"), 19, ui::Bold | ui::Italic, ui::blue);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& place) {
    auto* button = ui::pushButton(parent, name, text, place);
    ui::setFont(button, Arial, 19, ui::Regular, Qt::black);
    return button;
}

} // namespace

TForm3::TForm3(QWidget* parent)
    : Form(QStringLiteral("Form3"), QStringLiteral("Тестирование"), 358, 3, 802, 627, parent) {
    Label2 = makeLabel(this, QStringLiteral("Label2"),
                       QStringLiteral("Проверь свои знания, пройдя ТЕСТИРОВАНИЕ!"), {184, 8, 372, 23});
    Label4 = makeLabel(this, QStringLiteral("Label4"),
                       QStringLiteral("На данный тест тебе дается определенное время!"), {160, 40, 421, 23});
    Label5 = makeLabel(this, QStringLiteral("Label5"),
                       QStringLiteral("Когда время закончится, твой тест считается не пройденным!"),
                       {112, 72, 530, 23});
    Label3 = makeLabel(this, QStringLiteral("Label3"),
                       QStringLiteral("На каждый вопрос, выбери ОДИН вариант ответа, на предыдущий вопрос "
                                      "вернуться НЕЛЬЗЯ!"),
                       {16, 104, 773, 23});

    GroupBox1 = new TGroupBox(QStringLiteral("Вопрос:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(24, 136, 761, 193);
    ui::setFont(GroupBox1, Arial, 16, ui::Regular, palette().color(QPalette::WindowText));

    DBText1 = new TDBText(GroupBox1);
    DBText1->setObjectName(QStringLiteral("DBText1"));
    DBText1->setGeometry(16, 32, 713, 169);
    ui::setFont(DBText1, Arial, 16, ui::Regular, Qt::black);
    DBText1->setDataSource(QStringLiteral("DataSource4"));
    DBText1->setDataField(schema::questions::text);

    MediaPanel1 = new QuestionMediaPanel(GroupBox1);
    MediaPanel1->setGeometry(16, 56, 729, 129);
    MediaPanel1->countPlay = [this] { countPlay(); };

    RadioGroup1 = new RadioGroup(this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setTitle(QStringLiteral("Ответы:"));
    RadioGroup1->setGeometry(24, 352, 761, 177);
    ui::setFont(RadioGroup1, Arial, 16, ui::Regular, Qt::black);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(16, 544, 769, 65);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(1);

    Label1 = new QLabel(Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(312, 24, 176, 22);
    ui::setFont(Label1, Arial, 19, ui::Regular, ui::blue);
    setLabel1(TimeLeft);

    Button1 = makeButton(Panel1, QStringLiteral("Button1"), QStringLiteral("Начать тест"), {0, 16, 121, 33});
    Button2 =
        makeButton(Panel1, QStringLiteral("Button2"), QStringLiteral("Следующий вопрос"), {128, 16, 177, 33});
    Button3 = makeButton(Panel1, QStringLiteral("Button3"), QStringLiteral("Закончить"), {656, 16, 107, 33});

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, GUARD(this, Button2Click));
    connect(Button3, &QPushButton::clicked, this, GUARD(this, Button3Click));
    connect(RadioGroup1, &RadioGroup::clicked, this, GUARD(this, RadioGroup1Click));
    connect(Timer1, &QTimer::timeout, this, GUARD(this, Timer1Timer));
    orderTabs();
    FormCreate();
}

// A stored result belongs to a finished test: the next showing offers a new one (a window restored from
// the task bar is the same showing).
void TForm3::showEvent(QShowEvent* e) {
    if (m_stored && !e->spontaneous())
        guarded([this]() { startFreshTest(); });
    if (!e->spontaneous())
        guarded([this]() { showQuestionMedia(); });
    Form::showEvent(e);
}

// A clip stops with the window.
void TForm3::hideEvent(QHideEvent* e) {
    MediaPanel1->stop();
    Form::hideEvent(e);
}

void TForm3::FormCreate() {
    m_countdown = TestSeconds;
}

void TForm3::Button1Click() {
    takeOwner();
    Timer1->start();
    Button1->hide();
    Button3->show();
    Button3->setEnabled(false);
    Button2->setEnabled(true);
    loadAnswers();
    DBText1->show();
}

void TForm3::Timer1Timer() {
    --m_countdown;
    const int seconds = m_countdown % 60;
    const int minutes = (m_countdown / 60) % 60;
    setLabel1(TimeLeft + QString::number(minutes) + QLatin1Char(':') + QString::number(seconds));
    if (m_countdown == 0) {
        Timer1->stop();
        // Time is up: no more answering; "Закончить" is left to close the window.
        endWalk();
        storeResult();
    }
}

void TForm3::RadioGroup1Click() {
    if (RadioGroup1->itemIndex() != -1)
        Button2->setEnabled(true);
}

void TForm3::Button2Click() {
    // Answering without the start command is taking the test too.
    takeOwner();
    Table* ans = DataModule11->ans;
    ans->first();
    const int answers = ans->recordCount();
    if (m_serverGrades) {
        // The server compares the answer; the last one stores the test and tells how many were correct.
        const auto points =
            DataModule11->recordAnswer(currentQuestion(), RadioGroup1->item(RadioGroup1->itemIndex()),
                                       programclock::today(), m_countdown);
        if (points) {
            m_correct = *points;
            m_stored = true;
        }
    }
    const int before = m_correct;
    for (int i = 0; i < answers && !m_serverGrades; ++i) {
        const QString chosen = RadioGroup1->item(RadioGroup1->itemIndex());
        if (ans->value(schema::answers::text).toString() == chosen &&
            ans->value(schema::answers::correct).toBool())
            ++m_correct;
        ans->next();
    }
    if (answers > 0 && m_log.active())
        m_log.answer(currentQuestion(), RadioGroup1->item(RadioGroup1->itemIndex()), m_correct > before,
                     m_countdown);
    ++m_questions;

    const int m = m_walk.questionCount();
    if (m > m_questions)
        GroupBox1->setTitle(QStringLiteral("Вопрос %1 из %2").arg(m_questions + 1).arg(m));
    else
        setLabel1(QStringLiteral("Тест закончен, Набранные баллы : %1").arg(m_correct));
    if (m == m_questions)
        endWalk();
    m_walk.advance(m_questions);
    RadioGroup1->clearItems();
    loadAnswers();
    Button2->setEnabled(false);
    showQuestionMedia();
}

void TForm3::Button3Click() {
    if (!m_stored)
        storeResult();
    close();
}

void TForm3::loadAnswers() {
    for (const QString& text : m_walk.answerTexts())
        RadioGroup1->addItem(text);
    orderTabs();
}

// The answers come before the panel's buttons, as the controls are laid out.
void TForm3::orderTabs() {
    QList<QWidget*> chain;
    for (int i = 0; i < RadioGroup1->count(); ++i)
        chain.append(RadioGroup1->button(i));
    chain << Button1 << Button2 << Button3;
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));
}

void TForm3::showQuestionMedia() {
    const QVariant key = DataModule11->quest->value(schema::questionKey);
    MediaPanel1->setQuestion(key, m_plays.question == key.toInt() ? m_plays.played : 0);
}

int TForm3::currentQuestion() const {
    return DataModule11->quest->value(schema::questionKey).toInt();
}

// A play is kept in the log before the pupil hears it: killing the program does not give it back.
void TForm3::countPlay() {
    const int question = currentQuestion();
    if (m_serverGrades)
        DataModule11->recordPlay(question);
    else if (m_log.active())
        m_log.play(question);
    m_plays = {question, (m_plays.question == question ? m_plays.played : 0) + 1};
}

// Only "Закончить" stays usable.
void TForm3::endWalk() {
    MediaPanel1->stop();
    MediaPanel1->setEnabled(false);
    Button2->setEnabled(false);
    Button3->show();
    Button3->setEnabled(true);
    DBText1->setEnabled(false);
    RadioGroup1->setEnabled(false);
    Timer1->stop();
}

void TForm3::takeOwner() {
    if (m_owner)
        return;
    const Owner owner = currentOwner();
    m_settings = topicsettings::read(*DataModule11->ADOConnection1, owner.topic.toInt());
    m_owner = owner;
    m_countdown = m_settings.seconds;
    std::optional<AttemptLog::Resumed> resumed;
    // On the lab server the server draws the questions, keeps the answers and grades them; it learns of the
    // test now.
    m_serverGrades = DataModule11->gradesOnServer();
    QList<TestWalk::Drawn> draw;
    if (m_serverGrades) {
        const TDataModule11::ServerTest test = DataModule11->beginTest(m_owner->topic.toInt());
        for (const auto& question : test.draw)
            draw << TestWalk::Drawn{question.question, question.answers};
        if (test.answered > 0)
            resumed = AttemptLog::Resumed{draw, test.answered, 0, test.secondsLeft.value_or(m_countdown)};
    } else {
        draw = TestWalk::draw(m_settings);
        if (AttemptLog::kept())
            resumed = m_log.begin({owner.pupil, owner.topic, owner.klass}, draw, m_settings.seconds,
                                  [](const AttemptLog::Owner& o, int correct, int grade) {
                                      postRow({o.pupil, o.topic, o.klass}, correct, grade);
                                  });
    }
    if (resumed) {
        // The test the program did not end goes on where it stopped.
        draw = resumed->draw;
        m_questions = resumed->answered;
        m_correct = resumed->correct;
        m_countdown = resumed->secondsLeft;
    } else if (m_settings.walksAsStored()) {
        draw.clear();
    }
    m_walk.begin(draw);
    if (m_questions > 0)
        continueWalk();
    if (resumed) {
        const int question = currentQuestion();
        m_plays = {question, m_serverGrades ? DataModule11->clipPlays(question) : m_log.plays(question)};
    }
    // The walk may begin elsewhere than the question shown before the start (a draw, a test taken up again).
    showQuestionMedia();
}

// A test taken up again: the question after the last one answered, or the walk's end.
void TForm3::continueWalk() {
    const int m = m_walk.questionCount();
    if (m > m_questions) {
        m_walk.advance(m_questions);
        GroupBox1->setTitle(QStringLiteral("Вопрос %1 из %2").arg(m_questions + 1).arg(m));
    } else {
        setLabel1(QStringLiteral("Тест закончен, Набранные баллы : %1").arg(m_correct));
        endWalk();
    }
}

// The class is the pupil's own.
TForm3::Owner TForm3::currentOwner() {
    const TDataModule11* dm = DataModule11;
    return {dm->ych->value(schema::pupilKey), dm->tema->value(schema::topicKey),
            dm->ych->value(schema::classKey)};
}

void TForm3::pupilSignedOut() {
    if (!m_owner && !m_stored)
        return; // the window is as fresh as it was made
    if (!m_stored) {
        Timer1->stop();
        // A failure to store is reported here: the next pupil gets a fresh test all the same.
        guarded([this] { storeResult(); });
    }
    startFreshTest();
}

void TForm3::storeResult() {
    takeOwner();
    if (m_serverGrades) {
        m_correct = DataModule11->finishTest(programclock::today());
        m_stored = true;
        return;
    }
    const TDataModule11* dm = DataModule11;
    const int grade = gradescale::grade(gradescale::percentage(m_correct, m_walk.questionCount()),
                                        {m_settings.pass3, m_settings.pass4, m_settings.pass5});
    const Owner owner = *m_owner;
    // The row and the end of the answer log are kept together.
    m_log.end(m_countdown == 0 ? attemptstables::TimedOut : attemptstables::Finished, [&] {
        postRow(owner, m_correct, grade);
        return dm->rez->value(schema::results::key);
    });
    m_stored = true;
}

void TForm3::postRow(const Owner& owner, int correct, int grade) {
    Table* rez = DataModule11->rez;
    // Fields are reached by name, so a column dragged in a grid cannot redirect a write.
    try {
        rez->insert();
        rez->setValue(schema::results::grade, grade);
        rez->setValue(schema::results::points, QString::number(correct));
        rez->setValue(schema::results::date, programclock::today().startOfDay());
        rez->setValue(schema::topicKey, owner.topic);
        rez->setValue(schema::pupilKey, owner.pupil);
        rez->setValue(schema::classKey, owner.klass);
        if (rez->modified())
            rez->post();
    } catch (const Failure&) {
        // A half-made row would block the next attempt to store: drop it, the result stays unsaved.
        if (rez->state() == Table::State::Insert)
            rez->cancel();
        throw;
    }
}

void TForm3::startFreshTest() {
    Timer1->stop();
    FormCreate();
    m_questions = 0;
    m_correct = 0;
    m_stored = false;
    m_serverGrades = false;
    m_owner.reset();
    m_settings = {};
    m_walk.reset();
    m_log.reset();
    m_plays = {};
    GroupBox1->setTitle(QStringLiteral("Вопрос:"));
    setLabel1(TimeLeft);
    RadioGroup1->clearItems();
    RadioGroup1->setEnabled(true);
    DBText1->setEnabled(true);
    MediaPanel1->setEnabled(true);
    DBText1->show();
    for (QPushButton* b : {Button1, Button2, Button3}) {
        b->show();
        b->setEnabled(true);
    }
    DataModule11->quest->first();
}

// The label sizes itself to its caption, keeping its left and top.
void TForm3::setLabel1(const QString& text) {
    Label1->setText(text);
    Label1->adjustSize();
}
