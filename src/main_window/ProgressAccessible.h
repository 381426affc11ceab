#pragma once

#include <QAccessibleWidget>

namespace corvid {

// What a screen reader learns of the progress bar: a slider over the recording whose
// value it reads as the bar's time text.
class ProgressAccessible : public QAccessibleWidget {
public:
    explicit ProgressAccessible(QWidget* bar);

    QString text(QAccessible::Text t) const override;

    // The accessibility factory: the interface for a bar (a widget holding a progress
    // text), null for others.
    static QAccessibleInterface* create(const QString& className, QObject* object);
    // Installs the factory once for the application.
    static void install();
};

}  // namespace corvid
