#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Every question, warning and file dialog of the program goes through this interface, so tests
// answer them by script and never block in a modal loop.
class TPrompts
{
public:
    enum Kind { Confirmation, Warning, Information, Error };
    enum Button { Yes = 0x1, No = 0x2, Ok = 0x4, Cancel = 0x8, Abort = 0x10 };

    virtual ~TPrompts() = default;

    // Shows a modal message with the given buttons (an OR of Button) and returns the button
    // chosen; Esc or closing the box returns Cancel when offered, else No, else Abort, else Ok.
    virtual Button Ask(QWidget *parent, Kind kind, const QString &text, int buttons) = 0;
    // Modal file dialogs; an empty result means the user cancelled.
    virtual QString OpenFileName(QWidget *parent, const QString &folder, const QString &filter) = 0;
    virtual QString SaveFileName(QWidget *parent, const QString &folder, const QString &filter,
                                 const QString &defaultSuffix)
        = 0;
};

// The real dialogs.
class TWidgetPrompts : public TPrompts
{
public:
    Button Ask(QWidget *parent, Kind kind, const QString &text, int buttons) override;
    QString OpenFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    QString SaveFileName(QWidget *parent, const QString &folder, const QString &filter,
                         const QString &defaultSuffix) override;
};
