#pragma once

#include <functional>

class QWidget;

namespace corvid {

// Runs one window event handler. A failure that reaches it is shown to the user in a message
// box over `parent` and goes no further, so the event loop never sees it and the window stays
// usable.
void guarded(QWidget* parent, const std::function<void()>& handler);

}  // namespace corvid
