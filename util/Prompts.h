#pragma once
#include <QString>

class QDialog;
class QWidget;

namespace dorv {

// Every question the program puts to the user goes through here: message boxes, confirmations,
// input boxes, file dialogs and modal windows. The program installs the Qt implementation; tests
// install a scripted one that answers from a queue, so no test ever waits on a real modal loop.
class Prompts {
public:
    enum class Answer { Yes, No, Cancel };

    virtual ~Prompts() = default;

    // A plain message box with OK.
    virtual void inform(const QString& text) = 0;
    // The standard error box: the message of an error that ended an action.
    virtual void error(const QString& text) = 0;
    // Yes / No; true for Yes.
    virtual bool confirm(const QString& text) = 0;
    // Yes / No / Cancel.
    virtual Answer confirmOrCancel(const QString& text) = 0;
    // OK / Cancel; true for OK.
    virtual bool warn(const QString& text) = 0;
    // An input box; false when cancelled. value holds the pre-filled text and receives the answer.
    virtual bool inputText(const QString& title, const QString& prompt, QString* value) = 0;
    // File dialogs; an empty result means cancelled. filter is in Qt's form ("Данные (*.den)").
    virtual QString openFile(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& defaultSuffix) = 0;
    // Runs a window modally; returns its result (QDialog::Accepted or Rejected).
    virtual int runModal(QDialog* dialog) = 0;
};

} // namespace dorv
