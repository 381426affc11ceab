#include "platform/graph/GraphNotice.h"

namespace corvid {

GraphNotice::GraphNotice() : QEvent(kind()) {}

QEvent::Type GraphNotice::kind() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace corvid
