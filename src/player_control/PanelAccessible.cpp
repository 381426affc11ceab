#include "player_control/PanelAccessible.h"

#include <QFileInfo>

#include "media_engine/clsDShowControl.h"
#include "player_control/QVRControl.h"
#include "player_control/VideoSurface.h"

namespace corvid {

PanelAccessible::PanelAccessible(VideoSurface* surface)
    : QAccessibleWidget(surface, QAccessible::Animation) {}

QString PanelAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Description) return holding();
    return QAccessibleWidget::text(t);
}

QString PanelAccessible::holding() const {
    const auto* panel = qobject_cast<const QVRControl*>(widget()->parentWidget());
    if (panel == nullptr) return {};
    // A notice says why the file does not play, with its name.
    const QString notice = panel->notice();
    if (!notice.isEmpty()) return notice;
    const clsDShowControl* engine = panel->engine();
    if (engine == nullptr || engine->MediaFile.isEmpty()) return QStringLiteral("No recording");
    return QFileInfo(engine->MediaFile).fileName() +
           (engine->DS_Playing ? QStringLiteral(", playing") : QStringLiteral(", paused"));
}

QAccessibleInterface* PanelAccessible::create(const QString&, QObject* object) {
    auto* surface = qobject_cast<VideoSurface*>(object);
    return surface != nullptr ? new PanelAccessible(surface) : nullptr;
}

void PanelAccessible::install() {
    static const bool installed = [] {
        QAccessible::installFactory(&PanelAccessible::create);
        return true;
    }();
    (void)installed;
}

}  // namespace corvid
