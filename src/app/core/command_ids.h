#pragma once

#include <cstdint>

namespace kalder::app {

// Every user action is a 16-bit command identifier. The numbers are stored in the settings file
// (toolbar layouts refer to them through the button table, shortcuts name them directly), so they
// never change.
using CommandId = std::uint16_t;

namespace cmd {

// File menu.
inline constexpr CommandId kCopyImage = 57634;
inline constexpr CommandId kSelectAllFiles = 551;
inline constexpr CommandId kDescribeImage = 520;
inline constexpr CommandId kImagePalette = 674;
inline constexpr CommandId kWallpaperCentered = 571;
inline constexpr CommandId kWallpaperTiled = 572;
inline constexpr CommandId kWallpaperStretched = 573;
inline constexpr CommandId kCopyMoveToFolder = 905;
inline constexpr CommandId kRenameFile = 900;
inline constexpr CommandId kDeleteFiles = 901;
inline constexpr CommandId kNewFolder = 904;
inline constexpr CommandId kRenameFolder = 902;
inline constexpr CommandId kDeleteFolder = 903;
inline constexpr CommandId kSmallThumbnails = 510;
inline constexpr CommandId kBigThumbnails = 511;
inline constexpr CommandId kListView = 512;
inline constexpr CommandId kDetailsView = 513;
inline constexpr CommandId kSortByName = 561;
inline constexpr CommandId kSortByExtension = 562;
inline constexpr CommandId kSortBySize = 563;
inline constexpr CommandId kSortByDate = 564;
inline constexpr CommandId kSortAscending = 565;
inline constexpr CommandId kSortDescending = 566;
inline constexpr CommandId kFileFilter = 586;
inline constexpr CommandId kRefresh = 550;
inline constexpr CommandId kPrint = 57607;
inline constexpr CommandId kAcquire = 581;
inline constexpr CommandId kSelectSource = 582;
inline constexpr CommandId kSendByEmail = 585;
inline constexpr CommandId kRun = 587;
inline constexpr CommandId kOpenFile = 588;
inline constexpr CommandId kExit = 530;

// Browse menu.
inline constexpr CommandId kPreviousFile = 540;
inline constexpr CommandId kNextFile = 541;
inline constexpr CommandId kFirstFile = 542;
inline constexpr CommandId kLastFile = 543;
inline constexpr CommandId kPreviousSelectedFile = 544;
inline constexpr CommandId kNextSelectedFile = 545;
inline constexpr CommandId kSlideShow = 701;
inline constexpr CommandId kAdjustSlideShow = 700;
inline constexpr CommandId kPreviousFrame = 500;
inline constexpr CommandId kNextFrame = 501;
inline constexpr CommandId kFirstFrame = 502;
inline constexpr CommandId kLastFrame = 503;
inline constexpr CommandId kAnimation = 504;
inline constexpr CommandId kPreviousFolder = 546;
inline constexpr CommandId kNextFolder = 547;
inline constexpr CommandId kFindImage = 583;
inline constexpr CommandId kFindNextImage = 584;

// View menu.
inline constexpr CommandId kNameBar = 601;
inline constexpr CommandId kImageInfoOverlay = 602;
inline constexpr CommandId kLens = 673;
inline constexpr CommandId kImageProperties = 650;
inline constexpr CommandId kZoomIn = 660;
inline constexpr CommandId kZoomOut = 661;
inline constexpr CommandId kZoomReset = 662;
inline constexpr CommandId kFit1To1 = 610;
inline constexpr CommandId kFitWidth = 611;
inline constexpr CommandId kFitHeight = 612;
inline constexpr CommandId kFitAll = 613;
inline constexpr CommandId kAutofit = 614;
inline constexpr CommandId kZoomAllImages = 615;
inline constexpr CommandId kZoomSmallOnly = 616;
inline constexpr CommandId kZoomLargeOnly = 617;
inline constexpr CommandId kRotateCounterclockwise = 635;
inline constexpr CommandId kRotateClockwise = 634;
inline constexpr CommandId kRotateTo0 = 630;
inline constexpr CommandId kRotateTo90 = 631;
inline constexpr CommandId kRotateTo180 = 632;
inline constexpr CommandId kRotateTo270 = 633;
inline constexpr CommandId kFlipHorizontally = 640;
inline constexpr CommandId kFlipVertically = 641;
inline constexpr CommandId kResetRotateFlip = 671;
inline constexpr CommandId kGammaIncrease = 620;
inline constexpr CommandId kGammaDecrease = 621;
inline constexpr CommandId kGammaReset = 622;
inline constexpr CommandId kScrollLeft = 681;
inline constexpr CommandId kScrollRight = 682;
inline constexpr CommandId kScrollLeftSlowly = 683;
inline constexpr CommandId kScrollRightSlowly = 684;
inline constexpr CommandId kScrollReset = 685;
inline constexpr CommandId kShowTransparency = 677;
inline constexpr CommandId kNegative = 652;
inline constexpr CommandId kLoadProgressively = 678;
inline constexpr CommandId kSqueezeInterpolated = 675;
inline constexpr CommandId kStretchInterpolated = 676;
inline constexpr CommandId kViewerBrowser = 498;
inline constexpr CommandId kFullScreen = 499;
inline constexpr CommandId kBrowserOnly = 680;
inline constexpr CommandId kDisableColorManagement = 651;
inline constexpr CommandId kMoveFocus = 679;

// Favorites and Open-with menus.
inline constexpr CommandId kAddFavorite = 2000;
inline constexpr CommandId kDeleteFavorites = 2001;
inline constexpr CommandId kConfigureOpenWith = 2002;

// Tools menu.
inline constexpr CommandId kJpegTransformations = 670;
inline constexpr CommandId kBatchConvertor = 672;
inline constexpr CommandId kGifAnimationCompiler = 705;
inline constexpr CommandId kIconCursorCompiler = 706;
inline constexpr CommandId kCompanionEditor = 708;
inline constexpr CommandId kExifOrientation = 709;
inline constexpr CommandId kPsdDecompiler = 707;
inline constexpr CommandId kOptions = 702;
inline constexpr CommandId kFileAssociations = 703;
inline constexpr CommandId kCustomizeToolbar = 704;

// Help menu and the product pages that end the main menu.
inline constexpr CommandId kHelpContents = 800;
inline constexpr CommandId kHelpSearch = 801;
inline constexpr CommandId kAbout = 802;
inline constexpr CommandId kProductPage1 = 811;
inline constexpr CommandId kProductPage2 = 812;
inline constexpr CommandId kProductPage3 = 813;

// Outside the main menu.
inline constexpr CommandId kFavoriteFirst = 2100;  // favorite i is kFavoriteFirst + i
inline constexpr CommandId kFavoriteLast = 2199;
inline constexpr CommandId kOpenWithFirst = 2200;  // Open-with application i is kOpenWithFirst + i
inline constexpr CommandId kOpenWithLast = 2299;
// The desktop's application i for the current file's type is kOpenWithTypeFirst + i.
inline constexpr CommandId kOpenWithTypeFirst = 2300;
inline constexpr CommandId kOpenWithTypeLast = 2339;
inline constexpr CommandId kHelpTopic = 57670;  // the framework's help command

}  // namespace cmd
}  // namespace kalder::app
