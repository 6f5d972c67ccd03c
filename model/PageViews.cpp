#include "model/PageViews.h"

namespace kestra
{

void PageViews::selectPage(int newPage)
{
    if (newPage >= 0 && newPage < numPages)
        page = newPage;
}

int PageViews::viewOfPage(int pageNumber) const
{
    return pageNumber >= 0 && pageNumber < numPages ? views[static_cast<size_t>(pageNumber)] : 0;
}

bool PageViews::hasView(int pageNumber, int view)
{
    switch (pageNumber)
    {
    case 0:
        return view == 3 || view == 4;
    case 2:
        return view == 0 || view == 1;
    case 3:
        return view >= 0 && view <= 2;
    default:
        return view == 0 && pageNumber >= 0 && pageNumber < numPages;
    }
}

void PageViews::selectView(int pageNumber, int view)
{
    if (hasView(pageNumber, view))
        views[static_cast<size_t>(pageNumber)] = view;
}

const char* PageViews::layerModeLabel(int modelIndex)
{
    return modelIndex == 2 ? "Layer Mode" : parameterInfo(88).label;
}

} // namespace kestra
