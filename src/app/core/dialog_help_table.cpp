#include "app/core/dialog_help_table.h"

#include <algorithm>
#include <array>

#include "kalder_config.h"

namespace kalder::app {

namespace {

using T = DialogTooltip;

constexpr T kAddApplication[] = {
    {0, "&Browse...", "Specify the application executable file directly"},
    {0, "Browse &shortcut...", "Choose an application from the Start menu or from the Desktop"},
    {1117, "", "The name which appears in the \"Open with\" menu"},
};
constexpr T kAddFavorite[] = {
    {1061, "", "The name which appears in the \"Favorites\" menu"},
};
constexpr T kSlideShow[] = {
    {0, "&Forward",
     "Selection in the image browser will be moved automatically forwards after the delay has "
     "passed"},
    {0, "&Backward",
     "Selection in the image browser will be moved automatically backwards after the delay has "
     "passed"},
    {0, "&Repeat",
     "If set and the last image in a folder has been shown the slide show will start again from "
     "the first image"},
};
constexpr T kOpenWithShortcuts[] = {
    {0, "&Add...", "Add a new application entry to the \"Open with\" menu"},
    {0, "R&emove", "Remove selected application entry from the menu"},
    {0, "Move &up", "Move the selected application entry up the list"},
    {0, "Move &down", "Move the selected application entry down the list"},
};
constexpr T kAssociations[] = {
    {0, "All", "Check all associations"},
    {0, "None", "Uncheck all associations"},
    {0, "Invert", "Invert checked associations"},
    {0, "&Verify file associations every time on startup",
     "Turn on or off checking if some other application has \"stolen\" some file associations "
     "from Kalder"},
};
constexpr T kGifGeneral[] = {
    {0, "&Browse...", "Specify the output file name and location"},
};
constexpr T kGifFrames[] = {
    {1186, "", "Amount of time the current frame is shown for (hundreths of a second)"},
    {0, "&Animate", "Start playing the animation using current frame settings"},
    {0, "Apply &to all", "Set current frame's delay to all frames of the animation"},
    {0, "Apply to all", "Set current frame's disposal method to all frames of the animation"},
};
constexpr T kInterlacedGif[] = {
    {0, "&Interlaced", "Force progressive image loading in the most of web browsers"},
};
constexpr T kSetDelay[] = {
    {1467, "", "Hundreths of a second"},
};
constexpr T kIconCompiler[] = {
    {0, "All", "Select all source images"},
    {0, "None", "Remove the selection"},
    {0, "Invert", "Invert the selection"},
    {0, "All", "Select all frames"},
    {0, "None", "Remove the selection"},
    {0, "Invert", "Invert the selection"},
    {1452, "", "Double-click to assign a hot spot"},
    {0, "&Add Page(s)",
     "Add selected image(s) from the \"Source Images\" list into the \"Pages\" list"},
    {0, "De&lete Page(s)", "Removes selected page(s) from the list"},
    {0, "Move Page(s) &Up", "Moves selected page(s) up the list"},
    {0, "Move Page(s) &Down", "Moves selected page(s) down the list"},
    {0, "Set Transparent &Image", "Set the image mask for the chosen page(s)"},
    {0, "Set Transparent C&olor", "Create image mask(s) automatically using a chosen color"},
    {0, "Set D&elay", "Assign delay to the chosen page(s)"},
    {0, "Set Hot &Spot",
     "Define coordinates of the pixel which works when user clicks a mouse button"},
    {0, "A&nimate", "Plays all pages sequentially as animation"},
    {0, "&Browse...", "Select a file name and location to save the icon or the cursor as"},
};
constexpr T kBatchGeneral[] = {
    {0, "&Place result to the following folder",
     "Force output to the specified folder instead of replacing originals (if converting to the "
     "same format)"},
    {0, "Copy sub-folder structure",
     "Check to copy the folder structure when writing files to the specified folder"},
    {0, "Browse...", "Choose the output folder"},
    {1527, "", "Prefix to be inserted before the destination file name"},
    {1540, "", "Suffix to be inserted after the destination file name"},
    {0, "&Keep original", "Leave the current (if any) comments intact"},
    {0, "P&reserve \"last modified\" date",
     "Allow copying of creation and modification dates from source to output file(s)"},
};
constexpr T kBatchFormat[] = {
    {0, "&Format Options...", "Bring up a format settings dialog for the chosen format"},
};
constexpr T kBatchResample[] = {
    {0, "d", "Default value"},
    {0, "d", "Default value"},
    {0, "&Maintain aspect ratio/maximize",
     "Forces keeping of the original image proportion when resampling"},
    {0, "&Swap width/height for vertical images",
     "Use the value specified in the \"Height\" field as width and the value specified in the "
     "\"Width\" as height if width of the original image is smaller than its height (i.e. it is "
     "vertical)"},
    {0, "d", "Default value"},
    {0, "d", "Default value"},
};
constexpr T kBatchOverlay[] = {
    {0, "&Browse...", "Specify the overlay image"},
    {1385, "", "Click one of the nine boxes to define overlay placement"},
    {0, "Preview font", "Check to use the custom font in the \"Text\" field"},
};
constexpr T kTextEffects[] = {
    {0, "&No background", "The text will be written directly upon the image"},
    {0, "&Box",
     "A rectangle of the specified color and transparency will be placed below the text"},
    {0, "&Shadow", "The text will cast a shadow"},
};
constexpr T kCopyMove[] = {
    {0, "&Browse...", "Choose a folder to copy to"},
};
constexpr T kProperties[] = {
    {0, "&Describe Image..", "Add or edit image description"},
    {0, "&Copy Report", "Copy content of the \"Tag\" and \"Value\" columns to the clipboard"},
    {0, "&Palette...", "Display the image palette"},
};
constexpr T kJpegTransform[] = {
    {0, "P&reserve \"last modified\" date",
     "Allow copying of creation and modification dates from source to output file(s)"},
    {0, "&Place result to the following folder:",
     "Force output to the specified folder instead of replacing originals"},
    {0, "Browse...", "Choose the output folder"},
};
constexpr T kOptionsViewer[] = {
    {0, "&Center loaded images and reset zooming",
     "Center each loaded image within the viewing area"},
    {0, "Wall&paper on the window background",
     "Enable the wallpaper on the viewing area background"},
    {0, "Use E&xif data to automatically orient images",
     "Use Exif orientation tag to automatically rotate/flip images"},
    {0, "&Enable dithering",
     "Enable dithering in 16-bit (high-color) and 8-bit (256 colors) display modes"},
    {1164, "",
     "If image width and height are lesser than this value no interpolation will be applied"},
    {0, "&Transparency background...",
     "Customize the color on which images with transparency are overlaid"},
    {0, "&Window background color...", "Customize the color of the viewing area background"},
};
constexpr T kOptionsOsd[] = {
    {0, "E&nable on-screen display", "Turn on OSD elements (arrows and the gamma indicator)"},
};
constexpr T kOptionsColor[] = {
    {0, "Color profiles", "Use color profile to adjust the colors"},
    {0, "Custom calibration", "Define the color adjustment values manually"},
    {0, "Use default color profile", "Use the system default color profile file"},
};
constexpr T kMiscControls[] = {
    {1715, "", "The effect of Page Up, Page Down, Home and End keys"},
    {1718, "", "The effect of the mouse wheel"},
    {0,
     "As in the As in &Windows Explorer (moves files, +Ctrl copies files)file manager (moves "
     "files, +Ctrl copies files)",
     "If checked, Drag-and-Drop moves files and +Ctrl copies them; if unchecked, Drag-and-Drop "
     "copies files and +Shift moves them"},
    {0, "&Ask before copying/moving files",
     "If checked, you will be asked for confirmation before copying/moving files"},
};
constexpr T kBmpOptions[] = {
    {0, "&RLE-compressed", "Force the use of RLE compression on 256-color files"},
};
constexpr T kJpegOptions[] = {
    {1272, "", "Reduce color representation quality to make the output file smaller"},
    {0, "&Progressive", "Forces progressive image loading in some web browsers"},
    {0, "&Copy Exif information", "Copy Exif data (if any) from the source to the output file"},
    {0, "&Gray-scale", "Force conversion of the image(s) to gray-scale"},
};
constexpr T kPngOptions[] = {
    {1287, "", "Set the value of the integrated gamma correction mechanism"},
    {0, "*", "Reset the value"},
    {0, "&Interlaced", "Force progressive image loading in some web browsers"},
};
constexpr T kTgaOptions[] = {
    {0, "&RLE-compressed", "Force the use of RLE compression"},
};
constexpr T kPrint[] = {
    {0, "P&roperties...", "Bring up the printer settings dialog"},
    {0, "&Zoom to maximize",
     "Force stretching of image to the size of its printing area so that it occupies it wholly"},
    {0, "Custom size...",
     "Define custom size for all images. This value resets each time you change the printer "
     "settings or number of copies"},
    {1419, "", "The number of copies of each image"},
    {0, "d", "Default value"},
    {0, "d", "Default value"},
};
constexpr T kTransparency[] = {
    {0, "&Retain original transparency",
     "Transparency will be copied from source image(s) to output"},
    {0, "R&emove any transparency", "No transparency will be copied from source image to output"},
    {0, "&Use RGB to specify the transparent color", "Specify the transparent color manually"},
    {0, "U&se the transparent palette index",
     "Specify the index of a color in palette to become transparent"},
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
