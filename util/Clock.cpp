#include "Clock.h"

#include <QElapsedTimer>

namespace dorv {

namespace {
struct Pinned {
    bool on = false;
    QDateTime at;
    QElapsedTimer since;
};
Pinned& pinned()
{
    static Pinned p;
    return p;
}
} // namespace

QDateTime Clock::now()
{
    const Pinned& p = pinned();
    if (!p.on)
        return QDateTime::currentDateTime();
    return p.at.addMSecs(p.since.elapsed());
}

void Clock::pin(const QDateTime& moment)
{
    Pinned& p = pinned();
    p.on = true;
    p.at = moment;
    p.since.start();
}

void Clock::unpin() { pinned().on = false; }

} // namespace dorv
