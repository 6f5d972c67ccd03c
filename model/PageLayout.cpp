#include "model/PageLayout.h"

#include "model/Conversions.h"

#include <algorithm>
#include <string_view>

namespace kestra
{

const std::vector<PageSection>& pageSections()
{
    static const std::vector<PageSection> sections = {
        {0, 182, views::main, "Pedals"},
        {0, 278, views::main, "Click"},
        {0, 524, views::main, "Preamp AO-28"},
        {0, 182, views::drawbar, "Drawbar"},
        {1, 182, views::all, "Vibrato and Chorus"},
        {2, 182, views::all, "Overdrive"},
        {3, 182, views::all, "Horn"},
        {3, 362, views::all, "Drum"},
        {3, 486, views::classic | views::rock, "Microphones"},
        {4, 182, views::all, "Hall"},
        {4, 334, views::all, "Spring"},
        {5, 182, views::all, "Functions"},
    };
    return sections;
}

const std::vector<const ParameterInfo*>& placedControls()
{
    static const auto controls = []
    {
        std::vector<const ParameterInfo*> list;
        for (const auto& info : parameterCatalogue)
        {
            if (info.control == ControlKind::none || info.place.page < 0)
                continue;
            list.push_back(&info);
            if (info.number == chorusLevelControl.number)
                list.push_back(&chorusLevelControl);
        }
        return list;
    }();
    return controls;
}

std::vector<PageRow> pageRows(int page)
{
    std::vector<PageRow> rows;
    for (const auto* info : placedControls())
    {
        const auto& place = info->place;
        if (place.page != page)
            continue;
        // One label for controls of one top and label (the overdrive
        // selectors, the rotary banks); other views use the same tops for
        // rows of their own.
        auto row =
            std::find_if(rows.begin(), rows.end(),
                         [&](const PageRow& r)
                         { return r.y == place.y && std::string_view(r.label) == info->label; });
        if (row == rows.end())
        {
            rows.push_back({page, place.y, info->label, 0u, place.hiddenForModel2, {}});
            row = rows.end() - 1;
        }
        row->views |= place.views;
        row->controls.push_back(info);
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const PageRow& a, const PageRow& b) { return a.y < b.y; });
    return rows;
}

std::vector<const ParameterInfo*> controlsShowing(int number)
{
    std::vector<const ParameterInfo*> controls;
    for (const auto* info : placedControls())
        if (controlReads(*info, number))
            controls.push_back(info);
    return controls;
}

} // namespace kestra
