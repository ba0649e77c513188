#pragma once

#include <QWidget>

#include <functional>
#include <vector>

// The main window's status bar: a row of fixed-width sunken panels. A panel may be drawn by its
// owner instead of as plain text.
class TStatusPanels : public QWidget
{
    Q_OBJECT

public:
    struct Panel
    {
        int Width = 100;
        Qt::Alignment Alignment = Qt::AlignLeft;
        QString Text;
        bool OwnerDrawn = false;
    };

    explicit TStatusPanels(QWidget *parent = nullptr);

    void AddPanel(const Panel &panel);
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    const Panel &PanelAt(int index) const { return panels_.at(static_cast<std::size_t>(index)); }
    void SetPanelText(int index, const QString &text);
    // The tip shown while the mouse rests on a panel; none when empty.
    void SetPanelToolTip(int index, const QString &text);
    QString PanelToolTip(int index) const;
    int PanelAtPoint(const QPoint &point) const; // -1 outside every panel
    QRect PanelRect(int index) const; // inside the panel's frame

    std::function<void(QPainter &, int, const QRect &)> DrawPanel;

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<Panel> panels_;
    std::vector<QString> toolTips_; // by panel index
};
