#include "statusPanels.h"

#include <QCursor>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {
constexpr int kPanelGap = 2;
}

TStatusPanels::TStatusPanels(QWidget *parent) : QWidget(parent)
{
    // The status bar's tips explain the link; they show even while another window is in front.
    setAttribute(Qt::WA_AlwaysShowToolTips);
}

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

void TStatusPanels::SetPanelToolTip(int index, const QString &text)
{
    if (index < 0 || index >= PanelCount())
        return;
    if (toolTips_.size() < panels_.size())
        toolTips_.resize(panels_.size());
    QString &tip = toolTips_[static_cast<std::size_t>(index)];
    if (tip == text)
        return;
    tip = text;
    // A tip on screen for this panel follows the new text, or goes.
    if (QToolTip::isVisible() && PanelAtPoint(mapFromGlobal(QCursor::pos())) == index) {
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(QCursor::pos(), text, this, PanelRect(index));
    }
}

QString TStatusPanels::PanelToolTip(int index) const
{
    return index >= 0 && static_cast<std::size_t>(index) < toolTips_.size()
        ? toolTips_[static_cast<std::size_t>(index)]
        : QString();
}

int TStatusPanels::PanelAtPoint(const QPoint &point) const
{
    for (int i = 0; i < PanelCount(); ++i)
        if (PanelRect(i).adjusted(-1, -1, 1, 1).contains(point))
            return i;
    return -1;
}

bool TStatusPanels::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const int index = PanelAtPoint(help->pos());
    const QString text = PanelToolTip(index);
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this, PanelRect(index));
    }
    return true;
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
