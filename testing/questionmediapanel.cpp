#include "questionmediapanel.h"

#include "data/datamodule.h"
#include "data/engine/questionmedia.h"
#include "ui/builders.h"
#include "ui/clipplayer.h"
#include "ui/dialogs.h"
#include "ui/guard.h"
#include "ui/mediafile.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

namespace {

const QString Arial = QStringLiteral("Arial");

QString minutes(qint64 ms) {
    const qint64 seconds = ms / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QuestionMediaPanel::QuestionMediaPanel(QWidget* parent) : QWidget(parent), m_player(new ClipPlayer(this)) {
    setObjectName(QStringLiteral("MediaPanel1"));
    Picture = new QLabel(this);
    Picture->setObjectName(QStringLiteral("Picture"));
    Picture->setGeometry(0, 0, 500, 129);
    Picture->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    PlayButton =
        ui::pushButton(this, QStringLiteral("PlayButton"), QStringLiteral("Прослушать"), {512, 8, 177, 33});
    PlayButton->setFocusPolicy(Qt::NoFocus);
    ui::setFont(PlayButton, Arial, 19, ui::Regular, Qt::black);
    PositionLabel = new QLabel(this);
    PositionLabel->setObjectName(QStringLiteral("PositionLabel"));
    PositionLabel->setGeometry(512, 48, 217, 22);
    ui::setFont(PositionLabel, Arial, 16, ui::Regular, Qt::black);
    PlaysLabel = new QLabel(this);
    PlaysLabel->setObjectName(QStringLiteral("PlaysLabel"));
    PlaysLabel->setGeometry(512, 76, 217, 22);
    ui::setFont(PlaysLabel, Arial, 16, ui::Regular, ui::blue);

    connect(PlayButton, &QPushButton::clicked, this, GUARD(this, PlayButtonClick));
    connect(m_player, &ClipPlayer::positionChanged, this, &QuestionMediaPanel::showPosition);
    connect(m_player, &ClipPlayer::stopped, this,
            [this] { PlayButton->setEnabled(!m_playsLeft || *m_playsLeft > 0); });
    hide();
}

void QuestionMediaPanel::setQuestion(const QVariant& key, int played) {
    m_player->setClip({}, {}, std::nullopt, std::nullopt);
    const questionmedia::Media media = key.isNull()
                                           ? questionmedia::Media()
                                           : questionmedia::read(*DataModule11->ADOConnection1, key.toInt());
    Picture->setPixmap(media.hasPicture()
                           ? mediafile::fitted(media.picture, media.pictureType, Picture->size())
                           : QPixmap());
    Picture->setVisible(media.hasPicture());
    m_player->setClip(media.sound, media.soundType, media.start, media.end);
    m_playsLeft =
        media.hasSound() && media.plays ? std::optional(std::max(0, *media.plays - played)) : std::nullopt;
    for (QWidget* w : {static_cast<QWidget*>(PlayButton), static_cast<QWidget*>(PositionLabel)})
        w->setVisible(media.hasSound());
    // A question without a sound keeps the tab order it always had.
    PlayButton->setFocusPolicy(media.hasSound() ? Qt::StrongFocus : Qt::NoFocus);
    PlayButton->setEnabled(!m_playsLeft || *m_playsLeft > 0);
    showPosition();
    showPlaysLeft();
    setVisible(media.hasPicture() || media.hasSound());
    // The clip is opened once the question is on screen, while the pupil reads it, so that his first play
    // starts at once.
    if (media.hasSound())
        QTimer::singleShot(0, m_player, [this] { guarded([this] { m_player->prepare(); }); });
}

void QuestionMediaPanel::stop() {
    m_player->stop();
}

void QuestionMediaPanel::PlayButtonClick() {
    if (!m_player->hasClip() || (m_playsLeft && *m_playsLeft <= 0))
        return;
    m_player->play();
    if (!m_player->hasAudioOutput()) {
        // Nothing would be heard: the play does not count, and the pupil answers without it.
        m_player->stop();
        if (!m_toldNoSound) {
            m_toldNoSound = true;
            dialogs().message(QStringLiteral("На этом компьютере нет звукового устройства: звук вопроса не "
                                             "слышен. Отвечайте без него."));
        }
        return;
    }
    if (countPlay) {
        try {
            countPlay();
        } catch (...) {
            m_player->stop();
            throw;
        }
    }
    if (m_playsLeft)
        --*m_playsLeft;
    PlayButton->setEnabled(false);
    showPlaysLeft();
}

void QuestionMediaPanel::showPosition() {
    // The length is known once the clip was opened, at its first play.
    if (m_player->length() == 0)
        return PositionLabel->clear();
    PositionLabel->setText(minutes(m_player->position()) + QStringLiteral(" / ") +
                           minutes(m_player->length()));
}

void QuestionMediaPanel::showPlaysLeft() {
    PlaysLabel->setVisible(m_playsLeft.has_value());
    if (m_playsLeft)
        PlaysLabel->setText(QStringLiteral("Осталось прослушиваний: %1").arg(*m_playsLeft));
}
