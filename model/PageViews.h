#pragma once

// Which page the window shows and which view of each page, and the rules
// that pick what a page shows for the instrument's model. No component: the
// content component asks and shows.
//
// Views: page 0 shows 3 (MAIN) or 4 (DRAWBAR), page 2 0 (CLASSIC) or 1 (ROCK),
// page 3 0 (CLASSIC), 1 (ROCK) or 2 (COMMON); the other pages have view 0 only.

#include "model/ParameterCatalogue.h"

#include <array>

namespace kestra
{

class PageViews
{
public:
    int currentPage() const { return page; }
    // A page button switched on; another number changes nothing.
    void selectPage(int newPage);

    int viewOfPage(int pageNumber) const;
    // The view as a bit of views:: (model/ParameterCatalogue.h).
    unsigned viewBitOfPage(int pageNumber) const { return 1u << viewOfPage(pageNumber); }
    // Whether the page has that view.
    static bool hasView(int pageNumber, int view);
    // A view button switched on; a view the page does not have changes nothing.
    void selectView(int pageNumber, int view);

    // The Additional Functions page is not shown for model 3, which exchanges no settings.
    static bool settingsPageShown(int modelIndex) { return modelIndex != 3; }
    // Model 2 has no Gospel Set and no Upper Layer Mode, and calls the lower one "Layer Mode".
    static bool rowShown(bool hiddenForModel2, int modelIndex)
    {
        return !(hiddenForModel2 && modelIndex == 2);
    }
    static const char* layerModeLabel(int modelIndex);
    // LOAD... takes a tonewheel into an alternative slot: Tonewheel Model 3.0 on.
    static bool canLoadTonewheel(float tonewheelModel) { return tonewheelModel >= 3.0f; }

private:
    int page = 0;
    std::array<int, numPages> views{{3, 0, 0, 2, 0, 0}}; // MAIN, CLASSIC, COMMON at start
};

} // namespace kestra
