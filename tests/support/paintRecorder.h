#pragma once

#include <QEvent>
#include <QObject>
#include <QPaintEvent>
#include <QRegion>

// Records the area of every paint a widget receives, so tests see what a change repainted.
class PaintRecorder : public QObject
{
public:
    using QObject::QObject;
    QRegion Painted;
    int Paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++Paints;
            Painted += static_cast<QPaintEvent *>(event)->region();
        }
        return QObject::eventFilter(watched, event);
    }
};
