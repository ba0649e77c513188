#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <QtGlobal>

#include <deque>
#include <optional>

class QCheckBox;
class QListWidget;

// Diagnostic window: serial traffic, live status bits and the gear range list, with the two
// traffic switches. It has no behaviour of its own; the main window writes into it. Created
// hidden once; closing it only hides it.
class TfrmDebug : public QWidget
{
    Q_OBJECT

public:
    enum TLogKind { lkStatus, lkOther };

    static constexpr int kClientWidth = 654;
    static constexpr int kClientHeight = 510;
    static constexpr int kLogLines = 200;
    static constexpr int kStatusBitCount = 8;

    explicit TfrmDebug(QWidget *parent = nullptr);

    // Logs one protocol line (without "@" and line end) sent ("Tx") or received ("Rx").
    // Status lines go to lstStatus, others to lstDebug; a received status line that differs
    // from lastStatusLine also goes to lstDebug and becomes the new lastStatusLine.
    // Nothing happens while "Debug" is unchecked.
    void LogLine(TLogKind kind, const QString &direction, const QString &text,
                 QString &lastStatusLine);
    // Item i of lstBits is checked exactly when bit i is set.
    void ShowBits(quint8 statusBits);
    // Replaces the range list.
    void SetRangeLines(const QStringList &lines);
    // Whether outgoing lines may be written ("Tx messages" checked).
    bool TxEnabled() const;

    QListWidget *lstRanges = nullptr;
    QCheckBox *chkDebug = nullptr;
    QCheckBox *chkTx = nullptr;
    QListWidget *lstBits = nullptr;
    QListWidget *lstStatus = nullptr;
    QListWidget *lstDebug = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // While nobody can see the lists, their views are not told of each change: the lists fill
    // ten times a second, and a hidden view would lay them out every time.
    void SetViewsFollow(bool follow);
    // Lines logged and bits shown while the window is hidden wait here, lines oldest first, and
    // enter their lists when it is shown: ten times a second, the lists' items cost more to make,
    // set and drop than the whole reply is worth unseen.
    void AddLine(QListWidget *list, const QString &entry);
    void FlushPending();
    void ApplyBits(quint8 statusBits);
    std::deque<QString> pendingStatus_;
    std::deque<QString> pendingDebug_;
    std::optional<quint8> pendingBits_;
};
