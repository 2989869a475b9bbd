#pragma once

#include <QList>

#include <functional>

class Form;

// Runs `open` and tells which of `windows` it showed modally (nullptr for none). `inside` runs while that
// window is shown; the window is closed afterwards unless `inside` closed it.
Form* shownModally(const QList<Form*>& windows, const std::function<void()>& open,
                   const std::function<void()>& inside = {});

// The same for one window that `open` must show modally: the test fails when it does not, or when the window
// is still open afterwards.
void whileModal(Form* window, const std::function<void()>& open, const std::function<void()>& inside = {});
