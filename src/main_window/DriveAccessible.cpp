#include "main_window/DriveAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>

#include "platform/file_views/DriveList.h"

namespace corvid {

DriveAccessible::DriveAccessible(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}

QComboBox* DriveAccessible::box() const {
    return static_cast<QComboBox*>(widget());
}

QString DriveAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) return box()->currentText();
    if (t == QAccessible::Name && box()->accessibleName().isEmpty()) return box()->currentText();
    return QAccessibleWidget::text(t);
}

QAccessible::State DriveAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.expandable = true;
    state.expanded = box()->view()->isVisible();
    return state;
}

int DriveAccessible::childCount() const {
    return 1;
}

QAccessibleInterface* DriveAccessible::child(int index) const {
    return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
}

int DriveAccessible::indexOfChild(const QAccessibleInterface* child) const {
    return child != nullptr && child->object() == box()->view() ? 0 : -1;
}

QStringList DriveAccessible::actionNames() const {
    return QStringList(showMenuAction()) + QAccessibleWidget::actionNames();
}

void DriveAccessible::doAction(const QString& actionName) {
    if (actionName == showMenuAction() || actionName == pressAction()) {
        if (box()->view()->isVisible()) {
            box()->hidePopup();
        } else {
            box()->showPopup();
        }
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

QAccessibleInterface* DriveAccessible::create(const QString&, QObject* object) {
    auto* box = qobject_cast<DriveList*>(object);
    return box != nullptr ? new DriveAccessible(box) : nullptr;
}

void DriveAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(&DriveAccessible::create);
        return true;
    }();
    (void)installed;
}

}  // namespace corvid
