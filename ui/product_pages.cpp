#include "ui/product_pages.h"

namespace tallowin::ui {

namespace {

// "C:\Program Files\Tallowin\" as file:///C:/Program%20Files/Tallowin/.
std::string FileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file:///";
  for (const unsigned char c : path) {
    if (c == '\\') {
      url += '/';
    } else if (c <= ' ' || c == '%' || c == '#' || c == '?' || c >= 0x7F) {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 15];
    } else {
      url += static_cast<char>(c);
    }
  }
  return url;
}

}  // namespace

std::string ProductPageTarget(ProductPage page, const std::string& executableDirectory) {
  const char* address = kHomeAddress;
  const char* section = "project";
  if (page == ProductPage::Update) {
    address = kUpdateAddress;
    section = "update";
  } else if (page == ProductPage::Donation) {
    address = kDonationAddress;
    section = "support";
  }
  if (*address != '\0') return address;
  return FileUrl(executableDirectory + kHelpFileName) + "#" + section;
}

std::string ShownHomeAddress() {
  std::string shown = kHomeAddress;
  for (const char* scheme : {"https://", "http://"})
    if (shown.rfind(scheme, 0) == 0) shown.erase(0, std::char_traits<char>::length(scheme));
  if (!shown.empty() && shown.back() == '/') shown.pop_back();
  return shown;
}

}  // namespace tallowin::ui
