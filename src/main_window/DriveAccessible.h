#pragma once

#include <QAccessibleWidget>
#include <QStringList>

class QComboBox;

namespace corvid {

// What a screen reader learns of the drive box: a combo box called by its accessible name
// whose value is the drive shown. The toolkit's own combo box on Linux gives its current
// text as the name as well, so the box would be announced as "/" rather than as what it
// chooses.
class DriveAccessible : public QAccessibleWidget {
public:
    explicit DriveAccessible(QComboBox* box);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    // The list of drives it opens, as the toolkit's combo box has it.
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

    // The accessibility factory: the interface for a drive box, null for others.
    static QAccessibleInterface* create(const QString& className, QObject* object);
    // Installs the factory once for the application.
    static void install();

private:
    QComboBox* box() const;
};

}  // namespace corvid
