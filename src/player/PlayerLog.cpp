#include "player/PlayerLog.h"

namespace corvid {

Q_LOGGING_CATEGORY(lcPlayer, "corvid.player", QtWarningMsg)

}  // namespace corvid
