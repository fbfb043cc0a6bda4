// The page container.
#include "ControlTestUtil.h"

#include "controls/CTabWnd.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(TabWnd, HoldsTwelvePagesAndShowsOneAtATime) {
    CTabWnd tabs;
    test::ShowAt(tabs, 400, 300);
    std::vector<QWidget*> pages;
    for (int i = 0; i < 13; ++i) {
        auto* page = new QWidget;
        const bool added = tabs.AddPage(500 + i, page);
        EXPECT_EQ(added, i < 12) << i;
        if (added) {
            pages.push_back(page);
        } else {
            delete page;
        }
    }
    EXPECT_FALSE(tabs.AddPage(1, nullptr));
    ASSERT_EQ(tabs.PageCount(), 12);
    EXPECT_EQ(tabs.TemplateId(3), 503);
    tabs.LayoutPages();
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(pages[std::size_t(i)]->parentWidget(), &tabs);
        EXPECT_EQ(pages[std::size_t(i)]->geometry(), QRect(0, 0, 400, 300));
        EXPECT_EQ(pages[std::size_t(i)]->isVisible(), i == 0);
    }
    EXPECT_EQ(tabs.SelectPage(5), 0);
    EXPECT_EQ(tabs.SelectPage(2), 5);
    EXPECT_TRUE(pages[2]->isVisible());
    EXPECT_FALSE(pages[5]->isVisible());
    EXPECT_EQ(tabs.SelectPage(12), -1);
    EXPECT_EQ(tabs.SelectPage(-1), -1);
    EXPECT_EQ(tabs.CurrentIndex(), 2);
    EXPECT_TRUE(pages[2]->isVisible());
    tabs.resize(500, 320);
    EXPECT_EQ(pages[7]->size(), QSize(500, 320));
    EXPECT_TRUE(pages[2]->isVisible()) << "a resize keeps the shown page";
}

} // namespace
} // namespace kv
