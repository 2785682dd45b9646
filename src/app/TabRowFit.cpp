#include "app/TabRowFit.h"

#include <QProxyStyle>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace glimrow {
namespace {

// The application's style, with less space beside each tab's caption.
class NarrowTabStyle final : public QProxyStyle {
public:
    explicit NarrowTabStyle(int tabSpace) : m_tabSpace(tabSpace) {}

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return m_tabSpace;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

private:
    int m_tabSpace;
};

} // namespace

void fitTabRow(QTabWidget& tabs)
{
    QTabBar* row = tabs.tabBar();
    const int excess = row->sizeHint().width() - tabs.width();
    if (excess <= 0 || row->count() == 0)
        return;
    const int space = row->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, row);
    const int narrower = (excess + row->count() - 1) / row->count();
    auto* style = new NarrowTabStyle(std::max(2, space - narrower));
    style->setParent(row);
    row->setStyle(style);
}

} // namespace glimrow
