#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace corvid {

// The one way the program shows a message: modal, OK button only, no icon, the application's
// title. Tests install a handler to read the text and answer in place of the user.
class MessageBox {
public:
    using Handler = std::function<void(QWidget* parent, const QString& text)>;

    static const QString& title();
    static void show(QWidget* parent, const QString& text);

    // Replaces the box; an empty handler brings the real box back.
    static void setHandler(Handler handler);

    // Installs a handler for the lifetime of the scope.
    class Scoped {
    public:
        explicit Scoped(Handler handler);
        ~Scoped();
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        Handler previous_;
    };

private:
    static Handler& installed();
    static void showModal(QWidget* parent, const QString& text);
};

}  // namespace corvid
