#pragma once
// Where the program's links lead: the addresses the build names, or else the matching
// section of the help page shipped beside the program.

#include <string>

#include "ui/product_addresses.h"

namespace tallowin::ui {

// The help page shipped beside the program.
inline constexpr const char* kHelpFileName = "Tallowin.html";

enum class ProductPage { Home, Update, Donation };

// `executableDirectory` ends with a backslash. A help section is opened as a file: URL,
// as a plain path would lose the part after '#'.
std::string ProductPageTarget(ProductPage page, const std::string& executableDirectory);

// The web address the about box shows ("" when the build names none).
std::string ShownHomeAddress();

}  // namespace tallowin::ui
