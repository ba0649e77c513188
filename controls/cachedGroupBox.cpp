#include "cachedGroupBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionGroupBox>

void TCachedGroupBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    PaintPart(painter, event->rect().topLeft(), event->rect());
}

void TCachedGroupBox::PaintPart(QPainter &painter, const QPoint &to, const QRect &area)
{
    const QPixmap &picture = Picture();
    const qreal ratio = picture.devicePixelRatio();
    painter.drawPixmap(QRect(to, area.size()), picture,
                       QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

const QPixmap &TCachedGroupBox::Picture()
{
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const qreal ratio = devicePixelRatioF();
    const TKey key {option.rect.size(),
                    static_cast<int>(option.state),
                    option.text,
                    static_cast<int>(option.subControls),
                    static_cast<int>(option.activeSubControls),
                    static_cast<int>(option.features),
                    option.textColor.rgba(),
                    option.palette.cacheKey(),
                    font(),
                    style(),
                    ratio,
                    static_cast<int>(option.textAlignment),
                    static_cast<int>(option.direction),
                    option.lineWidth * 0x10000 + option.midLineWidth,
                    autoFillBackground()};
    if (picture_.isNull() || key != key_) {
        picture_ = QPixmap((QSizeF(option.rect.size()) * ratio).toSize());
        picture_.setDevicePixelRatio(ratio);
        picture_.fill(Qt::transparent);
        QPainter painter(&picture_);
        // A box that fills its own ground is drawn on that ground: the picture is then copied
        // rather than blended.
        if (autoFillBackground())
            painter.fillRect(option.rect, palette().brush(backgroundRole()));
        // Set up as a painter on the widget itself would be.
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        painter.setBrush(palette().brush(backgroundRole()));
        painter.setLayoutDirection(layoutDirection());
        style()->drawComplexControl(QStyle::CC_GroupBox, &option, &painter, this);
        key_ = key;
        ++styleDraws_;
    }
    return picture_;
}

TGroundedLabel::TGroundedLabel(const QString &text, TCachedGroupBox *box)
    : QLabel(text, box), box_(box)
{
    // On a box that fills its own ground every pixel is drawn here: nothing under the label
    // needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent, box->autoFillBackground());
    setTextFormat(Qt::PlainText);
}

void TGroundedLabel::paintEvent(QPaintEvent *event)
{
    // What the label's own painting would add for plain text, a frame, a margin, an indent or a
    // selection, it still draws.
    const bool plain = textFormat() == Qt::PlainText && frameShape() == QFrame::NoFrame
        && margin() == 0 && indent() <= 0 && buddy() == nullptr
        && !(textInteractionFlags() & (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard));
    QPainter painter(this);
    box_->PaintPart(painter, event->rect().topLeft(), event->rect().translated(pos()));
    if (!plain) {
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    // A reading is drawn ten times a second: this spares the label a second painter, its frame
    // and its style option's work.
    QStyleOption option;
    option.initFrom(this);
    const Qt::LayoutDirection direction
        = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags = QStyle::visualAlignment(direction, alignment())
        | (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    style()->drawItemText(&painter, contentsRect(), flags, option.palette, isEnabled(), text(),
                          foregroundRole());
}
