#include "app/WindowPlacement.h"

#include <QtGlobal>

namespace glimrow {

QPoint placeBeside(const QRect& main, int tabRowBottom, const QSize& size, const QRect& screen)
{
    constexpr int kGap = 8;
    // Within the screen where possible; a window larger than the screen keeps its top left.
    const auto onScreenX = [&](int x) {
        return qMax(screen.left(), qMin(x, screen.right() + 1 - size.width()));
    };
    const auto onScreenY = [&](int y) {
        return qMax(screen.top(), qMin(y, screen.bottom() + 1 - size.height()));
    };
    const int right = main.right() + 1 + kGap;
    if (right + size.width() <= screen.right() + 1)
        return {right, onScreenY(main.top())};
    const int left = main.left() - kGap - size.width();
    if (left >= screen.left())
        return {left, onScreenY(main.top())};
    const int below = main.bottom() + 1 + kGap;
    if (below + size.height() <= screen.bottom() + 1)
        return {onScreenX(main.left()), below};
    return {onScreenX(main.left()),
            qMax(screen.top(), qMin(tabRowBottom + kGap, screen.bottom() + 1 - size.height()))};
}

} // namespace glimrow
