#pragma once
#include <QApplication>

namespace dorv {

class Prompts;

// The program's application object. Its notify is the last line of defence: an error that some
// handler let escape is shown and the event loop goes on, instead of the program ending.
class TApplication final : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    // Where the last-resort errors are shown; the main window sets it while it lives.
    static void setPrompts(Prompts* prompts);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The program's name, language and the toolkit's own translations. The name is the application's
// title; it is not appended to every window's caption, so the card shows its caption alone.
void setUpApplication(QApplication& app);

} // namespace dorv
