#include "platform/widgets/WindowHandles.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace corvid {

namespace {

struct Registry {
    QHash<WindowHandle, QPointer<QWidget>> widgets;
    QHash<QWidget*, WindowHandle> handles;
    WindowHandle next = 0x100;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

}  // namespace

WindowHandle WindowHandles::handleOf(QWidget* widget) {
    if (widget == nullptr) return 0;
    Registry& r = registry();
    auto found = r.handles.constFind(widget);
    if (found != r.handles.constEnd() && r.widgets.value(*found) == widget) return *found;
    const WindowHandle handle = r.next;
    // Never 0 (no owner) and never reused within a run, so a handle kept after its widget is
    // gone names no other widget.
    r.next += 4;
    r.widgets.insert(handle, widget);
    r.handles.insert(widget, handle);
    QObject::connect(widget, &QObject::destroyed, [handle, widget] {
        Registry& reg = registry();
        reg.widgets.remove(handle);
        reg.handles.remove(widget);
    });
    return handle;
}

QWidget* WindowHandles::widgetOf(WindowHandle handle) {
    if (handle == 0) return nullptr;
    return registry().widgets.value(handle).data();
}

}  // namespace corvid
