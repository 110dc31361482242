#pragma once

#include <cstddef>
#include <string>

namespace korvane {

struct Shell;
class Desktop;

inline constexpr std::size_t kComparisonNameMaxChars = 255;

// Builds the comparison, writes its pages into `folder` and opens tc.html in the browser.
void ShowComparison(Desktop& desktop, const std::string& leftName, const std::string& rightName,
                    const std::string& folder = ".");

// Utilities > "Visual file comparison".
void VisualComparisonCommand(Shell& shell);

} // namespace korvane
