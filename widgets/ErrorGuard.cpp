#include "ErrorGuard.h"

#include "WaitCursor.h"
#include "data/DbError.h"
#include "util/Prompts.h"

#include <QApplication>

#include <QList>
#include <QPair>

#include <new>

namespace dorv {

namespace {

int g_depth = 0;

QList<QPair<const void*, std::function<void(bool)>>>& listeners()
{
    static QList<QPair<const void*, std::function<void(bool)>>> l;
    return l;
}

void tell(bool started)
{
    // A copy: a listener may come or go while the others are told.
    const auto all = listeners();
    for (const auto& l : all)
        l.second(started);
}

// Runs a piece of a handler; what it raises ends in the error box.
bool guardedCall(Prompts& prompts, const std::function<void()>& call)
{
    try {
        call();
        return true;
    } catch (...) {
        // The cursor of a long step that was cut short must not stay an hourglass.
        WaitCursor::restoreAll();
        const QString message = messageOf(std::current_exception());
        if (!message.isEmpty())
            prompts.error(message);
        return false;
    }
}

} // namespace

void addHandlerListener(const void* owner, std::function<void(bool started)> listener)
{
    removeHandlerListener(owner);
    listeners().append({owner, std::move(listener)});
}

void removeHandlerListener(const void* owner)
{
    listeners().removeIf([owner](const auto& l) { return l.first == owner; });
}

QString messageOf(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const DbAbort&) {
        return {};
    } catch (const DbError& e) {
        return e.message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Недостаточно памяти для выполнения действия");
    } catch (const std::exception& e) {
        const QString what = QString::fromUtf8(e.what());
        return what.isEmpty() ? QStringLiteral("Внутренняя ошибка программы") : what;
    } catch (...) {
        return QStringLiteral("Внутренняя ошибка программы");
    }
}

bool runGuarded(Prompts& prompts, const std::function<void()>& handler)
{
    const bool outermost = g_depth++ == 0;
    const bool done = guardedCall(prompts, [&] {
        if (outermost)
            tell(true);
        handler();
    });
    --g_depth;
    if (outermost)
        guardedCall(prompts, [] { tell(false); });
    return done;
}

} // namespace dorv
