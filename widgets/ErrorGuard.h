#pragma once
#include <QObject>
#include <QString>

#include <concepts>
#include <exception>
#include <functional>
#include <utility>

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

// A slot for connect(): the handler wrapped in the guard. It takes as many of the signal's
// arguments as the handler does, so that a handler may read them or leave them.
template <class Handler>
class Guarded {
public:
    Guarded(Prompts& prompts, Handler handler) : m_prompts(&prompts), m_handler(std::move(handler)) {}
    template <class... Args>
    requires std::invocable<const Handler&, Args...>
    void operator()(Args&&... args) const
    {
        runGuarded(*m_prompts, [&] { m_handler(std::forward<Args>(args)...); });
    }

private:
    Prompts* m_prompts;
    Handler m_handler;
};

template <class Handler>
Guarded<Handler> guarded(Prompts& prompts, Handler handler)
{
    return Guarded<Handler>(prompts, std::move(handler));
}

// Connects a signal to a handler run through the guard: one line where every command of a window
// is wired, instead of a lambda that wraps a lambda. No error crosses the signal: the guard shows it.
template <class Sender, class Signal, class Handler>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, const QObject* context, Prompts& prompts,
                                       Handler handler)
{
    return QObject::connect(sender, signal, context, guarded(prompts, std::move(handler)));
}

} // namespace dorv
