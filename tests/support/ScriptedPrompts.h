#pragma once
#include "util/Prompts.h"

#include <QDialog>
#include <QQueue>
#include <QStringList>

#include <functional>

// Answers the program's questions from queues and records what was asked, as "kind: text".
// An unexpected question (nothing queued) is answered No / Cancel and recorded all the same.
class ScriptedPrompts final : public dorv::Prompts {
public:
    QStringList asked;
    QQueue<bool> confirms;
    QQueue<Answer> threeWay;
    QQueue<bool> warnings;
    QQueue<QString> inputs;    // a null QString cancels the input box
    QQueue<QString> openFiles; // empty: cancelled
    QQueue<QString> saveFiles; // empty: cancelled
    // Each modal window is handed to the next function, which may fill it in; it returns the result.
    QQueue<std::function<int(QDialog*)>> modals;

    void inform(const QString& text) override { asked << "inform: " + text; }
    void error(const QString& text) override { asked << "error: " + text; }
    bool confirm(const QString& text) override
    {
        asked << "confirm: " + text;
        return confirms.isEmpty() ? false : confirms.dequeue();
    }
    Answer confirmOrCancel(const QString& text) override
    {
        asked << "confirmOrCancel: " + text;
        return threeWay.isEmpty() ? Answer::Cancel : threeWay.dequeue();
    }
    bool warn(const QString& text) override
    {
        asked << "warn: " + text;
        return warnings.isEmpty() ? false : warnings.dequeue();
    }
    bool inputText(const QString& title, const QString& prompt, QString* value) override
    {
        asked << "input: " + title + " / " + prompt + " [" + *value + "]";
        if (inputs.isEmpty())
            return false;
        const QString answer = inputs.dequeue();
        if (answer.isNull())
            return false;
        *value = answer;
        return true;
    }
    QString openFile(QWidget*, const QString& title, const QString&) override
    {
        asked << "open: " + title;
        return openFiles.isEmpty() ? QString() : openFiles.dequeue();
    }
    QString saveFile(QWidget*, const QString& title, const QString&, const QString&) override
    {
        asked << "save: " + title;
        return saveFiles.isEmpty() ? QString() : saveFiles.dequeue();
    }
    int runModal(QDialog* dialog) override
    {
        asked << "modal: " + dialog->objectName();
        // Showing lets the window prepare itself as it would on screen.
        dialog->show();
        const int result = modals.isEmpty() ? int(QDialog::Rejected) : modals.dequeue()(dialog);
        // Closing as the window's own buttons would, unless they already did.
        if (dialog->isVisible())
            dialog->done(result);
        return result;
    }
    // Messages only, in the order they came.
    QStringList messages() const
    {
        QStringList out;
        for (const QString& a : asked)
            if (a.startsWith("inform: ") || a.startsWith("error: "))
                out << a.section(": ", 1);
        return out;
    }
};
