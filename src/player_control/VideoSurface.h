#pragma once

#include <QPoint>
#include <QString>
#include <QWidget>

namespace corvid {

// The panel's picture box for video: black, measured in pixels, host of the engine's
// video window. It can show a short notice (why a file does not play) over the black.
class VideoSurface : public QWidget {
    Q_OBJECT

public:
    explicit VideoSurface(QWidget* parent = nullptr);

    void setNotice(const QString& text);
    void clearNotice();
    QString notice() const { return notice_; }

    // A quieter note about what plays (a file without pictures), drawn like the notice
    // but dimmer; a notice, when there is one, is shown instead.
    void setHint(const QString& text);
    QString hint() const { return hint_; }

signals:
    // Raised on every repaint, after the surface has drawn itself.
    void painted();
    // A right-button press on the surface or on the video drained to it.
    void menuRequested(const QPoint& globalPos);
    // A left-button double-click on the surface or on the video drained to it.
    void doubleClicked();
    // The media graph it is the notify window of has something to report.
    void graphNotice();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void updateFocusMark();

    QString notice_;
    QString hint_;
};

}  // namespace corvid
