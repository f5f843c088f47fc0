// The table of kalder-cli's verbs: what the dispatcher runs and the help is made from.
#include <array>

#include "cli/cli_verb.h"

namespace kalder::cli {

std::span<const Verb* const> verbs() {
    static const std::array<const Verb*, 15> table = {
        &infoVerb(),          &decodeVerb(),          &thumbVerb(),      &thumbsVerb(),
        &exifVerb(),          &sendMailVerb(),        &gifCompileVerb(), &iconCompileVerb(),
        &jpegTransformVerb(), &exifOrientationVerb(), &convertVerb(),    &psdLayersVerb(),
        &scanVerb(),          &associateVerb(),       &companionVerb(),
    };
    return table;
}

const Verb* findVerb(std::string_view name) {
    for (const Verb* v : verbs())
        if (name == v->name) return v;
    return nullptr;
}

}  // namespace kalder::cli
