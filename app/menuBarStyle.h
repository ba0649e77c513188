#pragma once

#include <QProxyStyle>

// The menu bar's style: the item the keyboard stands on is drawn as an open one. Some styles
// (Fusion, the usual one on Linux) light an item only while its menu is open, so after Alt, or
// Escape out of a menu, the bar takes the arrow keys with nothing showing it; a second Alt then
// gives them back to the panel unseen, where an arrow moves a setting instead.
class TMenuBarStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};
