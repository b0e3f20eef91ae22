// Rows of cells as text for other programs: comma-separated files (RFC 4180)
// for export, tab-separated text for the clipboard. Cells carry text from
// devices, so each is made safe for the spreadsheet it will most likely be
// opened in.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Corvale::Inspect {

// text as a spreadsheet cell that shows it rather than runs it: a text that
// starts with '=', '+', '-', '@', a tab or a carriage return would be taken
// for a formula (which can fetch URLs or start programs), so it gets a "'"
// in front, the mark spreadsheets themselves use for "this is text".
std::string spreadsheetText(std::string_view text);

// One line of a CSV file: every cell as spreadsheetText, quoted (quotes
// doubled) when it holds a comma, a quote or a line end; cells joined by
// commas, the line ended by CR LF.
std::string csvLine(const std::vector<std::string>& cells);

// One line of tab-separated text: every cell as spreadsheetText with its
// tabs and line ends as spaces (a row stays one line); joined by tabs,
// ended by '\n'.
std::string tsvLine(const std::vector<std::string>& cells);

}  // namespace Corvale::Inspect
