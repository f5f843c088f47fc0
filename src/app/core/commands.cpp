#include "app/core/commands.h"

#include <algorithm>
#include <array>

#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "base/strings.h"

namespace kalder::app {

using namespace cmd;

namespace {

// Main-menu order. Prompts are quoted as users have always read them, slips included.
constexpr std::array kCommands = {
    CommandInfo{588, QT_TRANSLATE_NOOP("Commands", "&Open..."),
                QT_TRANSLATE_NOOP("Commands", "Open an image file")},
    CommandInfo{57634, QT_TRANSLATE_NOOP("Commands", "&Copy Image to Clipboard"),
                QT_TRANSLATE_NOOP("Commands", "Copy the current image to the clipboard")},
    CommandInfo{551, QT_TRANSLATE_NOOP("Commands", "Select &All Files"),
                QT_TRANSLATE_NOOP("Commands", "Select all files in the current folder")},
    CommandInfo{520, QT_TRANSLATE_NOOP("Commands", "Descr&ibe Image..."),
                QT_TRANSLATE_NOOP("Commands", "Add or edit image descriptions")},
    CommandInfo{674, QT_TRANSLATE_NOOP("Commands", "Image Pale&tte..."),
                QT_TRANSLATE_NOOP("Commands", "Display the image palette")},
    CommandInfo{571, QT_TRANSLATE_NOOP("Commands", "&Centered"),
                QT_TRANSLATE_NOOP("Commands", "Set wallpaper and center it at the desktop")},
    CommandInfo{
        572, QT_TRANSLATE_NOOP("Commands", "&Tiled"),
        QT_TRANSLATE_NOOP("Commands", "Set wallpaper and cover the desktop with it as tile")},
    CommandInfo{
        573, QT_TRANSLATE_NOOP("Commands", "&Stretched"),
        QT_TRANSLATE_NOOP("Commands", "Set wallpaper and stretch it to the size of the desktop")},
    CommandInfo{
        905, QT_TRANSLATE_NOOP("Commands", "Copy/Move File(s) to &Folder..."),
        QT_TRANSLATE_NOOP("Commands", "Copy currently selected file(s) to the specified folder")},
    CommandInfo{900, QT_TRANSLATE_NOOP("Commands", "&Rename File"),
                QT_TRANSLATE_NOOP("Commands", "Rename currently selected image")},
    CommandInfo{901, QT_TRANSLATE_NOOP("Commands", "&Delete File(s)"),
                QT_TRANSLATE_NOOP("Commands", "Delete currently selected file(s)")},
    CommandInfo{
        904, QT_TRANSLATE_NOOP("Commands", "Ne&w Folder"),
        QT_TRANSLATE_NOOP("Commands", "Create a new folder in the currently selected folder")},
    CommandInfo{902, QT_TRANSLATE_NOOP("Commands", "Re&name Folder"),
                QT_TRANSLATE_NOOP("Commands", "Rename currently selected folder")},
    CommandInfo{903, QT_TRANSLATE_NOOP("Commands", "D&elete Folder"),
                QT_TRANSLATE_NOOP("Commands", "Delete currently selected folder")},
    CommandInfo{510, QT_TRANSLATE_NOOP("Commands", "&Small Thumbnail View"),
                QT_TRANSLATE_NOOP("Commands", "Turn on the small thumbnail view mode")},
    CommandInfo{511, QT_TRANSLATE_NOOP("Commands", "&Big Thumbnail View"),
                QT_TRANSLATE_NOOP("Commands", "Turn on the big thumbnail view mode")},
    CommandInfo{512, QT_TRANSLATE_NOOP("Commands", "&List View"),
                QT_TRANSLATE_NOOP("Commands", "Turn on the list view mode")},
    CommandInfo{
        513, QT_TRANSLATE_NOOP("Commands", "De&tails View"),
        QT_TRANSLATE_NOOP(
            "Commands",
            "Turn on the details view: one row per file with its size, dimensions, type and "
            "date")},
    CommandInfo{561, QT_TRANSLATE_NOOP("Commands", "by &Name"),
                QT_TRANSLATE_NOOP("Commands", "Sort images in the image browser by file name")},
    CommandInfo{
        562, QT_TRANSLATE_NOOP("Commands", "by &Extension"),
        QT_TRANSLATE_NOOP("Commands", "Sort images in the image browser by file type (extension)")},
    CommandInfo{563, QT_TRANSLATE_NOOP("Commands", "by &Size"),
                QT_TRANSLATE_NOOP("Commands", "Sort images in the image browser by file size")},
    CommandInfo{
        564, QT_TRANSLATE_NOOP("Commands", "by &Date/Time"),
        QT_TRANSLATE_NOOP(
            "Commands",
            "Sort images in the image browser by date of their creation/last modification")},
    CommandInfo{565, QT_TRANSLATE_NOOP("Commands", "&Ascending"),
                QT_TRANSLATE_NOOP("Commands", "Sort from A to Z, smallest or oldest first")},
    CommandInfo{566, QT_TRANSLATE_NOOP("Commands", "Desc&ending"),
                QT_TRANSLATE_NOOP("Commands", "Sort from Z to A, largest or newest first")},
    CommandInfo{586, QT_TRANSLATE_NOOP("Commands", "File Filter..."),
                QT_TRANSLATE_NOOP("Commands", "Change the file filter string")},
    CommandInfo{550, QT_TRANSLATE_NOOP("Commands", "Refres&h"),
                QT_TRANSLATE_NOOP("Commands", "Reload the current image file")},
    CommandInfo{57607, QT_TRANSLATE_NOOP("Commands", "&Print..."),
                QT_TRANSLATE_NOOP("Commands", "Bring up the Print dialog")},
    CommandInfo{
        581, QT_TRANSLATE_NOOP("Commands", "Acquire..."),
        QT_TRANSLATE_NOOP("Commands", "Acquire images from a scanner or camera through SANE")},
    CommandInfo{582, QT_TRANSLATE_NOOP("Commands", "Select Source..."), ""},
    CommandInfo{585, QT_TRANSLATE_NOOP("Commands", "Send by E-&mail..."),
                QT_TRANSLATE_NOOP("Commands", "Send selected images by E-mail")},
    CommandInfo{587, QT_TRANSLATE_NOOP("Commands", "Run..."),
                QT_TRANSLATE_NOOP("Commands", "Run the current file with associated application")},
    CommandInfo{530, QT_TRANSLATE_NOOP("Commands", "E&xit"),
                QT_TRANSLATE_NOOP("Commands", "Close the program")},
    CommandInfo{540, QT_TRANSLATE_NOOP("Commands", "&Previous File"),
                QT_TRANSLATE_NOOP("Commands", "Move selection to previous image")},
    CommandInfo{541, QT_TRANSLATE_NOOP("Commands", "&Next File"),
                QT_TRANSLATE_NOOP("Commands", "Move selection to next image")},
    CommandInfo{
        542, QT_TRANSLATE_NOOP("Commands", "&First File"),
        QT_TRANSLATE_NOOP("Commands", "Move selection to the first image in the current folder")},
    CommandInfo{
        543, QT_TRANSLATE_NOOP("Commands", "&Last File"),
        QT_TRANSLATE_NOOP("Commands", "Move selection to the last image in the current folder")},
    CommandInfo{544, QT_TRANSLATE_NOOP("Commands", "Previous Selected File"), ""},
    CommandInfo{545, QT_TRANSLATE_NOOP("Commands", "Next Selected File"), ""},
    CommandInfo{
        701, QT_TRANSLATE_NOOP("Commands", "S&tart/Stop Slide Show"),
        QT_TRANSLATE_NOOP(
            "Commands", "Start or stop automatic moving of the selection through current folder")},
    CommandInfo{700, QT_TRANSLATE_NOOP("Commands", "Ad&just Slide Show..."),
                QT_TRANSLATE_NOOP("Commands", "Bring up the slide show parameters dialog")},
    CommandInfo{500, QT_TRANSLATE_NOOP("Commands", "P&revious Frame"),
                QT_TRANSLATE_NOOP("Commands", "Show the previous frame of the animation")},
    CommandInfo{501, QT_TRANSLATE_NOOP("Commands", "N&ext Frame"),
                QT_TRANSLATE_NOOP("Commands", "Show the next frame of the animation")},
    CommandInfo{502, QT_TRANSLATE_NOOP("Commands", "F&irst Frame"),
                QT_TRANSLATE_NOOP("Commands", "Show the first frame of the animation")},
    CommandInfo{503, QT_TRANSLATE_NOOP("Commands", "L&ast Frame"),
                QT_TRANSLATE_NOOP("Commands", "Show the last frame of the animation")},
    CommandInfo{504, QT_TRANSLATE_NOOP("Commands", "&Start/Stop Animation"),
                QT_TRANSLATE_NOOP("Commands", "Start or stop the GIF animation")},
    CommandInfo{546, QT_TRANSLATE_NOOP("Commands", "Previous Folder"), ""},
    CommandInfo{547, QT_TRANSLATE_NOOP("Commands", "Next Folder"), ""},
    CommandInfo{583, QT_TRANSLATE_NOOP("Commands", "Find Image..."), ""},
    CommandInfo{584, QT_TRANSLATE_NOOP("Commands", "Find Next Image"), ""},
    CommandInfo{601, QT_TRANSLATE_NOOP("Commands", "&Name Bar"),
                QT_TRANSLATE_NOOP("Commands", "Show or hide the name bar")},
    CommandInfo{602, QT_TRANSLATE_NOOP("Commands", "Image In&formation"),
                QT_TRANSLATE_NOOP(
                    "Commands",
                    "Show or hide the zoom, size, position and page over the image in the viewer")},
    CommandInfo{673, QT_TRANSLATE_NOOP("Commands", "Interactive &Lens"),
                QT_TRANSLATE_NOOP("Commands", "Tun on or off the interactive lens mode")},
    CommandInfo{650, QT_TRANSLATE_NOOP("Commands", "Image &Properties"),
                QT_TRANSLATE_NOOP("Commands", "Show/hide the image properties panel")},
    CommandInfo{660, QT_TRANSLATE_NOOP("Commands", "Zoom &In"),
                QT_TRANSLATE_NOOP("Commands", "Zoom the image in")},
    CommandInfo{661, QT_TRANSLATE_NOOP("Commands", "Zoom &Out"),
                QT_TRANSLATE_NOOP("Commands", "Zoom the image out")},
    CommandInfo{662, QT_TRANSLATE_NOOP("Commands", "Zoom &1:1"),
                QT_TRANSLATE_NOOP("Commands", "Reset zoom showing the image in its original size")},
    CommandInfo{610, "&1:1",
                QT_TRANSLATE_NOOP("Commands", "Show current image in its actual size")},
    CommandInfo{
        613, QT_TRANSLATE_NOOP("Commands", "Fit &All"),
        QT_TRANSLATE_NOOP("Commands",
                          "Show current image so that it exactly fits into the viewing area size")},
    CommandInfo{614, QT_TRANSLATE_NOOP("Commands", "A&utofit"),
                QT_TRANSLATE_NOOP("Commands",
                                  "Choose between \"Fit Height\" and \"Fit Width\" automatically "
                                  "basing on image proportion")},
    CommandInfo{
        611, QT_TRANSLATE_NOOP("Commands", "Fit &Width"),
        QT_TRANSLATE_NOOP(
            "Commands",
            "Show current image so that its width exactly fits into the viewing area size")},
    CommandInfo{
        612, QT_TRANSLATE_NOOP("Commands", "Fit &Height"),
        QT_TRANSLATE_NOOP(
            "Commands",
            "Show current image so that its height exactly fits into the viewing area size")},
    CommandInfo{615, QT_TRANSLATE_NOOP("Commands", "&Zoom all images"),
                QT_TRANSLATE_NOOP("Commands", "Allow to zoom all images")},
    CommandInfo{617, QT_TRANSLATE_NOOP("Commands", "Zoom &large images only"),
                QT_TRANSLATE_NOOP(
                    "Commands", "Allow to zoom large images only (larger than the viewing area)")},
    CommandInfo{616, QT_TRANSLATE_NOOP("Commands", "Zoom &small images only"),
                QT_TRANSLATE_NOOP(
                    "Commands", "Allow to zoom small images only (smaller than the viewing area)")},
    CommandInfo{635, QT_TRANSLATE_NOOP("Commands", "Rotate by 90 &Deg. Counterclockwise"),
                QT_TRANSLATE_NOOP("Commands", "Rotate the image by 90 degrees counterclockwise")},
    CommandInfo{634, QT_TRANSLATE_NOOP("Commands", "Rotate by 90 D&eg. Clockwise"),
                QT_TRANSLATE_NOOP("Commands", "Rotate the image by 90 degrees clockwise")},
    CommandInfo{630, QT_TRANSLATE_NOOP("Commands", "&0 Deg."),
                QT_TRANSLATE_NOOP("Commands", "Reset image rotation")},
    CommandInfo{631, QT_TRANSLATE_NOOP("Commands", "90 &Deg. Clockwise"),
                QT_TRANSLATE_NOOP("Commands", "Show image rotated 90 degrees clockwise")},
    CommandInfo{633, QT_TRANSLATE_NOOP("Commands", "90 D&eg. Counterclockwise"),
                QT_TRANSLATE_NOOP("Commands", "Show image rotated 90 degrees counterclockwise")},
    CommandInfo{632, QT_TRANSLATE_NOOP("Commands", "&180 Deg."),
                QT_TRANSLATE_NOOP("Commands", "Turn image upside down")},
    CommandInfo{640, QT_TRANSLATE_NOOP("Commands", "Flip &Horizontally"),
                QT_TRANSLATE_NOOP("Commands", "Flip (mirrors) image horizontally")},
    CommandInfo{641, QT_TRANSLATE_NOOP("Commands", "Flip &Vertically"),
                QT_TRANSLATE_NOOP("Commands", "Flip (mirrors) image vertically")},
    CommandInfo{671, QT_TRANSLATE_NOOP("Commands", "&Reset All"),
                QT_TRANSLATE_NOOP(
                    "Commands",
                    "Reset rotation and flip settings and show the image in its normal position")},
    CommandInfo{620, QT_TRANSLATE_NOOP("Commands", "&Increase Gamma"),
                QT_TRANSLATE_NOOP("Commands", "Brighten the image")},
    CommandInfo{621, QT_TRANSLATE_NOOP("Commands", "&Decrease Gamma"),
                QT_TRANSLATE_NOOP("Commands", "Darken the image")},
    CommandInfo{
        622, QT_TRANSLATE_NOOP("Commands", "&Reset Gamma"),
        QT_TRANSLATE_NOOP("Commands",
                          "Reset gamma setting showing the image with its original brightness")},
    CommandInfo{681, QT_TRANSLATE_NOOP("Commands", "Scroll Left"), ""},
    CommandInfo{682, QT_TRANSLATE_NOOP("Commands", "Scroll Right"), ""},
    CommandInfo{683, QT_TRANSLATE_NOOP("Commands", "Scroll Left Slowly"), ""},
    CommandInfo{684, QT_TRANSLATE_NOOP("Commands", "Scroll Right Slowly"), ""},
    CommandInfo{685, QT_TRANSLATE_NOOP("Commands", "Reset Position"), ""},
    CommandInfo{677, QT_TRANSLATE_NOOP("Commands", "Show Transparency"),
                QT_TRANSLATE_NOOP("Commands", "Show image transparency")},
    CommandInfo{652, QT_TRANSLATE_NOOP("Commands", "Negativ&e"),
                QT_TRANSLATE_NOOP("Commands", "Invert image colors")},
    CommandInfo{678, QT_TRANSLATE_NOOP("Commands", "Load progressively"),
                QT_TRANSLATE_NOOP("Commands", "Load images progressively")},
    CommandInfo{675, QT_TRANSLATE_NOOP("Commands", "Squeeze with interpolation"),
                QT_TRANSLATE_NOOP("Commands", "Squeeze images with high quality")},
    CommandInfo{676, QT_TRANSLATE_NOOP("Commands", "Stretch with interpolation"),
                QT_TRANSLATE_NOOP("Commands", "Stretch images with high quality")},
    CommandInfo{498, QT_TRANSLATE_NOOP("Commands", "&Viewer/Browser"),
                QT_TRANSLATE_NOOP("Commands", "Switch user interfaces")},
    CommandInfo{499, QT_TRANSLATE_NOOP("Commands", "F&ull Screen Viewing Mode"),
                QT_TRANSLATE_NOOP("Commands", "Switch viewing modes")},
    CommandInfo{680, QT_TRANSLATE_NOOP("Commands", "&Browser Only (Esc to exit)"), ""},
    CommandInfo{651, QT_TRANSLATE_NOOP("Commands", "&Disable Color Management Options"),
                QT_TRANSLATE_NOOP("Commands",
                                  "Disable the color management options when displaying images")},
    CommandInfo{679, QT_TRANSLATE_NOOP("Commands", "Move Focus"), ""},
    CommandInfo{2000, QT_TRANSLATE_NOOP("Commands", "&Add Folder..."),
                QT_TRANSLATE_NOOP("Commands", "Add current folder to the list of favorites")},
    CommandInfo{2001, QT_TRANSLATE_NOOP("Commands", "&Delete..."),
                QT_TRANSLATE_NOOP("Commands", "Bring up the favorites deletion dialog")},
    CommandInfo{2002, QT_TRANSLATE_NOOP("Commands", "&Configure..."),
                QT_TRANSLATE_NOOP("Commands", "Bring up the \"Open with\" configuration dialog")},
    CommandInfo{670, QT_TRANSLATE_NOOP("Commands", "&JPEG Transformations"),
                QT_TRANSLATE_NOOP("Commands", "Show/hide the lossless JPEG transformations panel")},
    CommandInfo{672, QT_TRANSLATE_NOOP("Commands", "Batch &Convertor"),
                QT_TRANSLATE_NOOP("Commands", "Show/hide the Batch Convertor panel")},
    CommandInfo{705, QT_TRANSLATE_NOOP("Commands", "&GIF Animation Compiler..."),
                QT_TRANSLATE_NOOP("Commands", "Compile selected images to an animated GIF")},
    CommandInfo{706, QT_TRANSLATE_NOOP("Commands", "&Icon/Cursor Compiler..."),
                QT_TRANSLATE_NOOP("Commands", "Compile selected images to an icon/cursor")},
    CommandInfo{708, QT_TRANSLATE_NOOP("Commands", "Lumidrex..."),
                QT_TRANSLATE_NOOP("Commands", "Edit the current image with Lumidrex")},
    CommandInfo{
        709, QT_TRANSLATE_NOOP("Commands", "Modify Exif Orientation Tag..."),
        QT_TRANSLATE_NOOP("Commands", "Modify Exif Orientation tag in all selected images")},
    CommandInfo{
        707, QT_TRANSLATE_NOOP("Commands", "&PSD Decompiler..."),
        QT_TRANSLATE_NOOP("Commands",
                          "Extract layers from selected PSD files as a bunch of BMP or PNG files")},
    CommandInfo{702, QT_TRANSLATE_NOOP("Commands", "&Options..."),
                QT_TRANSLATE_NOOP("Commands", "Show the options dialog")},
    CommandInfo{
        703, QT_TRANSLATE_NOOP("Commands", "&File Associations..."),
        QT_TRANSLATE_NOOP("Commands", "Allow you to associate different file types with Kalder")},
    CommandInfo{704, QT_TRANSLATE_NOOP("Commands", "Customize &Toolbar..."),
                QT_TRANSLATE_NOOP("Commands", "Bring up the toolbar customization dialog")},
    CommandInfo{800, QT_TRANSLATE_NOOP("Commands", "&Contents"), ""},
    CommandInfo{801, QT_TRANSLATE_NOOP("Commands", "Search"), ""},
    CommandInfo{802, QT_TRANSLATE_NOOP("Commands", "&About..."),
                QT_TRANSLATE_NOOP("Commands", "Display some information about Kalder")},
    // The product pages at the end of the main menu; they have no prompts.
    CommandInfo{811, QT_TRANSLATE_NOOP("Commands", "&Lumidrex Home Page"), ""},
    CommandInfo{812, QT_TRANSLATE_NOOP("Commands", "&Kalder Home Page"), ""},
    CommandInfo{813, QT_TRANSLATE_NOOP("Commands", "&Support"), ""},
};

MenuItem command(CommandId id) {
    const CommandInfo* info = findCommand(id);
    return MenuItem{MenuItemKind::Command, id, info ? info->text : std::string_view{}, {}};
}
// The same command under another text (the context menus word some items differently).
MenuItem command(CommandId id, std::string_view text) {
    return MenuItem{MenuItemKind::Command, id, text, {}};
}
MenuItem separator() { return MenuItem{MenuItemKind::Separator, 0, {}, {}}; }
MenuItem submenu(std::string_view text, std::vector<MenuItem> items) {
    return MenuItem{MenuItemKind::Submenu, 0, text, std::move(items)};
}
MenuItem slot(MenuItemKind kind) { return MenuItem{kind, 0, {}, {}}; }

MenuItem sortSubmenu() {
    return submenu(
        QT_TRANSLATE_NOOP("Commands", "S&ort Files"),
        {command(kSortByName), command(kSortByExtension), command(kSortBySize),
         command(kSortByDate), separator(), command(kSortAscending), command(kSortDescending)});
}

MenuItem fitSubmenu() {
    return submenu(QT_TRANSLATE_NOOP("Commands", "&Fit"),
                   {command(kFit1To1), command(kFitAll), command(kAutofit), command(kFitWidth),
                    command(kFitHeight), separator(), command(kZoomAllImages),
                    command(kZoomLargeOnly), command(kZoomSmallOnly)});
}

MenuItem rotateFlipSubmenu(std::string_view panoramicText) {
    return submenu(
        QT_TRANSLATE_NOOP("Commands", "&Rotate/Flip"),
        {command(kRotateCounterclockwise), command(kRotateClockwise),
         submenu(QT_TRANSLATE_NOOP("Commands", "Rotate to &Position"),
                 {command(kRotateTo0), command(kRotateTo90), command(kRotateTo270),
                  command(kRotateTo180)}),
         separator(), command(kFlipHorizontally), command(kFlipVertically), separator(),
         command(kResetRotateFlip), separator(),
         submenu(QT_TRANSLATE_NOOP("Commands", "&Gamma"),
                 {command(kGammaIncrease), command(kGammaDecrease), command(kGammaReset)}),
         submenu(panoramicText,
                 {command(kScrollLeft), command(kScrollRight), command(kScrollLeftSlowly),
                  command(kScrollRightSlowly), command(kScrollReset)})});
}

MenuItem buildMainMenu() {
    MenuItem file = submenu(QT_TRANSLATE_NOOP("Commands", "&File"),
                            {command(kOpenFile),
                             separator(),
                             command(kCopyImage),
                             command(kSelectAllFiles),
                             command(kDescribeImage),
                             command(kImagePalette),
                             separator(),
                             submenu(QT_TRANSLATE_NOOP("Commands", "Set as Des&ktop Wallpaper"),
                                     {command(kWallpaperCentered), command(kWallpaperTiled),
                                      command(kWallpaperStretched)}),
                             separator(),
                             command(kCopyMoveToFolder),
                             command(kRenameFile),
                             command(kDeleteFiles),
                             separator(),
                             command(kNewFolder),
                             command(kRenameFolder),
                             command(kDeleteFolder),
                             separator(),
                             command(kSmallThumbnails),
                             command(kBigThumbnails),
                             command(kListView),
                             command(kDetailsView),
                             separator(),
                             sortSubmenu(),
                             command(kFileFilter),
                             command(kRefresh),
                             separator(),
                             command(kPrint),
                             submenu(QT_TRANSLATE_NOOP("Commands", "Ac&quire"),
                                     {command(kAcquire), command(kSelectSource)}),
                             command(kSendByEmail),
                             command(kRun),
                             separator(),
                             command(kExit)});
    MenuItem browse =
        submenu(QT_TRANSLATE_NOOP("Commands", "&Browse"), {command(kPreviousFile),
                                                           command(kNextFile),
                                                           command(kFirstFile),
                                                           command(kLastFile),
                                                           command(kPreviousSelectedFile),
                                                           command(kNextSelectedFile),
                                                           separator(),
                                                           command(kSlideShow),
                                                           command(kAdjustSlideShow),
                                                           separator(),
                                                           command(kPreviousFrame),
                                                           command(kNextFrame),
                                                           command(kFirstFrame),
                                                           command(kLastFrame),
                                                           command(kAnimation),
                                                           separator(),
                                                           command(kPreviousFolder),
                                                           command(kNextFolder),
                                                           separator(),
                                                           command(kFindImage),
                                                           command(kFindNextImage)});
    MenuItem view =
        submenu(QT_TRANSLATE_NOOP("Commands", "&View"),
                {command(kNameBar),
                 command(kImageInfoOverlay),
                 command(kLens),
                 command(kImageProperties),
                 separator(),
                 command(kZoomIn),
                 command(kZoomOut),
                 command(kZoomReset),
                 separator(),
                 fitSubmenu(),
                 rotateFlipSubmenu(QT_TRANSLATE_NOOP("Commands", "Panoramic &Scrolling")),
                 separator(),
                 command(kShowTransparency),
                 command(kNegative),
                 separator(),
                 command(kLoadProgressively),
                 command(kSqueezeInterpolated),
                 command(kStretchInterpolated),
                 separator(),
                 command(kViewerBrowser),
                 command(kFullScreen),
                 command(kBrowserOnly),
                 separator(),
                 command(kDisableColorManagement),
                 command(kMoveFocus)});
    // The dynamic items go on top, above the separator; with none the menu starts with it.
    MenuItem favorites = submenu(QT_TRANSLATE_NOOP("Commands", "F&avorites"),
                                 {slot(MenuItemKind::FavoriteSlot), separator(),
                                  command(kAddFavorite), command(kDeleteFavorites)});
    MenuItem openWith =
        submenu(QT_TRANSLATE_NOOP("Commands", "&Open with"),
                {slot(MenuItemKind::OpenWithSlot), separator(), command(kConfigureOpenWith)});
    MenuItem tools = submenu(
        QT_TRANSLATE_NOOP("Commands", "&Tools"),
        {command(kJpegTransformations), command(kBatchConvertor), separator(),
         command(kGifAnimationCompiler), command(kIconCursorCompiler), command(kCompanionEditor),
         command(kExifOrientation), command(kPsdDecompiler), separator(), command(kOptions),
         command(kFileAssociations), command(kCustomizeToolbar)});
    MenuItem help =
        submenu(QT_TRANSLATE_NOOP("Commands", "&Help"),
                {command(kHelpContents), command(kHelpSearch), separator(), command(kAbout)});
    MenuItem products =
        submenu(QT_TRANSLATE_NOOP("Commands", "Ot&her Products"),
                {command(kProductPage1), command(kProductPage2), command(kProductPage3)});
    return submenu("",
                   {std::move(file), std::move(browse), std::move(view), std::move(favorites),
                    std::move(openWith), std::move(tools), std::move(help), std::move(products)});
}

MenuItem buildViewingAreaMenu() {
    return submenu(
        "",
        {command(kViewerBrowser),
         command(kFullScreen),
         separator(),
         command(kCopyImage),
         command(kDescribeImage, QT_TRANSLATE_NOOP("Commands", "&Describe Image...")),
         separator(),
         submenu(
             QT_TRANSLATE_NOOP("Commands", "Browse"),
             {command(kPreviousFile), command(kNextFile), command(kFirstFile), command(kLastFile),
              command(kPreviousSelectedFile), command(kNextSelectedFile), separator(),
              command(kSlideShow), command(kAdjustSlideShow), separator(), command(kPreviousFrame),
              command(kNextFrame), command(kFirstFrame), command(kLastFrame), command(kAnimation),
              separator(), command(kPreviousFolder), command(kNextFolder)}),
         submenu(QT_TRANSLATE_NOOP("Commands", "Open with"),
                 {slot(MenuItemKind::OpenWithSlot), separator(), command(kConfigureOpenWith)}),
         command(kImageProperties),
         command(kCompanionEditor),
         separator(),
         command(kZoomIn),
         command(kZoomOut),
         command(kZoomReset),
         separator(),
         fitSubmenu(),
         rotateFlipSubmenu(QT_TRANSLATE_NOOP("Commands", "Panoramic &Scroll")),
         command(kShowTransparency),
         command(kNegative, QT_TRANSLATE_NOOP("Commands", "&Negative")),
         separator(),
         command(kLoadProgressively),
         command(kSqueezeInterpolated),
         command(kStretchInterpolated),
         separator(),
         command(kNameBar, QT_TRANSLATE_NOOP("Commands", "Na&me Bar"))});
}

MenuItem buildFolderTreeMenu() {
    return submenu(
        "", {command(kNewFolder, QT_TRANSLATE_NOOP("Commands", "&New Folder")),
             command(kRenameFolder, QT_TRANSLATE_NOOP("Commands", "R&ename Folder")),
             command(kDeleteFolder, QT_TRANSLATE_NOOP("Commands", "De&lete Folder")), separator(),
             command(kAddFavorite, QT_TRANSLATE_NOOP("Commands", "&Add Folder to Favorites...")),
             separator(), command(kRefresh)});
}

MenuItem buildFileListMenu() {
    return submenu(
        "", {command(kSelectAllFiles), command(kCopyMoveToFolder), command(kRenameFile),
             command(kDeleteFiles), separator(), sortSubmenu(), command(kFileFilter), separator(),
             command(kSendByEmail), command(kJpegTransformations), command(kBatchConvertor),
             command(kGifAnimationCompiler), command(kIconCursorCompiler),
             command(kExifOrientation), command(kPsdDecompiler), separator(),
             command(kImageProperties), command(kRun), command(kRefresh)});
}

MenuItem buildToolbarMenu() {
    return submenu("",
                   {command(kCustomizeToolbar, QT_TRANSLATE_NOOP("Commands", "&Customize..."))});
}

std::vector<DynamicMenuItem> dynamicItems(const std::vector<std::string>& labels,
                                          std::size_t targets, CommandId first) {
    const std::size_t n = std::min({labels.size(), targets, kMaxDynamicMenuItems});
    std::vector<DynamicMenuItem> items;
    items.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        items.push_back({static_cast<CommandId>(first + i), labels[i]});
    }
    return items;
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

}  // namespace

std::span<const CommandInfo> commandTable() { return kCommands; }

const CommandInfo* findCommand(CommandId id) {
    const auto it = std::find_if(kCommands.begin(), kCommands.end(),
                                 [id](const CommandInfo& c) { return c.id == id; });
    return it == kCommands.end() ? nullptr : &*it;
}

std::string_view commandPrompt(CommandId id) {
    const CommandInfo* info = findCommand(id);
    return info ? info->prompt : std::string_view{};
}

const MenuItem& mainMenu() {
    static const MenuItem menu = buildMainMenu();
    return menu;
}

const MenuItem& contextMenu(ContextMenu which) {
    static const MenuItem viewingArea = buildViewingAreaMenu();
    static const MenuItem folderTree = buildFolderTreeMenu();
    static const MenuItem fileList = buildFileListMenu();
    static const MenuItem toolbar = buildToolbarMenu();
    switch (which) {
        case ContextMenu::ViewingArea:
            return viewingArea;
        case ContextMenu::FolderTree:
            return folderTree;
        case ContextMenu::FileList:
            return fileList;
        case ContextMenu::Toolbar:
            return toolbar;
    }
    return toolbar;
}

const MenuItem* findMenuItem(const MenuItem& menu, CommandId id) {
    for (const MenuItem& item : menu.items) {
        if (item.kind == MenuItemKind::Command && item.id == id) return &item;
        if (item.kind == MenuItemKind::Submenu) {
            if (const MenuItem* found = findMenuItem(item, id)) return found;
        }
    }
    return nullptr;
}

std::vector<DynamicMenuItem> favoriteMenuItems(const Settings& settings) {
    return dynamicItems(settings.favoriteLabels, settings.favoriteFolders.size(), kFavoriteFirst);
}

std::vector<DynamicMenuItem> openWithMenuItems(const Settings& settings,
                                               const std::vector<std::string>& typeApplications) {
    std::vector<DynamicMenuItem> items =
        dynamicItems(settings.openWithLabels, settings.openWithPaths.size(), kOpenWithFirst);
    const std::size_t own = items.size();
    if (!items.empty()) items.front().text += "\tF10";
    const std::size_t count =
        std::min<std::size_t>(typeApplications.size(), kOpenWithTypeLast - kOpenWithTypeFirst + 1);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& name = typeApplications[i];
        bool listed = false;
        for (std::size_t u = 0; u < own; ++u)
            listed = listed || stripMnemonics(settings.openWithLabels[u]) == name;
        if (listed || name.empty()) continue;
        std::string text;
        for (char c : name) text += c == '&' ? std::string("&&") : std::string(1, c);
        items.push_back({static_cast<CommandId>(kOpenWithTypeFirst + i), std::move(text)});
    }
    return items;
}

std::string stripMnemonics(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

char mnemonicLetter(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] != '&') return base::toLowerAscii(text[i + 1]);
        ++i;
    }
    return 0;
}

MenuLabelParts splitMenuText(std::string_view text) {
    const std::size_t tab = text.rfind('\t');
    if (tab == std::string_view::npos) return {text, {}};
    return {text.substr(0, tab), text.substr(tab + 1)};
}

CommandContext commandContextFrom(const Settings& settings) {
    CommandContext context;
    context.browserView = browserViewOf(settings);
    context.fitMode = settings.fitMode;
    context.zoomScope = settings.zoomScope;
    context.nameBarVisible = settings.nameBarVisible;
    context.squeezeInterpolated = settings.squeezeInterpolated;
    context.stretchInterpolated = settings.stretchInterpolated;
    context.showTransparency = settings.showTransparency;
    context.loadProgressively = settings.loadProgressively;
    context.favoriteFolders = settings.favoriteFolders;
    context.sortMode = settings.sortMode;
    context.sortDescending = settings.sortDescending;
    context.imageInfoOverlay = settings.imageInfoOverlay;
    return context;
}

bool sameFolder(std::string_view a, std::string_view b) {
    a = withoutTrailingSlashes(a);
    b = withoutTrailingSlashes(b);
    return base::equalsIgnoringCase(a, b);
}

bool hasUpdateRule(CommandId id) {
    switch (id) {
        case kSmallThumbnails:
        case kBigThumbnails:
        case kListView:
        case kDetailsView:
        case kSortAscending:
        case kSortDescending:
        case kNameBar:
        case kImageInfoOverlay:
        case kFit1To1:
        case kFitWidth:
        case kFitHeight:
        case kFitAll:
        case kAutofit:
        case kFlipHorizontally:
        case kFlipVertically:
        case kImageProperties:
        case kDisableColorManagement:
        case kNegative:
        case kJpegTransformations:
        case kBatchConvertor:
        case kLens:
        case kImagePalette:
        case kSqueezeInterpolated:
        case kStretchInterpolated:
        case kShowTransparency:
        case kLoadProgressively:
        case kSlideShow:
            return true;
        default:
            return kSortRange.contains(id) || kZoomScopeRange.contains(id) ||
                   kRotateToRange.contains(id) || kFavoriteRange.contains(id);
    }
}

bool isChecked(CommandId id, const CommandContext& c) {
    switch (id) {
        case kSmallThumbnails:
            return c.browserView == BrowserView::SmallThumbnails;
        case kBigThumbnails:
            return c.browserView == BrowserView::BigThumbnails;
        case kListView:
            return c.browserView == BrowserView::List;
        case kDetailsView:
            return c.browserView == BrowserView::Details;
        case kSortAscending:
            return !c.sortDescending;
        case kSortDescending:
            return c.sortDescending;
        case kNameBar:
            return c.nameBarVisible;
        case kImageInfoOverlay:
            return c.imageInfoOverlay;
        case kFit1To1:
            return c.fitMode == 0;
        case kFitWidth:
            return c.fitMode == 1;
        case kFitHeight:
            return c.fitMode == 2;
        case kFitAll:
            return c.fitMode == 3;
        case kAutofit:
            return c.fitMode == 4;
        case kZoomAllImages:
            return c.zoomScope == 0;
        case kZoomSmallOnly:
            return c.zoomScope == 1;
        case kZoomLargeOnly:
            return c.zoomScope == 2;
        case kFlipHorizontally:
            return c.flippedHorizontally;
        case kFlipVertically:
            return c.flippedVertically;
        case kImageProperties:
            return c.propertiesPanelVisible;
        case kDisableColorManagement:
            return c.colorManagementOff;
        case kNegative:
            return c.inverted;
        case kJpegTransformations:
            return c.jpegTransformPanelVisible;
        case kBatchConvertor:
            return c.batchPanelVisible;
        case kLens:
            return c.lensOn;
        case kSqueezeInterpolated:
            return c.squeezeInterpolated;
        case kStretchInterpolated:
            return c.stretchInterpolated;
        case kShowTransparency:
            return c.showTransparency;
        case kLoadProgressively:
            return c.loadProgressively;
        case kSlideShow:
            return c.slideShowRunning;
        default:
            break;
    }
    if (kSortRange.contains(id)) return c.sortMode == static_cast<int>(kSortRange.indexOf(id));
    if (kRotateToRange.contains(id)) {
        return c.rotation == static_cast<int>(kRotateToRange.indexOf(id));
    }
    if (kFavoriteRange.contains(id)) {
        const std::size_t i = kFavoriteRange.indexOf(id);
        return i < c.favoriteFolders.size() && !c.shownFolder.empty() &&
               sameFolder(c.favoriteFolders[i], c.shownFolder);
    }
    return false;
}

bool isEnabled(CommandId id, const CommandContext& c) {
    // The palette view only has something to show for palette images.
    if (id == kImagePalette) return c.imageShown && c.bitsPerPixel >= 1 && c.bitsPerPixel <= 8;
    // Frame stepping and playing mean something only for an image with several frames.
    if (kFrameRange.contains(id)) return c.imageShown && c.pageCount > 1;
    return true;
}

void CommandDispatcher::on(CommandId id, CommandHandler handler) {
    for (Single& s : m_singles) {
        if (s.id == id) {
            s.handler = std::move(handler);
            return;
        }
    }
    m_singles.push_back({id, std::move(handler)});
}

void CommandDispatcher::onRange(CommandRange range, CommandHandler handler) {
    m_ranges.push_back({range, std::move(handler)});
}

const CommandHandler* CommandDispatcher::find(CommandId id) const {
    for (const Single& s : m_singles) {
        if (s.id == id && s.handler) return &s.handler;
    }
    for (const Ranged& r : m_ranges) {
        if (r.range.contains(id) && r.handler) return &r.handler;
    }
    return nullptr;
}

bool CommandDispatcher::handles(CommandId id) const { return find(id) != nullptr; }

bool CommandDispatcher::dispatch(CommandId id) const {
    const CommandHandler* handler = find(id);
    if (!handler) return false;
    (*handler)(id);
    return true;
}

}  // namespace kalder::app
