#pragma once

#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

#include "util/Failure.h"

namespace corvid {

// The process-wide implementation of one service interface. The program installs the
// real one where it starts; tests install fakes, for a scope or for the whole run.
template <typename Interface>
class Installed {
public:
    static std::shared_ptr<Interface> current() {
        if (!slot()) {
            throw Failure(Failure::NotReady, std::string("No implementation installed for ") +
                                                 typeid(Interface).name());
        }
        return slot();
    }
    static void setCurrent(std::shared_ptr<Interface> implementation) {
        slot() = std::move(implementation);
    }

    // Installs an implementation for the lifetime of the scope.
    class Scoped {
    public:
        explicit Scoped(std::shared_ptr<Interface> implementation) : previous_(slot()) {
            setCurrent(std::move(implementation));
        }
        ~Scoped() { setCurrent(std::move(previous_)); }
        Scoped(const Scoped&) = delete;
        Scoped& operator=(const Scoped&) = delete;

    private:
        std::shared_ptr<Interface> previous_;
    };

private:
    static std::shared_ptr<Interface>& slot() {
        static std::shared_ptr<Interface> implementation;
        return implementation;
    }
};

}  // namespace corvid
