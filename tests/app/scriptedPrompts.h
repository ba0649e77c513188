#pragma once

#include "prompts.h"

#include <QStringList>

#include <deque>
#include <functional>

// Answers the program's questions from a script and records what was asked, so window tests never
// block in a modal loop. An unscripted question gets the default answer.
class TScriptedPrompts : public TPrompts
{
public:
    struct Asked
    {
        Kind kind;
        QString text;
        int buttons;
    };

    // Runs while the question is "open": lets a test feed messages underneath it.
    std::function<void(const QString &text)> WhileOpen;
    // Runs while a file dialog is "open", as WhileOpen does for questions.
    std::function<void()> WhileDialog;
    std::deque<Button> Answers;
    Button DefaultAnswer = No;
    std::deque<QString> OpenNames;
    std::deque<QString> SaveNames;
    std::vector<Asked> Questions;
    int FileDialogs = 0;
    QStringList DialogFolders; // the folder each file dialog opened in

    Button Ask(QWidget *, Kind kind, const QString &text, int buttons) override
    {
        Questions.push_back({kind, text, buttons});
        if (WhileOpen)
            WhileOpen(text);
        if (Answers.empty())
            return DefaultAnswer;
        const Button answer = Answers.front();
        Answers.pop_front();
        return answer;
    }

    QString OpenFileName(QWidget *, const QString &folder, const QString &) override
    {
        ++FileDialogs;
        DialogFolders << folder;
        if (WhileDialog)
            WhileDialog();
        return Pop(OpenNames);
    }

    QString SaveFileName(QWidget *, const QString &folder, const QString &,
                         const QString &) override
    {
        ++FileDialogs;
        DialogFolders << folder;
        if (WhileDialog)
            WhileDialog();
        return Pop(SaveNames);
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const Asked &q : Questions)
            texts << q.text;
        return texts;
    }

private:
    static QString Pop(std::deque<QString> &names)
    {
        if (names.empty())
            return QString();
        QString name = names.front();
        names.pop_front();
        return name;
    }
};
