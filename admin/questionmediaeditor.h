#pragma once

#include "data/engine/questionmedia.h"

#include <QVariant>
#include <QWidget>

class ClipPlayer;
class DataBinding;
class QDoubleSpinBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class TGroupBox;

// The current question's sound and picture in the question editor: attach or replace, listen to or view, and
// remove each; the part of the clip played and how often a pupil may play it; a melody typed in ABC notation
// that becomes both. It follows the question that is current in quest (DataSource4); a question not yet
// stored has no key, and nothing can be attached to it until it is.
class QuestionMediaEditor : public QWidget {
    Q_OBJECT
public:
    explicit QuestionMediaEditor(QWidget* parent);

    TGroupBox* SoundBox;
    QLabel* SoundLabel;
    QPushButton* AttachSoundButton;
    QPushButton* PlaySoundButton;
    QPushButton* RemoveSoundButton;
    QDoubleSpinBox* StartEdit;
    QDoubleSpinBox* EndEdit;
    QSpinBox* PlaysEdit;
    TGroupBox* PictureBox;
    QLabel* PictureView;
    QPushButton* AttachPictureButton;
    QPushButton* ViewPictureButton;
    QPushButton* RemovePictureButton;
    TGroupBox* AbcBox;
    QPlainTextEdit* AbcEdit;
    QPushButton* MakeFromAbcButton;

    // Handlers; each throws Failure, and the controls reach them through guarded().
    void AttachSoundButtonClick();
    void PlaySoundButtonClick();
    void RemoveSoundButtonClick();
    void PartChanged(); // the start, the end or the plays edited
    void AttachPictureButtonClick();
    void ViewPictureButtonClick();
    void RemovePictureButtonClick();
    void MakeFromAbcButtonClick();

    // The window showing the picture large, once "Показать" made it.
    QWidget* pictureWindow() const { return m_pictureWindow; }

private:
    // Reads the current question's media when the current question changed.
    void follow();
    void display(const questionmedia::Media& media);
    void store(const questionmedia::Media& media);

    DataBinding* m_binding;
    ClipPlayer* m_player;
    QWidget* m_pictureWindow = nullptr;
    QVariant m_question; // the key shown; null: none
    questionmedia::Media m_media;
    bool m_showing = false; // the controls are being filled, not edited
};
