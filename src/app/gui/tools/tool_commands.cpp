#include "app/gui/tools/tool_commands.h"

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/gui/tools/associations/associations_dialog.h"
#include "app/gui/tools/batch_convertor/batch_convertor_commands.h"
#include "app/gui/tools/clipboard/clipboard_commands.h"
#include "app/gui/tools/companion/companion_dialog.h"
#include "app/gui/tools/gif_compiler/gif_compiler_dialog.h"
#include "app/gui/tools/icon_compiler/icon_compiler_prompts.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_commands.h"
#include "app/gui/tools/mail/mail_commands.h"
#include "app/gui/tools/print/print_commands.h"
#include "app/gui/tools/psd_decompiler/psd_decompiler_dialog.h"
#include "app/gui/tools/scan/scan_dialogs.h"
#include "app/gui/tools/tool_context.h"
#include "app/gui/tools/user_lists/user_list_dialogs.h"
#include "app/gui/tools/wallpaper/wallpaper_commands.h"

namespace kalder::gui {

void registerToolCommands(ToolContext& context) {
    registerBatchConvertorCommands(context);
    registerAssociationCommands(context);
    registerGifCompiler(context);
    registerJpegTransformCommands(context);
    registerMailCommands(context);
    registerPsdDecompiler(context);
    registerClipboardCommands(context);
    registerWallpaperCommands(context);
    registerScanCommands(context);
    registerPrintCommand(context);
    registerUserListCommands(context);
    registerCompanionCommands(context);
    context.commands().on(app::cmd::kIconCursorCompiler,
                          [&context](app::CommandId) { runIconCompiler(context); });
}

}  // namespace kalder::gui
