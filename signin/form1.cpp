#include "form1.h"

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/filewrite.h"
#include "base/schema.h"
#include "data/datamodule.h"
#include "data/engine/connection.h"
#include "data/engine/filter.h"
#include "data/engine/query.h"
#include "data/engine/table.h"
#include "ui/builders.h"
#include "ui/dialogs.h"
#include "ui/guard.h"
#include "ui/jpeg.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

TForm1* Form1 = nullptr;

TImage::TImage(const QImage& picture, QWidget* parent) : QWidget(parent), m_picture(picture) {}

void TImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_picture);
}

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& place) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(place);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui::setFont(l, QStringLiteral("Arial"), 24, ui::Regular, Qt::black);
    // Opaque: the label stands on the window colour above the backdrop.
    ui::setBackground(l, parent->palette().color(QPalette::Window));
    return l;
}

QLineEdit* edit(QWidget* parent, const char* name, const QRect& place) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(place);
    return e;
}

// Creates or overwrites `path` with `bytes`, whole or not at all; a failure throws the system's message.
void writeWhole(const QString& path, const QByteArray& bytes) {
    try {
        files::AtomicFile file(path);
        file.write(bytes); // a failed write is thrown by commit()
        file.commit();
    } catch (const files::WriteError& e) {
        throw Failure(files::reason(e, files::Wording::English));
    }
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : Form(QStringLiteral("Form1"), QStringLiteral("Авторизация"), 772, 187, 442, 299, parent) {
    ui::setFont(this, QStringLiteral("Arial"), 16, ui::Regular, Qt::black);

    Image1 = new TImage(loadJpeg(QStringLiteral(":/pictures/signin.jpg")), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(-8, -8, 513, 369);

    Label1 = label(this, "Label1", QStringLiteral("Фамилия"), {80, 56, 101, 27});
    Label2 = label(this, "Label2", QStringLiteral("Пароль"), {80, 128, 83, 27});
    Edit2 = edit(this, "Edit2", {192, 56, 193, 26});
    Edit1 = edit(this, "Edit1", {192, 128, 193, 26});
    // The mask character, once Edit2Click sets the mask, is "*" (42), not the style's own dot.
    Edit1->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    Button1 = ui::pushButton(this, QStringLiteral("Button1"), QStringLiteral("Войти"), {184, 192, 89, 41});
    Button3 = ui::pushButton(this, QStringLiteral("Button3"), QStringLiteral("Войти"), {184, 192, 89, 41});
    for (QPushButton* b : {Button1, Button3})
        ui::setFont(b, QStringLiteral("Arial Narrow"), 24, ui::Bold, ui::blue);
    Button2 =
        ui::pushButton(this, QStringLiteral("Button2"), QStringLiteral("Подключиться к БД"), {0, 0, 177, 33});
    ui::setFont(Button2, QStringLiteral("Arial"), 19, ui::Regular, Qt::black);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Button1);
    setTabOrder(Button1, Button2);
    setTabOrder(Button2, Button3);
    // The first control in the tab order has the focus when the window opens.
    Edit1->setFocus();

    Edit2->installEventFilter(this);
    connect(Edit2, &QLineEdit::textChanged, this, GUARD(this, Edit2Change));
    connect(Button1, &QPushButton::clicked, this, GUARD(this, Button1Click));
    connect(Button2, &QPushButton::clicked, this, GUARD(this, Button2Click));
    connect(Button3, &QPushButton::clicked, this, GUARD(this, Button3Click));

    FormCreate();
}

QString TForm1::connectionFilePath() {
    return appinfo::programFolder() + QStringLiteral("Connect.ini");
}

QString TForm1::connectionFileText(const QString& databasePath) {
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;User ID=Admin;Data Source=") + databasePath;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Edit2 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        guarded([this] { Edit2Click(); });
    return Form::eventFilter(watched, event);
}

void TForm1::FormCreate() {
    const bool queryVariant = QFileInfo(connectionFilePath()).isFile(); // a folder of that name is not it
    Button2->setEnabled(!queryVariant);
    Button3->setVisible(queryVariant);
    Button1->setVisible(!queryVariant);
}

void TForm1::Edit2Click() {
    Edit1->setEnabled(true);
    Edit1->clear();
    Edit1->setEchoMode(QLineEdit::Password);
    Edit2->clear();
}

void TForm1::Edit2Change() {
    Table* ych = DataModule11->ych;
    ych->setFiltered(false);
    if (Edit2->text().isEmpty())
        return;
    ych->setFilterText(QStringLiteral("Фамилия =") + filter::quotedValue(Edit2->text()));
    ych->setFiltered(true);
}

void TForm1::Button1Click() {
    Table* ych = DataModule11->ych;
    if (ych->isEmpty()) {
        Edit2->clear();
    } else {
        const bool matches = DataModule11->passwordMatches(Edit1->text());
        if (matches && ych->asBoolean(schema::pupils::rightsPos))
            showTeacherWindow();
        else if (!matches)
            Edit2->clear();
        else
            showPupilWindow();
    }
    // Every attempt ends signed out: boxes empty, no surname filter, the password box disabled.
    Edit1->clear();
    Edit2->clear();
    Edit1->setEnabled(false);
}

void TForm1::Button3Click() {
    switch (DataModule11->signInBySurname(Edit2->text(), Edit1->text())) {
    case TDataModule11::SignIn::WrongLogin:
        dialogs().message(QStringLiteral("Введён неверный логин!"));
        return;
    case TDataModule11::SignIn::WrongPassword:
        dialogs().message(QStringLiteral("Неверный пароль!"));
        return;
    case TDataModule11::SignIn::Signed:
        setModalResult(mrOk);
    }
}

void TForm1::Button2Click() {
    const QString chosen = dialogs().openFileName(this);
    if (chosen.isEmpty())
        return;
    const QString path = QFileInfo(chosen).absoluteFilePath();
    // The engine reads the value quoted, so that a name with ";", quotes or blanks at its ends is the file
    // chosen; Connect.ini keeps the path as it is.
    const QString connectionString = connectionFileText(Connection::quotedItemValue(path));
    Connection* connection = DataModule11->ADOConnection1;
    {
        // A file that cannot be opened writes no Connect.ini, which would make the next start the query
        // variant for a database that was never opened.
        Connection trial(connection->objectName());
        connect(&trial, &Connection::converted, connection, &Connection::converted);
        trial.setConnectionString(connectionString);
        trial.open();
    }
    writeWhole(connectionFilePath(), (connectionFileText(path) + QStringLiteral("\r\n")).toUtf8());
    connection->setConnectionString(connectionString);
    DataModule11->openAfterConnect();
}
