#include "questionmediaeditor.h"

#include "base/failure.h"
#include "base/schema.h"
#include "data/engine/connection.h"
#include "data/engine/table.h"
#include "data/widgets/databinding.h"
#include "notation.h"
#include "ui/builders.h"
#include "ui/clipplayer.h"
#include "ui/dialogs.h"
#include "ui/groupbox.h"
#include "ui/guard.h"
#include "ui/mediafile.h"

#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QRect& place) {
    return ui::pushButton(parent, name, caption, place);
}

QLabel* label(QWidget* parent, const QString& text, const QRect& place) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(place);
    return l;
}

QDoubleSpinBox* secondsEdit(QWidget* parent, const QString& name, const QString& none, const QRect& place) {
    auto* edit = new QDoubleSpinBox(parent);
    edit->setObjectName(name);
    edit->setGeometry(place);
    edit->setRange(0, 3600);
    edit->setDecimals(1);
    edit->setSuffix(QStringLiteral(" с"));
    // Zero shows as the clip's own start or end.
    edit->setSpecialValueText(none);
    edit->setKeyboardTracking(false);
    return edit;
}

std::optional<double> seconds(const QDoubleSpinBox* edit) {
    return edit->value() > 0 ? std::optional<double>(edit->value()) : std::nullopt;
}

} // namespace

QuestionMediaEditor::QuestionMediaEditor(QWidget* parent)
    : QWidget(parent), m_binding(new DataBinding(this)), m_player(new ClipPlayer(this)) {
    setObjectName(QStringLiteral("QuestionMedia"));

    SoundBox = new TGroupBox(QStringLiteral("Звук вопроса"), this);
    SoundBox->setObjectName(QStringLiteral("SoundBox"));
    SoundBox->setGeometry(0, 0, 300, 120);
    SoundLabel = label(SoundBox, {}, {8, 20, 284, 17});
    SoundLabel->setObjectName(QStringLiteral("SoundLabel"));
    AttachSoundButton =
        button(SoundBox, QStringLiteral("AttachSoundButton"), QStringLiteral("Прикрепить…"), {8, 40, 92, 25});
    PlaySoundButton =
        button(SoundBox, QStringLiteral("PlaySoundButton"), QStringLiteral("Прослушать"), {104, 40, 92, 25});
    RemoveSoundButton =
        button(SoundBox, QStringLiteral("RemoveSoundButton"), QStringLiteral("Удалить"), {200, 40, 92, 25});
    label(SoundBox, QStringLiteral("с"), {8, 78, 10, 17});
    StartEdit =
        secondsEdit(SoundBox, QStringLiteral("StartEdit"), QStringLiteral("начала"), {20, 74, 76, 24});
    label(SoundBox, QStringLiteral("по"), {100, 78, 18, 17});
    EndEdit = secondsEdit(SoundBox, QStringLiteral("EndEdit"), QStringLiteral("конца"), {120, 74, 76, 24});
    PlaysEdit = new QSpinBox(SoundBox);
    PlaysEdit->setObjectName(QStringLiteral("PlaysEdit"));
    PlaysEdit->setGeometry(200, 74, 92, 24);
    PlaysEdit->setRange(0, 99);
    PlaysEdit->setPrefix(QStringLiteral("раз: "));
    PlaysEdit->setSpecialValueText(QStringLiteral("без счёта"));
    PlaysEdit->setKeyboardTracking(false);
    PlaysEdit->setToolTip(QStringLiteral("Сколько раз ученик может прослушать звук в тесте"));

    PictureBox = new TGroupBox(QStringLiteral("Картинка вопроса"), this);
    PictureBox->setObjectName(QStringLiteral("PictureBox"));
    PictureBox->setGeometry(308, 0, 299, 120);
    PictureView = label(PictureBox, {}, {8, 20, 148, 92});
    PictureView->setObjectName(QStringLiteral("PictureView"));
    PictureView->setAlignment(Qt::AlignCenter);
    PictureView->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    AttachPictureButton = button(PictureBox, QStringLiteral("AttachPictureButton"),
                                 QStringLiteral("Прикрепить…"), {164, 20, 127, 25});
    ViewPictureButton = button(PictureBox, QStringLiteral("ViewPictureButton"), QStringLiteral("Показать"),
                               {164, 52, 127, 25});
    RemovePictureButton = button(PictureBox, QStringLiteral("RemovePictureButton"), QStringLiteral("Удалить"),
                                 {164, 84, 127, 25});

    AbcBox = new TGroupBox(QStringLiteral("Мелодия нотами (ABC)"), this);
    AbcBox->setObjectName(QStringLiteral("AbcBox"));
    AbcBox->setGeometry(0, 128, 607, 120);
    AbcEdit = new QPlainTextEdit(AbcBox);
    AbcEdit->setObjectName(QStringLiteral("AbcEdit"));
    AbcEdit->setGeometry(8, 20, 460, 92);
    AbcEdit->setFont(ui::font(QStringLiteral("Courier New"), 13));
    AbcEdit->setPlaceholderText(QStringLiteral("X:1\nM:3/4\nL:1/8\nK:G\nGAB c2 d|"));
    MakeFromAbcButton = button(AbcBox, QStringLiteral("MakeFromAbcButton"), QStringLiteral("Картинка и звук"),
                               {476, 20, 123, 25});
    MakeFromAbcButton->setToolTip(QStringLiteral("Нарисовать ноты и озвучить их: картинка и звук вопроса"));
    label(AbcBox, QStringLiteral("Ноты станут картинкой и звуком вопроса."), {476, 52, 123, 56})
        ->setWordWrap(true);

    connect(AttachSoundButton, &QPushButton::clicked, this, GUARD(this, AttachSoundButtonClick));
    connect(PlaySoundButton, &QPushButton::clicked, this, GUARD(this, PlaySoundButtonClick));
    connect(RemoveSoundButton, &QPushButton::clicked, this, GUARD(this, RemoveSoundButtonClick));
    connect(AttachPictureButton, &QPushButton::clicked, this, GUARD(this, AttachPictureButtonClick));
    connect(ViewPictureButton, &QPushButton::clicked, this, GUARD(this, ViewPictureButtonClick));
    connect(RemovePictureButton, &QPushButton::clicked, this, GUARD(this, RemovePictureButtonClick));
    connect(MakeFromAbcButton, &QPushButton::clicked, this, GUARD(this, MakeFromAbcButtonClick));
    for (QAbstractSpinBox* edit :
         {static_cast<QAbstractSpinBox*>(StartEdit), static_cast<QAbstractSpinBox*>(EndEdit),
          static_cast<QAbstractSpinBox*>(PlaysEdit)})
        connect(edit, &QAbstractSpinBox::editingFinished, this, [this] {
            if (!m_showing)
                guarded([this] { PartChanged(); });
        });
    connect(m_player, &ClipPlayer::stopped, this,
            [this] { PlaySoundButton->setText(QStringLiteral("Прослушать")); });

    m_binding->onEveryNotice(this, [this] { guarded([this] { follow(); }); });
    m_binding->setDataSourceName(QStringLiteral("DataSource4"));
    display(m_media);
}

void QuestionMediaEditor::follow() {
    Table* quest = m_binding->isActive() ? m_binding->table() : nullptr;
    const QVariant key = quest && !quest->isEmpty() ? quest->value(schema::questionKey) : QVariant();
    if (key == m_question && key.isNull() == m_question.isNull())
        return;
    m_player->stop();
    m_question = key;
    display(key.isNull() ? questionmedia::Media() : questionmedia::read(*quest->connection(), key.toInt()));
}

void QuestionMediaEditor::display(const questionmedia::Media& media) {
    m_media = media;
    m_showing = true;
    const bool question = !m_question.isNull();
    m_player->setClip(media.sound, media.soundType, media.start, media.end);
    if (!question)
        SoundLabel->setText(QStringLiteral("Сохраните вопрос, чтобы прикрепить звук."));
    else if (media.hasSound())
        SoundLabel->setText(QStringLiteral("Звук %1, %2 КБ.")
                                .arg(media.soundType.toUpper())
                                .arg((media.sound.size() + 1023) / 1024));
    else
        SoundLabel->setText(QStringLiteral("Звука нет."));
    AttachSoundButton->setText(media.hasSound() ? QStringLiteral("Заменить…")
                                                : QStringLiteral("Прикрепить…"));
    AttachSoundButton->setEnabled(question);
    for (QWidget* w :
         std::initializer_list<QWidget*>{PlaySoundButton, RemoveSoundButton, StartEdit, EndEdit, PlaysEdit})
        w->setEnabled(media.hasSound());
    StartEdit->setValue(media.start.value_or(0));
    EndEdit->setValue(media.end.value_or(0));
    PlaysEdit->setValue(media.plays.value_or(0));

    PictureView->setPixmap(media.hasPicture() ? mediafile::fitted(media.picture, media.pictureType,
                                                                  PictureView->contentsRect().size())
                                              : QPixmap());
    PictureView->setText(media.hasPicture() ? QString() : QStringLiteral("нет картинки"));
    AttachPictureButton->setText(media.hasPicture() ? QStringLiteral("Заменить…")
                                                    : QStringLiteral("Прикрепить…"));
    AttachPictureButton->setEnabled(question);
    ViewPictureButton->setEnabled(media.hasPicture());
    RemovePictureButton->setEnabled(media.hasPicture());

    AbcEdit->setPlainText(media.abc);
    AbcEdit->setEnabled(question);
    MakeFromAbcButton->setEnabled(question);
    m_showing = false;
}

void QuestionMediaEditor::store(const questionmedia::Media& media) {
    questionmedia::store(*m_binding->table()->connection(), m_question.toInt(), media);
    display(media);
}

void QuestionMediaEditor::AttachSoundButtonClick() {
    const QString path = dialogs().openFileName(this, QStringLiteral("Звук вопроса"),
                                                QStringLiteral("Звуки (*.ogg *.oga *.mp3 *.wav *.flac)"));
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    const QByteArray bytes = mediafile::read(path);
    const QString type = mediafile::soundType(bytes, name);
    m_player->stop();
    // The player's own decoder has the last word; the headers' check above turns most wrong files away
    // without loading the media module.
    if (const QString problem = m_player->check(bytes, type); !problem.isEmpty())
        throw Failure(
            QStringLiteral("Файл «%1» не удаётся воспроизвести: он повреждён или записан в формате, "
                           "которого программа не знает.")
                .arg(name));
    questionmedia::Media media = m_media;
    media.sound = bytes;
    media.soundType = type;
    media.start.reset();
    media.end.reset();
    media.abc.clear(); // the sound no longer comes from the notes
    store(media);
}

void QuestionMediaEditor::PlaySoundButtonClick() {
    if (m_player->isPlaying()) {
        m_player->stop();
        return;
    }
    m_player->play();
    PlaySoundButton->setText(QStringLiteral("Остановить"));
}

void QuestionMediaEditor::RemoveSoundButtonClick() {
    m_player->stop();
    questionmedia::Media media = m_media;
    media.sound.clear();
    media.soundType.clear();
    media.start.reset();
    media.end.reset();
    media.plays.reset();
    media.abc.clear();
    store(media);
}

void QuestionMediaEditor::PartChanged() {
    questionmedia::Media media = m_media;
    media.start = seconds(StartEdit);
    media.end = seconds(EndEdit);
    media.plays = PlaysEdit->value() > 0 ? std::optional<int>(PlaysEdit->value()) : std::nullopt;
    if (media == m_media)
        return;
    if (media.end && *media.end <= media.start.value_or(0)) {
        display(m_media);
        throw Failure(QStringLiteral("Конец отрывка должен быть позже его начала."));
    }
    m_player->stop();
    store(media);
}

void QuestionMediaEditor::AttachPictureButtonClick() {
    const QString path = dialogs().openFileName(this, QStringLiteral("Картинка вопроса"),
                                                QStringLiteral("Картинки (*.png *.jpg *.jpeg *.svg)"));
    if (path.isEmpty())
        return;
    const QByteArray bytes = mediafile::read(path);
    questionmedia::Media media = m_media;
    media.pictureType = mediafile::pictureType(bytes, QFileInfo(path).fileName());
    media.picture = bytes;
    media.abc.clear(); // the picture no longer comes from the notes
    store(media);
}

void QuestionMediaEditor::ViewPictureButtonClick() {
    if (!m_media.hasPicture())
        return;
    if (!m_pictureWindow) {
        m_pictureWindow = new QLabel(this, Qt::Window);
        m_pictureWindow->setObjectName(QStringLiteral("PictureWindow"));
        m_pictureWindow->setWindowTitle(QStringLiteral("Картинка вопроса"));
        static_cast<QLabel*>(m_pictureWindow)->setAlignment(Qt::AlignCenter);
        ui::setBackground(m_pictureWindow, Qt::white);
    }
    auto* view = static_cast<QLabel*>(m_pictureWindow);
    view->setPixmap(mediafile::fitted(m_media.picture, m_media.pictureType, QSize(800, 600)));
    view->adjustSize();
    view->show();
    view->raise();
}

void QuestionMediaEditor::RemovePictureButtonClick() {
    questionmedia::Media media = m_media;
    media.picture.clear();
    media.pictureType.clear();
    media.abc.clear();
    store(media);
}

void QuestionMediaEditor::MakeFromAbcButtonClick() {
    const QString abc = AbcEdit->toPlainText().trimmed();
    if (abc.isEmpty())
        throw Failure(QStringLiteral(
            "Наберите мелодию нотами ABC, например: X:1, M:3/4, L:1/8, K:G и ноты GAB c2 d|."));
    const notation::Rendered rendered = notation::render(abc);
    m_player->stop();
    questionmedia::Media media = m_media;
    media.picture = rendered.svg;
    media.pictureType = QStringLiteral("svg");
    media.sound = rendered.wave;
    media.soundType = QStringLiteral("wav");
    media.start.reset();
    media.end.reset();
    media.abc = abc;
    store(media);
}
