#pragma once

#include <QEvent>

namespace corvid {

// What a media graph posts to its notify window (IMediaEvent::SetNotifyWindow) when
// playback fails part-way; the window's owner then asks the graph what failed.
class GraphNotice : public QEvent {
public:
    GraphNotice();

    static QEvent::Type kind();
};

}  // namespace corvid
