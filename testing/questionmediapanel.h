#pragma once

#include <QVariant>
#include <QWidget>

#include <functional>
#include <optional>

class ClipPlayer;
class QLabel;
class QPushButton;

// The current question's picture and sound in the test window: the picture scaled to fit, the play button
// with the clip's position and how many plays are left. Hidden for a question with neither, so such a
// question looks as it always has. The window feeds it the question's key.
class QuestionMediaPanel : public QWidget {
    Q_OBJECT
public:
    explicit QuestionMediaPanel(QWidget* parent);

    QLabel* Picture;
    QPushButton* PlayButton;
    QLabel* PositionLabel;
    QLabel* PlaysLabel;

    // Shows the media of the question with `key` (none: hides), stopping the clip of the one before; its clip
    // was played `played` times already. Throws Failure when they cannot be read.
    void setQuestion(const QVariant& key, int played = 0);
    // Stops the clip (the next question, the time-out, the window closed).
    void stop();

    void PlayButtonClick();

    // Called when a play counts, as the clip starts; a Failure it throws stops the clip.
    std::function<void()> countPlay;

private:
    void showPosition();
    void showPlaysLeft();

    ClipPlayer* m_player;
    std::optional<int> m_playsLeft; // none: as often as the pupil likes
    bool m_toldNoSound = false;
};
