#pragma once

#include "prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <vector>

// Shows every question as the program's real message box, with its nested event loop, and
// answers it from a timer by script. Timers and received bytes go on underneath the box as they
// do for the user, so a test sees what really happens while a question is open.
class TModalPrompts : public TWidgetPrompts
{
public:
    // One thing to do while the box is on top, then the condition to wait for before going on.
    struct Stage
    {
        std::function<void()> Do;
        std::function<bool()> Then;
    };

    struct Step
    {
        QString Text; // the question expected next
        Button Answer = No;
        std::vector<Stage> Stages; // run in order while the box is on top, before the answer
    };

    std::deque<Step> Script;
    QStringList Asked; // every question, in the order they opened
    QStringList Unscripted; // questions the script did not expect; answered at once
    int TimedOut = 0; // stages whose condition never came true
    int DeadlineMs = 5000;

    Button Ask(QWidget *parent, Kind kind, const QString &text, int buttons) override
    {
        Asked << text;
        Step step;
        if (!Script.empty() && Script.front().Text == text) {
            step = Script.front();
            Script.pop_front();
        } else {
            Unscripted << text;
            step.Answer = Mildest(buttons);
        }

        // Only the box on top is answered: one opened over it has to close first.
        const int depth = ++open_;
        std::size_t stage = 0;
        bool started = false;
        QElapsedTimer clock;
        QTimer answerer;
        answerer.setInterval(5);
        QObject::connect(&answerer, &QTimer::timeout, &answerer, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (open_ != depth || box == nullptr)
                return;
            while (stage < step.Stages.size()) {
                const Stage &s = step.Stages[stage];
                if (!started) {
                    started = true;
                    clock.start();
                    if (s.Do)
                        s.Do();
                }
                if (s.Then && !s.Then()) {
                    if (clock.elapsed() < DeadlineMs)
                        return;
                    ++TimedOut;
                }
                ++stage;
                started = false;
            }
            answerer.stop();
            box->button(Standard(step.Answer))->click();
        });
        answerer.start();
        const Button answer = TWidgetPrompts::Ask(parent, kind, text, buttons);
        --open_;
        return answer;
    }

private:
    static Button Mildest(int buttons)
    {
        for (Button b : {No, Ok, Cancel, Abort})
            if (buttons & b)
                return b;
        return Yes;
    }

    static QMessageBox::StandardButton Standard(Button b)
    {
        switch (b) {
        case Yes:
            return QMessageBox::Yes;
        case No:
            return QMessageBox::No;
        case Ok:
            return QMessageBox::Ok;
        case Cancel:
            return QMessageBox::Cancel;
        case Abort:
            return QMessageBox::Abort;
        }
        return QMessageBox::NoButton;
    }

    int open_ = 0;
};
