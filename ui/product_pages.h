#pragma once
// Where the program's links lead.

namespace tallowin::ui {

inline constexpr const char* kHomePage = "https://www.tallowin.com/";
inline constexpr const char* kUpdatePage = "https://www.tallowin.com/update/?version=2.8";
inline constexpr const char* kDonationPage = "https://www.tallowin.com/donate/";
// The help page shipped beside the program.
inline constexpr const char* kHelpFileName = "Tallowin.html";

}  // namespace tallowin::ui
