#pragma once

#include <QLoggingCategory>

namespace corvid {

// What the player core does, for whoever investigates it: seeks, clock decisions, sound
// streams started again, threads. Silent unless asked for, for example with
// QT_LOGGING_RULES="corvid.player.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

}  // namespace corvid
