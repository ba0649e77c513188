#include "cachedGroupBox.h"

#include <algorithm>

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
    if (!plain) {
        QPainter painter(this);
        box_->PaintPart(painter, event->rect().topLeft(), event->rect().translated(pos()));
        painter.end();
        QLabel::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const TLooks looks {size(),
                        pos(),
                        box_->PictureKey(),
                        palette().cacheKey(),
                        font(),
                        isEnabled(),
                        static_cast<int>(alignment()),
                        style(),
                        ratio,
                        static_cast<int>(foregroundRole()),
                        contentsRect(),
                        static_cast<int>(layoutDirection())};
    if (looks != looks_) {
        shots_.clear();
        looks_ = looks;
    }
    auto shot = std::find_if(shots_.begin(), shots_.end(),
                             [this](const TShot &s) { return s.Text == text(); });
    if (shot == shots_.end()) {
        if (shots_.size() >= kShots)
            shots_.erase(shots_.begin());
        QPixmap picture((QSizeF(size()) * ratio).toSize());
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        box_->PaintPart(painter, QPoint(0, 0), rect().translated(pos()));
        // Set up as a painter on the label itself would be.
        painter.setFont(font());
        painter.setPen(palette().color(foregroundRole()));
        painter.setLayoutDirection(layoutDirection());
        DrawText(painter);
        painter.end();
        shots_.push_back({text(), picture});
        shot = shots_.end() - 1;
    } else {
        std::rotate(shot, shot + 1, shots_.end());
        shot = shots_.end() - 1;
    }
    const QRect area = event->rect();
    QPainter painter(this);
    painter.drawPixmap(area, shot->Picture,
                       QRectF(QPointF(area.topLeft()) * ratio, QSizeF(area.size()) * ratio));
}

void TGroundedLabel::DrawText(QPainter &painter)
{
    ++textDraws_;
    // A reading is drawn ten times a second: this spares the label its frame and its style
    // option's work.
    QStyleOption option;
    option.initFrom(this);
    const Qt::LayoutDirection direction
        = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags = QStyle::visualAlignment(direction, alignment())
        | (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    style()->drawItemText(&painter, contentsRect(), flags, option.palette, isEnabled(), text(),
                          foregroundRole());
}
