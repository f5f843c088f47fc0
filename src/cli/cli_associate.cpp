#include "cli/cli_associate.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <ostream>
#include <system_error>

#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "image/format_table.h"
#include "shell/associations.h"
#include "shell/registry_store.h"

namespace kalder::cli {
namespace {
namespace fs = std::filesystem;

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Index into the format table of a short name ("PBM/PGM/PPM" also as "pnm") or an extension.
std::optional<std::size_t> formatOf(const std::string& word) {
    const std::string w = lower(word);
    const auto formats = image::formatTable();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (lower(std::string(formats[i].shortName)) == w) return i;
    }
    const std::string ext = w.starts_with(".") ? w : "." + w;
    for (const image::ExtensionRecord& e : image::extensionTable()) {
        if (e.extension == ext) {
            if (const image::FormatRecord* r = image::formatByCode(e.code))
                return static_cast<std::size_t>(r->index);
        }
    }
    return std::nullopt;
}

// The viewer itself, beside us; otherwise whatever "kalder" the PATH finds.
fs::path viewerExecutable() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    const fs::path viewer = self.parent_path() / "kalder";
    return fs::is_regular_file(viewer, ec) ? viewer : fs::path{};
}

void printStatus(const shell::Associations& a, std::ostream& out) {
    for (const image::FormatRecord& f : image::formatTable()) {
        int associated = 0;
        std::string extensions;
        for (auto i = f.firstExtension; i <= f.lastExtension; ++i) {
            const auto index = static_cast<std::size_t>(i);
            associated += a.IsAssociated(index) ? 1 : 0;
            extensions += std::string(image::extensionTable()[index].extension.substr(1)) + " ";
        }
        const int count = f.lastExtension - f.firstExtension + 1;
        const char* state = associated == count ? "yes" : associated == 0 ? "no" : "partly";
        out << f.shortName << "\t" << state << "\t" << extensions << "\n";
    }
}

struct AssociateRequest {
    bool status = false, all = false, restore = false;
    std::vector<std::size_t> formats;
};

std::string parseAssociate(const std::vector<std::string>& args, AssociateRequest& r) {
    for (const std::string& a : args) {
        if (a == "--status") {
            r.status = true;
        } else if (a == "--all") {
            r.all = true;
        } else if (a == "--restore") {
            r.restore = true;
        } else if (a.starts_with("--") || a.empty()) {
            return "unknown option: " + a;
        } else if (const auto f = formatOf(a)) {
            r.formats.push_back(*f);
        } else {
            return "unknown format: " + a;
        }
    }
    const int modes = (r.status ? 1 : 0) + (r.all ? 1 : 0) + (r.restore ? 1 : 0);
    if (modes > 1 || (modes == 0 && r.formats.empty()) ||
        ((r.status || r.all) && !r.formats.empty()))
        return "give --status, --all, FORMAT... or --restore";
    return {};
}

std::string checkAssociate(const std::vector<std::string>& args) {
    AssociateRequest r;
    return parseAssociate(args, r);
}

}  // namespace

int runAssociate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    AssociateRequest request;
    if (std::string error = parseAssociate(args, request); !error.empty())
        return usageError(err, "associate", error);
    const bool status = request.status, all = request.all, restore = request.restore;
    std::vector<std::size_t>& formats = request.formats;

    shell::RegistryStore store(shell::RegistryStore::defaultPath());
    if (!store.load()) {
        // Our undo values would be lost with a store we cannot read.
        err << "kalder-cli: " << store.file().string() << ": cannot be read\n";
        return 1;
    }
    shell::Associations a(shell::XdgFolders::fromEnvironment(), store, viewerExecutable());
    if (status) {
        printStatus(a, out);
        return 0;
    }
    if (formats.empty() && restore) {
        for (std::size_t i = 0; i < image::formatTable().size(); ++i) formats.push_back(i);
    }
    if (all) {
        a.AssociateAll();
    } else {
        for (std::size_t f : formats) a.SetFormatAssociated(f, !restore);
    }
    if (!a.flush()) {
        err << "kalder-cli: " << a.mimeAppsPath().string() << ": cannot be written\n";
        return 1;
    }
    return 0;
}

const Verb& associateVerb() {
    static const Verb verb = {
        "associate",
        "--status\n--all\nFORMAT...\n--restore [FORMAT...]",
        "make the viewer the default for image types, or give them back",
        "",
        "  --status           which types open with the viewer\n"
        "  --all              every type\n"
        "  --restore          give the types back to the applications they had\n",
        "none",
        checkAssociate,
        runAssociate,
    };
    return verb;
}

}  // namespace kalder::cli
