#pragma once
#include <QObject>
#include <QString>

#include <exception>

#include <functional>

namespace dorv {

class Prompts;

// The one boundary between an event and the program's code: every handler connected to a widget
// or an action runs through it. Our errors and any std::exception end in the standard error box
// with the normal cursor back; a silent abort ends in nothing; either way the program goes on.
// Returns true when the handler ran to its end.
bool runGuarded(Prompts& prompts, const std::function<void()>& handler);

// The message an escaped exception shows; empty for a silent abort.
QString messageOf(std::exception_ptr error);

// Told when the outermost handler starts (true) and when it has returned (false), however it
// ended. A handler run from inside another, a modal window's included, belongs to the one that
// started first: what one user command does is seen as one. An error the listener raises at the
// end is shown like the handler's own. One listener per owner.
void addHandlerListener(const void* owner, std::function<void(bool started)> listener);
void removeHandlerListener(const void* owner);

// A slot for connect(): the handler wrapped in the guard.
inline auto guarded(Prompts& prompts, std::function<void()> handler)
{
    return [&prompts, handler = std::move(handler)] { runGuarded(prompts, handler); };
}

// Connects a signal to a handler run through the guard: one line where every command of a window
// is wired, instead of a lambda that wraps a lambda.
template <class Sender, class Signal>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, const QObject* context, Prompts& prompts,
                                       std::function<void()> handler)
{
    return QObject::connect(sender, signal, context, guarded(prompts, std::move(handler)));
}

} // namespace dorv
