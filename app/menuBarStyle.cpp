#include "menuBarStyle.h"

#include <QStyleOptionMenuItem>
#include <QWidget>

void TMenuBarStyle::drawControl(ControlElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    // The bar has the keyboard focus only while keys move along it.
    if (element == CE_MenuBarItem && item != nullptr && widget != nullptr && widget->hasFocus()
        && (item->state & State_Selected)) {
        QStyleOptionMenuItem lit = *item;
        lit.state |= State_Sunken;
        QProxyStyle::drawControl(element, &lit, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}
