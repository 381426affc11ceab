#pragma once

#include "platform/widgets/WindowHandle.h"

class QWidget;

namespace corvid {

// Issues 32-bit handles for widgets that may own a video window and maps them back.
// GUI thread only. A handle stays valid until its widget is destroyed.
class WindowHandles {
public:
    // The widget's handle, issuing one on first use.
    static WindowHandle handleOf(QWidget* widget);
    // The live widget for a handle, or nullptr for 0, an unknown or a dead handle.
    static QWidget* widgetOf(WindowHandle handle);
};

}  // namespace corvid
