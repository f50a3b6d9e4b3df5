#pragma once
// Resource ids, shared by the resource script and the code. Plain #defines: windres
// reads this file too.

#define TALLOWIN_VERSION_TEXT "2.8"
#define TALLOWIN_VERSION_NUMBERS 2, 8, 0, 0

// Icons (.ico groups). Each holds several sizes; LoadImage picks the nearest to the
// DPI-scaled size asked for.
#define IDI_TALLOWIN 1       // application: 16, 24, 32, 48
#define IDI_UPDATE 2         // welcome panel, beside "Check for updates now...": 32, 48, 64
#define IDI_SCAN 3           // scan progress dialog: 32, 48, 64
#define IDI_CUSTOM_SCAN 4    // custom scan dialog: 32, 48, 64
#define IDI_BROWSE 5         // Options browse image, normal: 32, 48, 64
#define IDI_BROWSE_HOVER 6   // and under the mouse: 32, 48, 64

// JPEG pictures (RCDATA), decoded by Picture::FromJpegResource.
#define IDR_WELCOME_JPEG 101       // welcome panel, 216 x 216
#define IDR_ABOUT_BANNER_JPEG 102  // about box banner, 331 x 88
#define IDR_ABOUT_DONATE_JPEG 103  // about box donation picture, 62 x 31
#define IDR_ABOUT_BANNER_DE_JPEG 104  // the two with their words in German
#define IDR_ABOUT_DONATE_DE_JPEG 105

// Strings.
#define IDS_PRODUCT_NAME 1  // "Tallowin"
#define IDS_VERSION 2       // TALLOWIN_VERSION_TEXT
