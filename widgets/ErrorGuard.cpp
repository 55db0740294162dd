#include "ErrorGuard.h"

#include "WaitCursor.h"
#include "data/DbError.h"
#include "util/Prompts.h"

#include <QApplication>

#include <new>

namespace dorv {

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
    try {
        handler();
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

} // namespace dorv
