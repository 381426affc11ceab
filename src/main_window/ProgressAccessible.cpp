#include "main_window/ProgressAccessible.h"

#include "main_window/ProgressText.h"

namespace corvid {

namespace {

ProgressText* timeTextOf(const QWidget* bar) {
    return bar->findChild<ProgressText*>(QString(), Qt::FindDirectChildrenOnly);
}

}  // namespace

ProgressAccessible::ProgressAccessible(QWidget* bar)
    : QAccessibleWidget(bar, QAccessible::Slider) {}

QString ProgressAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        const ProgressText* time = timeTextOf(widget());
        return time != nullptr ? time->text() : QString();
    }
    return QAccessibleWidget::text(t);
}

QAccessibleInterface* ProgressAccessible::create(const QString& className, QObject* object) {
    // Only plain widgets can be bars; the class name spares the search of every other.
    if (className != QLatin1String("QWidget")) return nullptr;
    auto* bar = qobject_cast<QWidget*>(object);
    return bar != nullptr && timeTextOf(bar) != nullptr ? new ProgressAccessible(bar) : nullptr;
}

void ProgressAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(&ProgressAccessible::create);
        return true;
    }();
    (void)installed;
}

}  // namespace corvid
