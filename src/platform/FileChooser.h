#pragma once

#include <memory>

#include "platform/IFileChooser.h"

namespace corvid {

// The process-wide file chooser: Qt's file dialog unless a test installed another.
class FileChooser {
public:
    static std::shared_ptr<IFileChooser> current();
    static void setCurrent(std::shared_ptr<IFileChooser> chooser);

    // Installs a chooser for the lifetime of the scope (tests).
    class Scoped {
    public:
        explicit Scoped(std::shared_ptr<IFileChooser> chooser);
        ~Scoped();
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        std::shared_ptr<IFileChooser> previous_;
    };
};

}  // namespace corvid
