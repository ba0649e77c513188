#include "statusPanels.h"

#include <QPainter>

namespace {
constexpr int kPanelGap = 2;
}

TStatusPanels::TStatusPanels(QWidget *parent) : QWidget(parent) { }

void TStatusPanels::AddPanel(const Panel &panel)
{
    panels_.push_back(panel);
    update();
}

void TStatusPanels::SetPanelText(int index, const QString &text)
{
    if (index < 0 || index >= PanelCount())
        return;
    Panel &panel = panels_[static_cast<std::size_t>(index)];
    if (panel.Text == text)
        return;
    panel.Text = text;
    update(PanelRect(index).adjusted(-1, -1, 1, 1));
}

QRect TStatusPanels::PanelRect(int index) const
{
    int x = 0;
    for (int i = 0; i < index; ++i)
        x += panels_[static_cast<std::size_t>(i)].Width + kPanelGap;
    const Panel &panel = panels_.at(static_cast<std::size_t>(index));
    return QRect(x + 1, 3, panel.Width - 2, height() - 4);
}

void TStatusPanels::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    for (int i = 0; i < PanelCount(); ++i) {
        const Panel &panel = panels_[static_cast<std::size_t>(i)];
        const QRect inner = PanelRect(i);
        // Sunken frame: dark above and left, light below and right.
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(inner.left() - 1, inner.top() - 1, inner.right() + 1, inner.top() - 1);
        painter.drawLine(inner.left() - 1, inner.top() - 1, inner.left() - 1, inner.bottom() + 1);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(inner.left() - 1, inner.bottom() + 1, inner.right() + 1,
                         inner.bottom() + 1);
        painter.drawLine(inner.right() + 1, inner.top() - 1, inner.right() + 1, inner.bottom() + 1);
        if (panel.OwnerDrawn && DrawPanel) {
            painter.save();
            DrawPanel(painter, i, inner);
            painter.restore();
            continue;
        }
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(inner.adjusted(2, 0, -2, 0), panel.Alignment | Qt::AlignVCenter,
                         panel.Text);
    }
}
