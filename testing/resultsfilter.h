#pragma once

// The results filter command: restricts rez to the current pupil's rows and shows the results window.
// Run by the main window, the topic choice window and the study materials window.
void runResultsFilter();
