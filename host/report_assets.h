// The files that report.html carries inside it, built into cabhost from the repository at build time
// (the charting library from node_modules/, the page's own script and style from host/report/), so a
// cabhost with nothing installed beside it writes the whole page.
#pragma once

#include <string_view>

namespace cabhost::assets {

std::string_view uplotScript();   // uPlot's minified browser build
std::string_view uplotStyle();    // its style sheet
std::string_view uplotLicence();  // its licence text, shipped inside every page
// The page's own script in its parts, run in this order: the frame and chart machinery, the tables,
// the charts of the trace, the sound, and the part that draws them all.
std::string_view pageFrameScript();
std::string_view pageTablesScript();
std::string_view pageChartsScript();
std::string_view pageSoundScript();
std::string_view pageScript();
std::string_view pageStyle();
std::string_view watchScript();  // added to the report that `cabhost watch` serves

}  // namespace cabhost::assets
