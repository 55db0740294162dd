#include "Swallowed.h"

#include <QtGlobal>

#include <exception>

namespace dorv {

void noteSwallowed(const char* where) noexcept
{
    try {
        throw;
    } catch (const std::exception& e) {
        qWarning("%s: went on without: %s", where, e.what());
    } catch (...) {
        qWarning("%s: went on without an error of unknown kind", where);
    }
}

} // namespace dorv
