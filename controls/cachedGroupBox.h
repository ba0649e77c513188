#pragma once

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QStyle>

#include <cstddef>
#include <tuple>
#include <vector>

// A group box that draws its frame and title once and repaints from that picture. Values that
// change ten times a second sit on such boxes; every change of a child repaints the box under
// it, and the style draws a group box slowly (it lays out the title and looks its frame picture
// up again each time). The picture is drawn again whenever anything the style draws from
// changes: size, title, state, palette, font, style, pixel ratio or its own ground.
class TCachedGroupBox : public QGroupBox
{
public:
    using QGroupBox::QGroupBox;

    // How many times the frame was drawn by the style (not from the picture).
    int StyleDraws() const { return styleDraws_; }

    // Draws the part `area` of the box (in the box's coordinates) at `to` with the painter.
    void PaintPart(QPainter &painter, const QPoint &to, const QRect &area);
    // Changes whenever the picture is drawn again.
    qint64 PictureKey() { return Picture().cacheKey(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The picture, drawn again by the style when anything it is drawn from has changed.
    const QPixmap &Picture();

    using TKey = std::tuple<QSize, int, QString, int, int, int, QRgb, qint64, QFont, const QStyle *,
                            qreal, int, int, int, bool>;

    QPixmap picture_;
    TKey key_ {};
    int styleDraws_ = 0;
};

// A reading on a cached group box that draws the box's picture under its text itself: a new text
// repaints the label alone, not the box under it, and the box's frame and ground still show
// through, where a filled ground would hide the frame and differ from the style's shade. Its
// text is plain; it draws it as a label does, in the painter it drew the picture with.
class TGroundedLabel : public QLabel
{
public:
    TGroundedLabel(const QString &text, TCachedGroupBox *box);

    // How many times the text was drawn rather than taken from a picture.
    int TextDraws() const { return textDraws_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // A reading takes a few values again and again (a gear at rest, an input at idle): the label
    // keeps pictures of its last texts on the box, for as long as nothing else it is drawn from
    // changes.
    static constexpr std::size_t kShots = 16;
    struct TShot
    {
        QString Text;
        QPixmap Picture;
    };
    using TLooks = std::tuple<QSize, QPoint, qint64, qint64, QFont, bool, int, const QStyle *,
                              qreal, int, QRect, int>;

    void DrawText(QPainter &painter);

    TCachedGroupBox *box_;
    std::vector<TShot> shots_; // the newest last
    TLooks looks_ {};
    int textDraws_ = 0;
};
