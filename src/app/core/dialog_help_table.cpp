#include "app/core/dialog_help_table.h"

#include <algorithm>
#include <array>

#include "app/core/translatable.h"
#include "kalder_config.h"

namespace kalder::app {

namespace {

using T = DialogTooltip;

constexpr T kAddApplication[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Specify the application executable file directly")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Browse &shortcut..."),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Choose an application from the Start menu or from the Desktop")},
    {1117, "", QT_TRANSLATE_NOOP("DialogHelp", "The name which appears in the \"Open with\" menu")},
};
constexpr T kAddFavorite[] = {
    {1061, "", QT_TRANSLATE_NOOP("DialogHelp", "The name which appears in the \"Favorites\" menu")},
};
constexpr T kSlideShow[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Forward"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Selection in the image browser will be moved automatically forwards after the delay has "
         "passed")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Backward"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Selection in the image browser will be moved automatically backwards after the delay has "
         "passed")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Repeat"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "If set and the last image in a folder has been shown the slide show will "
                       "start again from "
                       "the first image")},
};
constexpr T kOpenWithShortcuts[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Add..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Add a new application entry to the \"Open with\" menu")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "R&emove"),
     QT_TRANSLATE_NOOP("DialogHelp", "Remove selected application entry from the menu")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Move &up"),
     QT_TRANSLATE_NOOP("DialogHelp", "Move the selected application entry up the list")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Move &down"),
     QT_TRANSLATE_NOOP("DialogHelp", "Move the selected application entry down the list")},
};
constexpr T kAssociations[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "All"),
     QT_TRANSLATE_NOOP("DialogHelp", "Check all associations")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "None"),
     QT_TRANSLATE_NOOP("DialogHelp", "Uncheck all associations")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Invert"),
     QT_TRANSLATE_NOOP("DialogHelp", "Invert checked associations")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Verify file associations every time on startup"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Turn on or off checking if some other application has \"stolen\" some file associations "
         "from Kalder")},
};
constexpr T kGifGeneral[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Specify the output file name and location")},
};
constexpr T kGifFrames[] = {
    {1186, "",
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Amount of time the current frame is shown for (hundreths of a second)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Animate"),
     QT_TRANSLATE_NOOP("DialogHelp", "Start playing the animation using current frame settings")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Apply &to all"),
     QT_TRANSLATE_NOOP("DialogHelp", "Set current frame's delay to all frames of the animation")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Apply to all"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Set current frame's disposal method to all frames of the animation")},
};
constexpr T kInterlacedGif[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Interlaced"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Force progressive image loading in the most of web browsers")},
};
constexpr T kSetDelay[] = {
    {1467, "", QT_TRANSLATE_NOOP("DialogHelp", "Hundreths of a second")},
};
constexpr T kIconCompiler[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "All"),
     QT_TRANSLATE_NOOP("DialogHelp", "Select all source images")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "None"),
     QT_TRANSLATE_NOOP("DialogHelp", "Remove the selection")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Invert"),
     QT_TRANSLATE_NOOP("DialogHelp", "Invert the selection")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "All"),
     QT_TRANSLATE_NOOP("DialogHelp", "Select all frames")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "None"),
     QT_TRANSLATE_NOOP("DialogHelp", "Remove the selection")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Invert"),
     QT_TRANSLATE_NOOP("DialogHelp", "Invert the selection")},
    {1452, "", QT_TRANSLATE_NOOP("DialogHelp", "Double-click to assign a hot spot")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Add Page(s)"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Add selected image(s) from the \"Source Images\" list into the \"Pages\" list")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "De&lete Page(s)"),
     QT_TRANSLATE_NOOP("DialogHelp", "Removes selected page(s) from the list")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Move Page(s) &Up"),
     QT_TRANSLATE_NOOP("DialogHelp", "Moves selected page(s) up the list")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Move Page(s) &Down"),
     QT_TRANSLATE_NOOP("DialogHelp", "Moves selected page(s) down the list")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Set Transparent &Image"),
     QT_TRANSLATE_NOOP("DialogHelp", "Set the image mask for the chosen page(s)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Set Transparent C&olor"),
     QT_TRANSLATE_NOOP("DialogHelp", "Create image mask(s) automatically using a chosen color")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Set D&elay"),
     QT_TRANSLATE_NOOP("DialogHelp", "Assign delay to the chosen page(s)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Set Hot &Spot"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Define coordinates of the pixel which works when user clicks a mouse button")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "A&nimate"),
     QT_TRANSLATE_NOOP("DialogHelp", "Plays all pages sequentially as animation")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Select a file name and location to save the icon or the cursor as")},
};
constexpr T kBatchGeneral[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Place result to the following folder"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Force output to the specified folder instead of replacing originals (if "
                       "converting to the "
                       "same format)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Copy sub-folder structure"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Check to copy the folder structure when writing files to the specified folder")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Choose the output folder")},
    {1527, "",
     QT_TRANSLATE_NOOP("DialogHelp", "Prefix to be inserted before the destination file name")},
    {1540, "",
     QT_TRANSLATE_NOOP("DialogHelp", "Suffix to be inserted after the destination file name")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Keep original"),
     QT_TRANSLATE_NOOP("DialogHelp", "Leave the current (if any) comments intact")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "P&reserve \"last modified\" date"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Allow copying of creation and modification dates from source to output file(s)")},
};
constexpr T kBatchFormat[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Format Options..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Bring up a format settings dialog for the chosen format")},
};
constexpr T kBatchResample[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Maintain aspect ratio/maximize"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Forces keeping of the original image proportion when resampling")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Swap width/height for vertical images"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Use the value specified in the \"Height\" field as width and the value specified in the "
         "\"Width\" as height if width of the original image is smaller than its height (i.e. it "
         "is "
         "vertical)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
};
constexpr T kBatchOverlay[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Specify the overlay image")},
    {1385, "",
     QT_TRANSLATE_NOOP("DialogHelp", "Click one of the nine boxes to define overlay placement")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Preview font"),
     QT_TRANSLATE_NOOP("DialogHelp", "Check to use the custom font in the \"Text\" field")},
};
constexpr T kTextEffects[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&No background"),
     QT_TRANSLATE_NOOP("DialogHelp", "The text will be written directly upon the image")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Box"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "A rectangle of the specified color and transparency will be placed below the text")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Shadow"),
     QT_TRANSLATE_NOOP("DialogHelp", "The text will cast a shadow")},
};
constexpr T kCopyMove[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Choose a folder to copy to")},
};
constexpr T kProperties[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Describe Image.."),
     QT_TRANSLATE_NOOP("DialogHelp", "Add or edit image description")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Copy Report"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Copy content of the \"Tag\" and \"Value\" columns to the clipboard")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Palette..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Display the image palette")},
};
constexpr T kJpegTransform[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "P&reserve \"last modified\" date"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Allow copying of creation and modification dates from source to output file(s)")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Place result to the following folder:"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Force output to the specified folder instead of replacing originals")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Browse..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Choose the output folder")},
};
constexpr T kOptionsViewer[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Center loaded images and reset zooming"),
     QT_TRANSLATE_NOOP("DialogHelp", "Center each loaded image within the viewing area")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Wall&paper on the window background"),
     QT_TRANSLATE_NOOP("DialogHelp", "Enable the wallpaper on the viewing area background")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Use E&xif data to automatically orient images"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Use Exif orientation tag to automatically rotate/flip images")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Enable dithering"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Enable dithering in 16-bit (high-color) and 8-bit (256 colors) display modes")},
    {1164, "",
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "If image width and height are lesser than this value no interpolation will be applied")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Transparency background..."),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Customize the color on which images with transparency are overlaid")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Window background color..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Customize the color of the viewing area background")},
};
constexpr T kOptionsOsd[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "E&nable on-screen display"),
     QT_TRANSLATE_NOOP("DialogHelp", "Turn on OSD elements (arrows and the gamma indicator)")},
};
constexpr T kOptionsColor[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Color profiles"),
     QT_TRANSLATE_NOOP("DialogHelp", "Use color profile to adjust the colors")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Custom calibration"),
     QT_TRANSLATE_NOOP("DialogHelp", "Define the color adjustment values manually")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Use default color profile"),
     QT_TRANSLATE_NOOP("DialogHelp", "Use the system default color profile file")},
};
constexpr T kMiscControls[] = {
    {1715, "",
     QT_TRANSLATE_NOOP("DialogHelp", "The effect of Page Up, Page Down, Home and End keys")},
    {1718, "", QT_TRANSLATE_NOOP("DialogHelp", "The effect of the mouse wheel")},
    {0,
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "As in the As in &Windows Explorer (moves files, +Ctrl copies files)file manager (moves "
         "files, +Ctrl copies files)"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "If checked, Drag-and-Drop moves files and +Ctrl copies them; if unchecked, Drag-and-Drop "
         "copies files and +Shift moves them")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Ask before copying/moving files"),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "If checked, you will be asked for confirmation before copying/moving files")},
};
constexpr T kBmpOptions[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&RLE-compressed"),
     QT_TRANSLATE_NOOP("DialogHelp", "Force the use of RLE compression on 256-color files")},
};
constexpr T kJpegOptions[] = {
    {1272, "",
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Reduce color representation quality to make the output file smaller")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Progressive"),
     QT_TRANSLATE_NOOP("DialogHelp", "Forces progressive image loading in some web browsers")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Copy Exif information"),
     QT_TRANSLATE_NOOP("DialogHelp", "Copy Exif data (if any) from the source to the output file")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Gray-scale"),
     QT_TRANSLATE_NOOP("DialogHelp", "Force conversion of the image(s) to gray-scale")},
};
constexpr T kPngOptions[] = {
    {1287, "",
     QT_TRANSLATE_NOOP("DialogHelp", "Set the value of the integrated gamma correction mechanism")},
    {0, "*", QT_TRANSLATE_NOOP("DialogHelp", "Reset the value")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Interlaced"),
     QT_TRANSLATE_NOOP("DialogHelp", "Force progressive image loading in some web browsers")},
};
constexpr T kTgaOptions[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&RLE-compressed"),
     QT_TRANSLATE_NOOP("DialogHelp", "Force the use of RLE compression")},
};
constexpr T kPrint[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "P&roperties..."),
     QT_TRANSLATE_NOOP("DialogHelp", "Bring up the printer settings dialog")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Zoom to maximize"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Force stretching of image to the size of its printing area so that it "
                       "occupies it wholly")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "Custom size..."),
     QT_TRANSLATE_NOOP(
         "DialogHelp",
         "Define custom size for all images. This value resets each time you change the printer "
         "settings or number of copies")},
    {1419, "", QT_TRANSLATE_NOOP("DialogHelp", "The number of copies of each image")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "d"), QT_TRANSLATE_NOOP("DialogHelp", "Default value")},
};
constexpr T kTransparency[] = {
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Retain original transparency"),
     QT_TRANSLATE_NOOP("DialogHelp", "Transparency will be copied from source image(s) to output")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "R&emove any transparency"),
     QT_TRANSLATE_NOOP("DialogHelp", "No transparency will be copied from source image to output")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "&Use RGB to specify the transparent color"),
     QT_TRANSLATE_NOOP("DialogHelp", "Specify the transparent color manually")},
    {0, QT_TRANSLATE_NOOP("DialogHelp", "U&se the transparent palette index"),
     QT_TRANSLATE_NOOP("DialogHelp",
                       "Specify the index of a color in palette to become transparent")},
};

constexpr DialogHelpEntry kTable[] = {
    {204, "Add Application", kAddApplication, "open_with", 0},
    {165, "Add Folder to Favorites", kAddFavorite, "main_menu_4", 0},
    {145, "Adjust Slide Show", kSlideShow, "adjust_slide_show", 0},
    {202, "Add/Remove Application Shortcuts", kOpenWithShortcuts, "open_with", 0},
    {167, "File Associations", kAssociations, "main_menu_6", 0},
    {222, "GIF Animation Compiler", {}, "gif_animation_compiler", 296},
    {228, "GIF Animation Compiler / General", kGifGeneral, "gif_animation_compiler_1", 0},
    {229, "GIF Animation Compiler / Frames", kGifFrames, "gif_animation_compiler_2", 0},
    {231, "GIF Animation Compiler / Format", kInterlacedGif, "gif_animation_compiler_3", 0},
    {269, "Set Delay", kSetDelay, "", 0},
    {266, "Icon/Cursor Compiler", kIconCompiler, "icon_cursor_compiler", 297},
    {233, "Batch Convertor", {}, "batch_convertor", 294},
    {234, "Batch Convertor / General", kBatchGeneral, "batch_convertor_1", 0},
    {235, "Batch Convertor / Format", kBatchFormat, "batch_convertor_2", 0},
    {252, "Batch Convertor / Rotate/Flip", {}, "batch_convertor_3", 0},
    {250, "Batch Convertor / Resample", kBatchResample, "batch_convertor_4", 0},
    {253, "Batch Convertor / Overlay", kBatchOverlay, "batch_convertor_5", 0},
    {359, "Text Overlay Effects", kTextEffects, "batch_convertor_5_effs", 0},
    {259, "Copy/Move to Folder", kCopyMove, "main_menu_1", 0},
    {166, "Delete Folders from Favorites", {}, "main_menu_4", 0},
    {164, "Describe Image", {}, "main_menu_1", 0},
    {135, "Image Properties", kProperties, "image_properties", 0},
    {206, "JPEG Transformations", kJpegTransform, "jpeg_transformations", 298},
    {138, "Options", {}, "options", 0},
    {328, "Options / Viewer", kOptionsViewer, "options_1", 0},
    {329, "Options / OSD", kOptionsOsd, "options_2", 0},
    {332, "Options / Color Management", kOptionsColor, "options_3", 0},
    {333, "Options / Controls", {}, "options_4", 0},
    {355, "Miscellaneous Controls", kMiscControls, "options_4", 0},
    {331, "Options / Misc.", {}, "options_5", 0},
    {239, "BMP Options", kBmpOptions, "batch_convertor_2", 0},
    {238, "GIF Options", kInterlacedGif, "batch_convertor_2", 0},
    {240, "JPEG Options", kJpegOptions, "batch_convertor_2", 0},
    {244, "PNG Options", kPngOptions, "batch_convertor_2", 0},
    {249, "TGA Options", kTgaOptions, "batch_convertor_2", 0},
    {247, "TIFF Options", {}, "batch_convertor_2", 0},
    {258, "Print", kPrint, "print", 299},
    {211, "Customize Toolbar", {}, "main_menu_6", 0},
    {187, "File Associations Changed", {}, "main_menu_6", 0},
    {243, "Transparency Options", kTransparency, "transparency_options", 0},
    {285, "PSD Decompiler", {}, "main_menu_6", 0},
    {312, "Find Image", {}, "main_menu_2", 0},
    {314, "Send Image(s) by E-mail", {}, "email", 0},
    {316, "E-mail Options", {}, "email", 0},
    {322, "Locate Lumidrex", {}, "", 340},
    {352, "Modify Exif Orientation Tag", {}, "main_menu_6", 0},
    {354, "File Filter", {}, "file_filter", 0},
};
static_assert(std::size(kTable) == 47);

struct TopicRow {
    std::string_view topic;
    HelpLocation location;
};

constexpr TopicRow kTopics[] = {
    {"index", {"index.html", ""}},
    {"open_with", {"open_with.html", ""}},
    {"main_menu_1", {"file_menu.html", ""}},
    {"main_menu_2", {"browse_menu.html", ""}},
    {"main_menu_4", {"favorites.html", ""}},
    {"main_menu_6", {"tools_menu.html", ""}},
    {"adjust_slide_show", {"slide_show.html", ""}},
    {"gif_animation_compiler", {"gif_animation_compiler.html", ""}},
    {"gif_animation_compiler_1", {"gif_animation_compiler.html", "general"}},
    {"gif_animation_compiler_2", {"gif_animation_compiler.html", "frames"}},
    {"gif_animation_compiler_3", {"gif_animation_compiler.html", "format"}},
    {"icon_cursor_compiler", {"icon_cursor_compiler.html", ""}},
    {"batch_convertor", {"batch_convertor.html", ""}},
    {"batch_convertor_1", {"batch_convertor.html", "general"}},
    {"batch_convertor_2", {"batch_convertor.html", "format"}},
    {"batch_convertor_3", {"batch_convertor.html", "rotate-flip"}},
    {"batch_convertor_4", {"batch_convertor.html", "resample"}},
    {"batch_convertor_5", {"batch_convertor.html", "overlay"}},
    {"batch_convertor_5_effs", {"batch_convertor.html", "text-effects"}},
    {"image_properties", {"image_properties.html", ""}},
    {"jpeg_transformations", {"jpeg_transformations.html", ""}},
    {"options", {"options.html", ""}},
    {"options_1", {"options.html", "viewer"}},
    {"options_2", {"options.html", "osd"}},
    {"options_3", {"options.html", "color"}},
    {"options_4", {"options.html", "controls"}},
    {"options_5", {"options.html", "misc"}},
    {"print", {"print.html", ""}},
    {"transparency_options", {"transparency_options.html", ""}},
    {"email", {"email.html", ""}},
    {"file_filter", {"file_filter.html", ""}},
};

constexpr auto kTopicIds = [] {
    std::array<std::string_view, std::size(kTopics)> ids{};
    for (std::size_t i = 0; i < ids.size(); ++i) ids[i] = kTopics[i].topic;
    return ids;
}();

}  // namespace

std::span<const DialogHelpEntry> dialogHelpTable() { return kTable; }

const DialogHelpEntry* findDialogHelp(std::int32_t templateNumber) {
    if (templateNumber == 0) return nullptr;
    for (const auto& entry : kTable) {
        if (entry.templateNumber == templateNumber) return &entry;
    }
    return nullptr;
}

std::optional<HelpLocation> helpLocation(std::string_view topic) {
    for (const auto& row : kTopics) {
        if (row.topic == topic) return row.location;
    }
    return std::nullopt;
}

std::span<const std::string_view> helpTopics() { return kTopicIds; }

std::vector<std::filesystem::path> helpDirectoryCandidates(const std::filesystem::path& exeDir) {
    return {exeDir / "help", exeDir.parent_path() / config::kDataDir / "kalder" / "help",
            exeDir.parent_path() / "help", exeDir.parent_path().parent_path() / "help",
            std::filesystem::path(config::kFullDataDir) / "kalder" / "help"};
}

std::optional<std::filesystem::path> findHelpDirectory(const std::filesystem::path& exeDir) {
    for (const auto& dir : helpDirectoryCandidates(exeDir)) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(dir / "index.html", ec)) return dir;
    }
    return std::nullopt;
}

std::int32_t tooltipDuration(std::int32_t doubleClickMs) {
    // The delay is a 16-bit value; a long double-click time saturates rather than wrapping
    // round to a short delay.
    const std::int64_t ms =
        static_cast<std::int64_t>(std::max(doubleClickMs, 0)) * kTooltipDurationFactor;
    return static_cast<std::int32_t>(std::min<std::int64_t>(ms, 0xFFFF));
}

}  // namespace kalder::app
