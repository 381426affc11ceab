#pragma once

#include <QAccessibleWidget>

namespace corvid {

class VideoSurface;

// What a screen reader learns of a panel's picture: its name (set by the window, such as
// "Camera 1") and, as its description, what the panel holds now: the file and whether it
// plays, or why nothing does.
class PanelAccessible : public QAccessibleWidget {
public:
    explicit PanelAccessible(VideoSurface* surface);

    QString text(QAccessible::Text t) const override;

    // The accessibility factory: the interface for a panel's picture, null for others.
    static QAccessibleInterface* create(const QString& className, QObject* object);
    // Installs the factory once for the application.
    static void install();

private:
    QString holding() const;
};

}  // namespace corvid
