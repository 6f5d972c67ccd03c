#pragma once

// The pages as the catalogue places them: section headers, and the rows that
// the controls' places make. Derived from the catalogue's place column, so a
// new parameter needs only its row there.

#include "model/ParameterCatalogue.h"

#include <vector>

namespace kestra
{

constexpr int pageRowHeight = 24;     // a parameter row: label and control
constexpr int pageSectionHeight = 34; // a section header
constexpr int pageTop = 182;          // the first section header
constexpr int pageBottom = 685;       // the window's height

// A section header of a page, shown in the given views.
struct PageSection
{
    int page;
    int y;
    unsigned views;
    const char* title;
};

// Every section header, page by page.
const std::vector<PageSection>& pageSections();

// One row of a page: a label and the controls at its top that carry that
// label; it shows in every view of its controls.
struct PageRow
{
    int page;
    int y;
    const char* label;
    unsigned views;
    bool hiddenForModel2;
    std::vector<const ParameterInfo*> controls; // in catalogue order
};

// The rows of a page, top to bottom (rows of different views may share a top).
std::vector<PageRow> pageRows(int page);

// Every control on a page, in catalogue order, Chorus Level right after
// Chorus Mix (it is shown relative to Chorus Mix as shown): the refresh order.
const std::vector<const ParameterInfo*>& placedControls();

// The controls whose shown value reads the stored value of parameter n, in refresh order.
std::vector<const ParameterInfo*> controlsShowing(int number);

} // namespace kestra
