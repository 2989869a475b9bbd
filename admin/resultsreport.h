#pragma once

class QWidget;

// Produces the results report from the visible rows of rez and shows it in the modal print preview;
// returns when the preview closes.
void runResultsReport(QWidget* parent = nullptr);
