#include "app/core/commands.h"

#include <algorithm>
#include <array>

#include "app/core/settings.h"
#include "base/strings.h"

namespace kalder::app {

using namespace cmd;

namespace {

// Main-menu order. Prompts are quoted as users have always read them, slips included.
constexpr std::array kCommands = {
    CommandInfo{588, "&Open...", "Open an image file"},
    CommandInfo{57634, "&Copy Image to Clipboard", "Copy the current image to the clipboard"},
    CommandInfo{551, "Select &All Files", "Select all files in the current folder"},
    CommandInfo{520, "Descr&ibe Image...", "Add or edit image descriptions"},
    CommandInfo{674, "Image Pale&tte...", "Display the image palette"},
    CommandInfo{571, "&Centered", "Set wallpaper and center it at the desktop"},
    CommandInfo{572, "&Tiled", "Set wallpaper and cover the desktop with it as tile"},
    CommandInfo{573, "&Stretched", "Set wallpaper and stretch it to the size of the desktop"},
    CommandInfo{905, "Copy/Move File(s) to &Folder...",
                "Copy currently selected file(s) to the specified folder"},
    CommandInfo{900, "&Rename File", "Rename currently selected image"},
    CommandInfo{901, "&Delete File(s)", "Delete currently selected file(s)"},
    CommandInfo{904, "Ne&w Folder", "Create a new folder in the currently selected folder"},
    CommandInfo{902, "Re&name Folder", "Rename currently selected folder"},
    CommandInfo{903, "D&elete Folder", "Delete currently selected folder"},
    CommandInfo{510, "&Small Thumbnail View", "Turn on the small thumbnail view mode"},
    CommandInfo{511, "&Big Thumbnail View", "Turn on the big thumbnail view mode"},
    CommandInfo{512, "&List View", "Turn on the list view mode"},
    CommandInfo{513, "De&tails View",
                "Turn on the details view: one row per file with its size, dimensions, type and "
                "date"},
    CommandInfo{561, "by &Name", "Sort images in the image browser by file name"},
    CommandInfo{562, "by &Extension", "Sort images in the image browser by file type (extension)"},
    CommandInfo{563, "by &Size", "Sort images in the image browser by file size"},
    CommandInfo{564, "by &Date/Time",
                "Sort images in the image browser by date of their creation/last modification"},
    CommandInfo{565, "&Ascending", "Sort from A to Z, smallest or oldest first"},
    CommandInfo{566, "Desc&ending", "Sort from Z to A, largest or newest first"},
    CommandInfo{586, "File Filter...", "Change the file filter string"},
    CommandInfo{550, "Refres&h", "Reload the current image file"},
    CommandInfo{57607, "&Print...", "Bring up the Print dialog"},
    CommandInfo{581, "Acquire...", "Acquire images from a scanner or camera through SANE"},
    CommandInfo{582, "Select Source...", ""},
    CommandInfo{585, "Send by E-&mail...", "Send selected images by E-mail"},
    CommandInfo{587, "Run...", "Run the current file with associated application"},
    CommandInfo{530, "E&xit", "Close the program"},
    CommandInfo{540, "&Previous File", "Move selection to previous image"},
    CommandInfo{541, "&Next File", "Move selection to next image"},
    CommandInfo{542, "&First File", "Move selection to the first image in the current folder"},
    CommandInfo{543, "&Last File", "Move selection to the last image in the current folder"},
    CommandInfo{544, "Previous Selected File", ""},
    CommandInfo{545, "Next Selected File", ""},
    CommandInfo{701, "S&tart/Stop Slide Show",
                "Start or stop automatic moving of the selection through current folder"},
    CommandInfo{700, "Ad&just Slide Show...", "Bring up the slide show parameters dialog"},
    CommandInfo{500, "P&revious Frame", "Show the previous frame of the animation"},
    CommandInfo{501, "N&ext Frame", "Show the next frame of the animation"},
    CommandInfo{502, "F&irst Frame", "Show the first frame of the animation"},
    CommandInfo{503, "L&ast Frame", "Show the last frame of the animation"},
    CommandInfo{504, "&Start/Stop Animation", "Start or stop the GIF animation"},
    CommandInfo{546, "Previous Folder", ""},
    CommandInfo{547, "Next Folder", ""},
    CommandInfo{583, "Find Image...", ""},
    CommandInfo{584, "Find Next Image", ""},
    CommandInfo{601, "&Name Bar", "Show or hide the name bar"},
    CommandInfo{602, "Image In&formation",
                "Show or hide the zoom, size, position and page over the image in the viewer"},
    CommandInfo{673, "Interactive &Lens", "Tun on or off the interactive lens mode"},
    CommandInfo{650, "Image &Properties", "Show/hide the image properties panel"},
    CommandInfo{660, "Zoom &In", "Zoom the image in"},
    CommandInfo{661, "Zoom &Out", "Zoom the image out"},
    CommandInfo{662, "Zoom &1:1", "Reset zoom showing the image in its original size"},
    CommandInfo{610, "&1:1", "Show current image in its actual size"},
    CommandInfo{613, "Fit &All",
                "Show current image so that it exactly fits into the viewing area size"},
    CommandInfo{
        614, "A&utofit",
        "Choose between \"Fit Height\" and \"Fit Width\" automatically basing on image proportion"},
    CommandInfo{611, "Fit &Width",
                "Show current image so that its width exactly fits into the viewing area size"},
    CommandInfo{612, "Fit &Height",
                "Show current image so that its height exactly fits into the viewing area size"},
    CommandInfo{615, "&Zoom all images", "Allow to zoom all images"},
    CommandInfo{617, "Zoom &large images only",
                "Allow to zoom large images only (larger than the viewing area)"},
    CommandInfo{616, "Zoom &small images only",
                "Allow to zoom small images only (smaller than the viewing area)"},
    CommandInfo{635, "Rotate by 90 &Deg. Counterclockwise",
                "Rotate the image by 90 degrees counterclockwise"},
    CommandInfo{634, "Rotate by 90 D&eg. Clockwise", "Rotate the image by 90 degrees clockwise"},
    CommandInfo{630, "&0 Deg.", "Reset image rotation"},
    CommandInfo{631, "90 &Deg. Clockwise", "Show image rotated 90 degrees clockwise"},
    CommandInfo{633, "90 D&eg. Counterclockwise", "Show image rotated 90 degrees counterclockwise"},
    CommandInfo{632, "&180 Deg.", "Turn image upside down"},
    CommandInfo{640, "Flip &Horizontally", "Flip (mirrors) image horizontally"},
    CommandInfo{641, "Flip &Vertically", "Flip (mirrors) image vertically"},
    CommandInfo{671, "&Reset All",
                "Reset rotation and flip settings and show the image in its normal position"},
    CommandInfo{620, "&Increase Gamma", "Brighten the image"},
    CommandInfo{621, "&Decrease Gamma", "Darken the image"},
    CommandInfo{622, "&Reset Gamma",
                "Reset gamma setting showing the image with its original brightness"},
    CommandInfo{681, "Scroll Left", ""},
    CommandInfo{682, "Scroll Right", ""},
    CommandInfo{683, "Scroll Left Slowly", ""},
    CommandInfo{684, "Scroll Right Slowly", ""},
    CommandInfo{685, "Reset Position", ""},
    CommandInfo{677, "Show Transparency", "Show image transparency"},
    CommandInfo{652, "Negativ&e", "Invert image colors"},
    CommandInfo{678, "Load progressively", "Load images progressively"},
    CommandInfo{675, "Squeeze with interpolation", "Squeeze images with high quality"},
    CommandInfo{676, "Stretch with interpolation", "Stretch images with high quality"},
    CommandInfo{498, "&Viewer/Browser", "Switch user interfaces"},
    CommandInfo{499, "F&ull Screen Viewing Mode", "Switch viewing modes"},
    CommandInfo{680, "&Browser Only (Esc to exit)", ""},
    CommandInfo{651, "&Disable Color Management Options",
                "Disable the color management options when displaying images"},
    CommandInfo{679, "Move Focus", ""},
    CommandInfo{2000, "&Add Folder...", "Add current folder to the list of favorites"},
    CommandInfo{2001, "&Delete...", "Bring up the favorites deletion dialog"},
    CommandInfo{2002, "&Configure...", "Bring up the \"Open with\" configuration dialog"},
    CommandInfo{670, "&JPEG Transformations", "Show/hide the lossless JPEG transformations panel"},
    CommandInfo{672, "Batch &Convertor", "Show/hide the Batch Convertor panel"},
    CommandInfo{705, "&GIF Animation Compiler...", "Compile selected images to an animated GIF"},
    CommandInfo{706, "&Icon/Cursor Compiler...", "Compile selected images to an icon/cursor"},
    CommandInfo{708, "Lumidrex...", "Edit the current image with Lumidrex"},
    CommandInfo{709, "Modify Exif Orientation Tag...",
                "Modify Exif Orientation tag in all selected images"},
    CommandInfo{707, "&PSD Decompiler...",
                "Extract layers from selected PSD files as a bunch of BMP or PNG files"},
    CommandInfo{702, "&Options...", "Show the options dialog"},
    CommandInfo{703, "&File Associations...",
                "Allow you to associate different file types with Kalder"},
    CommandInfo{704, "Customize &Toolbar...", "Bring up the toolbar customization dialog"},
    CommandInfo{800, "&Contents", ""},
    CommandInfo{801, "Search", ""},
    CommandInfo{802, "&About...", "Display some information about Kalder"},
    // The product pages at the end of the main menu; they have no prompts.
    CommandInfo{811, "&Lumidrex Home Page", ""},
    CommandInfo{812, "&Kalder Home Page", ""},
    CommandInfo{813, "&Support", ""},
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
    return submenu("S&ort Files", {command(kSortByName), command(kSortByExtension),
                                   command(kSortBySize), command(kSortByDate), separator(),
                                   command(kSortAscending), command(kSortDescending)});
}

MenuItem fitSubmenu() {
    return submenu(
        "&Fit", {command(kFit1To1), command(kFitAll), command(kAutofit), command(kFitWidth),
                 command(kFitHeight), separator(), command(kZoomAllImages), command(kZoomLargeOnly),
                 command(kZoomSmallOnly)});
}

MenuItem rotateFlipSubmenu(std::string_view panoramicText) {
    return submenu("&Rotate/Flip",
                   {command(kRotateCounterclockwise), command(kRotateClockwise),
                    submenu("Rotate to &Position", {command(kRotateTo0), command(kRotateTo90),
                                                    command(kRotateTo270), command(kRotateTo180)}),
                    separator(), command(kFlipHorizontally), command(kFlipVertically), separator(),
                    command(kResetRotateFlip), separator(),
                    submenu("&Gamma", {command(kGammaIncrease), command(kGammaDecrease),
                                       command(kGammaReset)}),
                    submenu(panoramicText, {command(kScrollLeft), command(kScrollRight),
                                            command(kScrollLeftSlowly), command(kScrollRightSlowly),
                                            command(kScrollReset)})});
}

MenuItem buildMainMenu() {
    MenuItem file =
        submenu("&File", {command(kOpenFile),
                          separator(),
                          command(kCopyImage),
                          command(kSelectAllFiles),
                          command(kDescribeImage),
                          command(kImagePalette),
                          separator(),
                          submenu("Set as Des&ktop Wallpaper",
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
                          submenu("Ac&quire", {command(kAcquire), command(kSelectSource)}),
                          command(kSendByEmail),
                          command(kRun),
                          separator(),
                          command(kExit)});
    MenuItem browse = submenu("&Browse", {command(kPreviousFile),
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
    MenuItem view = submenu("&View", {command(kNameBar),
                                      command(kImageInfoOverlay),
                                      command(kLens),
                                      command(kImageProperties),
                                      separator(),
                                      command(kZoomIn),
                                      command(kZoomOut),
                                      command(kZoomReset),
                                      separator(),
                                      fitSubmenu(),
                                      rotateFlipSubmenu("Panoramic &Scrolling"),
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
    MenuItem favorites = submenu("F&avorites", {slot(MenuItemKind::FavoriteSlot), separator(),
                                                command(kAddFavorite), command(kDeleteFavorites)});
    MenuItem openWith = submenu(
        "&Open with", {slot(MenuItemKind::OpenWithSlot), separator(), command(kConfigureOpenWith)});
    MenuItem tools =
        submenu("&Tools", {command(kJpegTransformations), command(kBatchConvertor), separator(),
                           command(kGifAnimationCompiler), command(kIconCursorCompiler),
                           command(kCompanionEditor), command(kExifOrientation),
                           command(kPsdDecompiler), separator(), command(kOptions),
                           command(kFileAssociations), command(kCustomizeToolbar)});
    MenuItem help = submenu(
        "&Help", {command(kHelpContents), command(kHelpSearch), separator(), command(kAbout)});
    MenuItem products = submenu("Ot&her Products", {command(kProductPage1), command(kProductPage2),
                                                    command(kProductPage3)});
    return submenu("",
                   {std::move(file), std::move(browse), std::move(view), std::move(favorites),
                    std::move(openWith), std::move(tools), std::move(help), std::move(products)});
}

MenuItem buildViewingAreaMenu() {
    return submenu(
        "", {command(kViewerBrowser),
             command(kFullScreen),
             separator(),
             command(kCopyImage),
             command(kDescribeImage, "&Describe Image..."),
             separator(),
             submenu("Browse", {command(kPreviousFile), command(kNextFile), command(kFirstFile),
                                command(kLastFile), command(kPreviousSelectedFile),
                                command(kNextSelectedFile), separator(), command(kSlideShow),
                                command(kAdjustSlideShow), separator(), command(kPreviousFrame),
                                command(kNextFrame), command(kFirstFrame), command(kLastFrame),
                                command(kAnimation), separator(), command(kPreviousFolder),
                                command(kNextFolder)}),
             submenu("Open with",
                     {slot(MenuItemKind::OpenWithSlot), separator(), command(kConfigureOpenWith)}),
             command(kImageProperties),
             command(kCompanionEditor),
             separator(),
             command(kZoomIn),
             command(kZoomOut),
             command(kZoomReset),
             separator(),
             fitSubmenu(),
             rotateFlipSubmenu("Panoramic &Scroll"),
             command(kShowTransparency),
             command(kNegative, "&Negative"),
             separator(),
             command(kLoadProgressively),
             command(kSqueezeInterpolated),
             command(kStretchInterpolated),
             separator(),
             command(kNameBar, "Na&me Bar")});
}

MenuItem buildFolderTreeMenu() {
    return submenu(
        "", {command(kNewFolder, "&New Folder"), command(kRenameFolder, "R&ename Folder"),
             command(kDeleteFolder, "De&lete Folder"), separator(),
             command(kAddFavorite, "&Add Folder to Favorites..."), separator(), command(kRefresh)});
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

MenuItem buildToolbarMenu() { return submenu("", {command(kCustomizeToolbar, "&Customize...")}); }

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
