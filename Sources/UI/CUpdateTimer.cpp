#include "UI/CUpdateTimer.h"

namespace qel {

CError* CUpdateTimer::init() {
    QEL_CHECK(CTimerQueued::init());
    if (!hasAttr("fps") && !hasAttr("interval"))
        QEL_CHECK(setAttr("fps", "{*/ui.global-data.frames-per-second frames-per-second?30}", true));
    return nullptr;
}

} // namespace qel
