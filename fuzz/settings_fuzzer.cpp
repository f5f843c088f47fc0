// The settings file and our registry store file, both read at every start from a place the user
// can write to. Checks that reading never fails hard and that what was read is written back
// the same way (reading the written bytes gives the same bytes again).
#include <cstdint>
#include <string>
#include <string_view>

#include "app/core/settings.h"
#include "shell/registry_store.h"

namespace {

const kalder::app::FixedScreenInfo kScreen({1280, 1024}, kalder::app::Rect{0, 0, 1280, 984}, 17);

void settingsRoundTrip(const std::uint8_t* data, std::size_t size) {
    using namespace kalder::app;
    const SettingsContext context{{}, &kScreen, "/home/user", nullptr};
    Settings first;
    first.SetDefaults(context);
    readSettingsFile({data, size}, first);
    checkWindowRects(first, kScreen.screenSize());
    const auto written = writeSettingsFile(first);

    Settings second;
    second.SetDefaults(context);
    if (readSettingsFile(written, second) != SettingsLoad::Complete) __builtin_trap();
    // Bytes, not values: a NaN gamma never equals itself.
    if (writeSettingsFile(second) != written) __builtin_trap();
}

void registryRoundTrip(const std::uint8_t* data, std::size_t size) {
    kalder::shell::RegistryStore store;
    store.parse(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string text = store.serialize();
    kalder::shell::RegistryStore again;
    again.parse(text);
    if (again.serialize() != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    settingsRoundTrip(data, size);
    registryRoundTrip(data, size);
    return 0;
}
