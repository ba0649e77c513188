#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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

// Passes every prompt on to another and knows whether one is open: a question that comes up by
// itself (the controller came back) must not open over another, whose answer would then act on
// what the new one changed.
class TTrackedPrompts : public TPrompts
{
public:
    explicit TTrackedPrompts(TPrompts *inner) : inner_(inner) { }

    bool AnyOpen() const { return open_ > 0; }
    // Runs whenever the last open prompt has closed.
    std::function<void()> AllClosed;

    Button Ask(QWidget *parent, Kind kind, const QString &text, int buttons) override;
    QString OpenFileName(QWidget *parent, const QString &folder, const QString &filter) override;
    QString SaveFileName(QWidget *parent, const QString &folder, const QString &filter,
                         const QString &defaultSuffix) override;

    // Runs a modal dialog of the program's own that does not go through the prompts (the
    // Communications dialog, the About box) as one of them.
    template<typename F>
    auto Track(F &&show)
    {
        const TOpen open(*this);
        return show();
    }

private:
    class TOpen
    {
    public:
        explicit TOpen(TTrackedPrompts &prompts) : prompts_(prompts) { ++prompts_.open_; }
        ~TOpen()
        {
            if (--prompts_.open_ == 0 && prompts_.AllClosed)
                prompts_.AllClosed();
        }
        TOpen(const TOpen &) = delete;
        TOpen &operator=(const TOpen &) = delete;

    private:
        TTrackedPrompts &prompts_;
    };

    TPrompts *inner_;
    int open_ = 0;
};
