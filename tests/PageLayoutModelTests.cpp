// The pages as the catalogue places the controls: every control on exactly
// one row, rows that do not overlap in any view, the settings on the
// Additional Functions page, and the refresh order.

#include "model/PageLayout.h"
#include "model/PageViews.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>

using namespace kestra;

namespace
{
// The views a page can show: the first view of a page without view buttons is 0.
unsigned viewsOfPage(int page)
{
    switch (page)
    {
    case 0:
        return views::main | views::drawbar;
    case 2:
        return views::classic | views::rock;
    case 3:
        return views::classic | views::rock | views::common;
    default:
        return views::classic;
    }
}

std::string nameOf(const ParameterInfo* info)
{
    return std::to_string(info->number) + (info == &chorusLevelControl ? " (Chorus Level)" : "");
}
} // namespace

TEST(PageLayout, EveryControlHasAPlaceAndOnlyControlsHaveOne)
{
    for (const auto& info : parameterCatalogue)
    {
        SCOPED_TRACE(info.number);
        if (info.control == ControlKind::none)
        {
            EXPECT_EQ(info.place.page, -1);
            continue;
        }
        EXPECT_GE(info.place.page, 0);
        EXPECT_LT(info.place.page, numPages);
        EXPECT_NE(info.place.views & viewsOfPage(info.place.page), 0u)
            << "in no view its page shows";
        EXPECT_GE(info.place.y, pageTop + pageSectionHeight);
        EXPECT_LE(info.place.y + pageRowHeight, pageBottom);
        EXPECT_NE(std::string(info.label), "");
    }
}

TEST(PageLayout, EveryControlIsOnExactlyOneRow)
{
    std::map<const ParameterInfo*, int> seen;
    for (int page = 0; page < numPages; ++page)
        for (const auto& row : pageRows(page))
            for (const auto* info : row.controls)
                ++seen[info];

    for (const auto* info : placedControls())
        EXPECT_EQ(seen[info], 1) << nameOf(info);
    EXPECT_EQ(seen.size(), placedControls().size());
}

TEST(PageLayout, ControlsSharingARowShareItsLabelAndNeverShowTogether)
{
    for (int page = 0; page < numPages; ++page)
        for (const auto& row : pageRows(page))
        {
            unsigned shown = 0;
            for (const auto* info : row.controls)
            {
                SCOPED_TRACE(nameOf(info));
                EXPECT_EQ(std::string(info->label), std::string(row.label));
                EXPECT_EQ((shown & info->place.views & viewsOfPage(page)), 0u)
                    << "two controls at one place";
                EXPECT_EQ(info->place.hiddenForModel2, row.hiddenForModel2);
                shown |= info->place.views;
            }
        }
}

TEST(PageLayout, RowsAndSectionsDoNotOverlapInAnyView)
{
    for (int page = 0; page < numPages; ++page)
        for (unsigned view = 1; view != 0 && view <= views::drawbar; view <<= 1)
        {
            if ((viewsOfPage(page) & view) == 0)
                continue;
            SCOPED_TRACE("page " + std::to_string(page) + " view " + std::to_string(view));
            std::map<int, int> spans; // top -> bottom of everything shown in this view
            auto add = [&](int top, int height)
            {
                for (const auto& [otherTop, otherBottom] : spans)
                    EXPECT_TRUE(top + height <= otherTop || top >= otherBottom)
                        << "overlap at " << top << " and " << otherTop;
                spans[top] = top + height;
            };
            for (const auto& section : pageSections())
                if (section.page == page && (section.views & view) != 0)
                    add(section.y, pageSectionHeight);
            for (const auto& row : pageRows(page))
                if ((row.views & view) != 0)
                    add(row.y, pageRowHeight);
        }
}

TEST(PageLayout, RowsRunTopToBottomUnderASection)
{
    for (int page = 0; page < numPages; ++page)
    {
        const auto rows = pageRows(page);
        ASSERT_FALSE(rows.empty()) << page;
        for (size_t k = 1; k < rows.size(); ++k)
            EXPECT_LE(rows[k - 1].y, rows[k].y);
        int firstSection = pageBottom;
        for (const auto& section : pageSections())
            if (section.page == page)
                firstSection = std::min(firstSection, section.y);
        EXPECT_EQ(firstSection, pageTop) << "page " << page << " starts without a header";
    }
}

TEST(PageLayout, SettingsAreTheSelectorsOfTheAdditionalFunctionsPage)
{
    // The Additional Functions rule shows and refreshes the settings as a
    // whole; the page goes for model 3, which exchanges no settings.
    for (const auto& info : parameterCatalogue)
    {
        SCOPED_TRACE(info.number);
        const bool onSettingsPage = info.place.page == 5;
        EXPECT_EQ(onSettingsPage, isSettingParameter(info.number));
        if (isSettingParameter(info.number))
        {
            EXPECT_EQ(info.control, ControlKind::selector);
            EXPECT_EQ(info.conversion, Conversion::index);
        }
        if (info.place.hiddenForModel2)
        {
            EXPECT_TRUE(onSettingsPage);
        }
        if (info.control == ControlKind::selector)
        {
            ASSERT_NE(info.options, nullptr);
            EXPECT_GT(info.options->count, 0);
            // Refreshed either as a setting or as an overdrive model.
            EXPECT_TRUE(isSettingParameter(info.number) || info.conversion == Conversion::model);
        }
        else
        {
            EXPECT_FALSE(info.place.wide) << "only selectors are wide";
        }
    }
}

TEST(PageLayout, RefreshCoversEveryControlWithChorusLevelAfterChorusMix)
{
    const auto& order = placedControls();
    std::set<int> numbers;
    for (size_t k = 0; k < order.size(); ++k)
    {
        if (order[k] == &chorusLevelControl)
        {
            ASSERT_GT(k, 0u);
            EXPECT_EQ(order[k - 1], &parameterInfo(chorusLevelControl.number));
            continue;
        }
        EXPECT_TRUE(numbers.insert(order[k]->number).second) << "twice: " << order[k]->number;
    }
    for (const auto& info : parameterCatalogue)
        EXPECT_EQ(numbers.count(info.number), info.control == ControlKind::none ? 0u : 1u)
            << info.number;
}

// ---- which page and view the window shows, and the model rules ----------------------------

TEST(PageViews, StartsOnTheFirstPageWithMainClassicAndCommon)
{
    const PageViews pages;
    EXPECT_EQ(pages.currentPage(), 0);
    const int expected[numPages] = {3, 0, 0, 2, 0, 0};
    for (int p = 0; p < numPages; ++p)
    {
        EXPECT_EQ(pages.viewOfPage(p), expected[p]) << p;
        EXPECT_NE(pages.viewBitOfPage(p) & viewsOfPage(p), 0u) << "a view the page has";
    }
}

TEST(PageViews, AViewOfAnotherPageOrANumberOutOfRangeChangesNothing)
{
    struct Case
    {
        int page;
        int view;
        int shown; // the page's view afterwards
    };
    const Case cases[] = {
        {0, 4, 4}, {0, 0, 3},  {0, 5, 3}, {2, 1, 1}, {2, 2, 0}, {3, 0, 0},  {3, 1, 1},
        {3, 3, 2}, {3, -1, 2}, {1, 1, 0}, {5, 4, 0}, {6, 0, 0}, {-1, 0, 0},
    };
    for (const auto& c : cases)
    {
        PageViews pages;
        pages.selectView(c.page, c.view);
        EXPECT_EQ(pages.viewOfPage(c.page), c.shown) << c.page << " / " << c.view;
        for (int other = 0; other < numPages; ++other)
        {
            if (other != c.page)
            {
                EXPECT_EQ(pages.viewOfPage(other), PageViews().viewOfPage(other));
            }
        }
    }

    PageViews pages;
    pages.selectPage(4);
    pages.selectPage(numPages);
    pages.selectPage(-1);
    EXPECT_EQ(pages.currentPage(), 4);
}

TEST(PageViews, ModelRules)
{
    for (int model = 0; model < 4; ++model)
    {
        SCOPED_TRACE(model);
        EXPECT_EQ(PageViews::settingsPageShown(model), model != 3);
        EXPECT_TRUE(PageViews::rowShown(false, model));
        EXPECT_EQ(PageViews::rowShown(true, model), model != 2);
        EXPECT_STREQ(PageViews::layerModeLabel(model),
                     model == 2 ? "Layer Mode" : "Lower Layer Mode");
    }
    EXPECT_FALSE(PageViews::canLoadTonewheel(2.99f));
    EXPECT_TRUE(PageViews::canLoadTonewheel(3.0f));
    EXPECT_TRUE(PageViews::canLoadTonewheel(5.0f));
    EXPECT_FALSE(PageViews::canLoadTonewheel(std::nanf("")));
}
