#pragma once

class QWidget;

// The management window's commands for question banks: a Moodle XML or GIFT file into the current topic, and
// the current topic out as Moodle XML. Files are chosen and the outcome is told through the dialog service.
namespace questionbank {

void importIntoCurrentTopic(QWidget* parent);
void exportCurrentTopic(QWidget* parent);

} // namespace questionbank
