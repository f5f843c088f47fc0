#include "shell/scanner.h"

#include <dlfcn.h>
#include <sane/sane.h>
#include <sane/saneopts.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <type_traits>

#include "base/limits.h"
#include "base/strings.h"

namespace kalder::shell {

namespace {

// Scans beyond these are refused before anything is allocated: a confused backend may announce
// any size, and a hand-scanner never announces its height at all.
constexpr std::size_t kReadChunk = 64 * 1024;

// The SANE library is opened on the first scan request rather than linked: the program (and its
// package) then runs without it and its many backends, and only scanning needs it installed.
struct SaneLibrary {
    decltype(&::sane_init) init = nullptr;
    decltype(&::sane_get_devices) get_devices = nullptr;
    decltype(&::sane_open) open = nullptr;
    decltype(&::sane_close) close = nullptr;
    decltype(&::sane_get_option_descriptor) get_option_descriptor = nullptr;
    decltype(&::sane_control_option) control_option = nullptr;
    decltype(&::sane_get_parameters) get_parameters = nullptr;
    decltype(&::sane_start) start = nullptr;
    decltype(&::sane_read) read = nullptr;
    decltype(&::sane_cancel) cancel = nullptr;
    decltype(&::sane_strstatus) strstatus = nullptr;
    bool loaded = false;
};

constexpr char kSaneLibraryName[] = "libsane.so.1";

const SaneLibrary& sane() {
    static const SaneLibrary library = [] {
        SaneLibrary l;
        void* handle = ::dlopen(kSaneLibraryName, RTLD_NOW | RTLD_LOCAL);
        if (!handle) return l;
        auto bind = [handle](auto& fn, const char* symbol) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(handle, symbol));
            return fn != nullptr;
        };
        // Kept open for the life of the process, like the library's own state.
        l.loaded = bind(l.init, "sane_init") && bind(l.get_devices, "sane_get_devices") &&
                   bind(l.open, "sane_open") && bind(l.close, "sane_close") &&
                   bind(l.get_option_descriptor, "sane_get_option_descriptor") &&
                   bind(l.control_option, "sane_control_option") &&
                   bind(l.get_parameters, "sane_get_parameters") && bind(l.start, "sane_start") &&
                   bind(l.read, "sane_read") && bind(l.cancel, "sane_cancel") &&
                   bind(l.strstatus, "sane_strstatus");
        return l;
    }();
    return library;
}

// The library keeps global state and reads its configuration once, so it is initialised once per
// process; this lock serialises the calls that touch the device list.
std::mutex& libraryLock() {
    static std::mutex lock;
    return lock;
}

// Only called once sane().loaded holds.
SANE_Status libraryStatus() {
    static const SANE_Status status = [] {
        SANE_Int version = 0;
        // Initialised once per process and never shut down: sane_exit would unload the backends
        // while threads of a scan still being cancelled might call into them, and at process end
        // the system frees what they hold anyway.
        return sane().init(&version, nullptr);
    }();
    return status;
}

ScanStatus fromSane(SANE_Status s) {
    ScanStatus out;
    switch (s) {
        case SANE_STATUS_GOOD:
        case SANE_STATUS_EOF:
            return out;
        case SANE_STATUS_UNSUPPORTED:
            out.error = ScanError::Unsupported;
            break;
        case SANE_STATUS_CANCELLED:
            out.error = ScanError::Cancelled;
            break;
        case SANE_STATUS_DEVICE_BUSY:
            out.error = ScanError::Busy;
            break;
        case SANE_STATUS_INVAL:
            out.error = ScanError::Invalid;
            break;
        case SANE_STATUS_JAMMED:
            out.error = ScanError::Jammed;
            break;
        case SANE_STATUS_NO_DOCS:
            out.error = ScanError::NoDocuments;
            break;
        case SANE_STATUS_COVER_OPEN:
            out.error = ScanError::CoverOpen;
            break;
        case SANE_STATUS_NO_MEM:
            out.error = ScanError::OutOfMemory;
            break;
        case SANE_STATUS_ACCESS_DENIED:
            out.error = ScanError::AccessDenied;
            break;
        case SANE_STATUS_IO_ERROR:
        default:
            out.error = ScanError::Io;
            break;
    }
    out.detail = sane().strstatus(s);
    return out;
}

ScanStatus failure(ScanError e, std::string detail = {}) { return {e, std::move(detail)}; }

std::optional<double> parseNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string numberText(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc{} ? std::string(buf, end) : std::string();
}

double wordValue(SANE_Value_Type type, SANE_Word w) {
    return type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}

SANE_Word toWord(SANE_Value_Type type, double v) {
    if (type == SANE_TYPE_FIXED) {
        v = std::clamp(v, -32767.0, 32767.0);
        return SANE_FIX(v);
    }
    v = std::clamp(std::round(v), -2147483647.0, 2147483647.0);
    return static_cast<SANE_Word>(v);
}

// A frame's sample at column x, channel c, as 0..255. Bounds were checked by the caller.
std::uint8_t sampleAt(const std::uint8_t* row, std::int64_t x, int channels, int c, int depth,
                      bool oneIsBlack) {
    const std::int64_t index = x * channels + c;
    if (depth == 1) {
        const bool bit = (row[index >> 3] >> (7 - (index & 7))) & 1;
        return (bit != oneIsBlack) ? 255 : 0;
    }
    if (depth == 8) return row[index];
    std::uint16_t v = 0;
    std::memcpy(&v, row + index * 2, 2);  // host byte order, as the backends deliver it
    return static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

std::string_view scanErrorMessage(ScanError error) {
    switch (error) {
        case ScanError::None:
            return "no error";
        case ScanError::Unavailable:
            return "the scanner library is not available";
        case ScanError::NoDevice:
            return "the scanner was not found";
        case ScanError::Busy:
            return "the scanner is busy";
        case ScanError::Cancelled:
            return "the scan was cancelled";
        case ScanError::NoDocuments:
            return "the document feeder is empty";
        case ScanError::Jammed:
            return "the document feeder is jammed";
        case ScanError::CoverOpen:
            return "the scanner cover is open";
        case ScanError::AccessDenied:
            return "access to the scanner was denied";
        case ScanError::Io:
            return "the scanner reported an input/output error";
        case ScanError::OutOfMemory:
            return "out of memory";
        case ScanError::Unsupported:
            return "the scanner does not support this";
        case ScanError::Invalid:
            return "invalid scanner setting";
        case ScanError::TooLarge:
            return "the scan is too large";
    }
    return "unknown scanner error";
}

std::string ScanStatus::text() const {
    std::string t(scanErrorMessage(error));
    if (!detail.empty()) t += " (" + detail + ")";
    return t;
}

std::string ScannerDevice::label() const {
    std::string t = vendor;
    if (!model.empty()) t += (t.empty() ? "" : " ") + model;
    return t.empty() ? name : t + " (" + name + ")";
}

struct Scanner::Impl {
    SANE_Handle handle = nullptr;

    // The option's number and descriptor, or 0 when the backend has no such option.
    std::pair<SANE_Int, const SANE_Option_Descriptor*> find(std::string_view name) const {
        SANE_Int count = 0;
        const SANE_Option_Descriptor* first = sane().get_option_descriptor(handle, 0);
        if (!first || first->type != SANE_TYPE_INT ||
            sane().control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
                SANE_STATUS_GOOD)
            return {0, nullptr};
        for (SANE_Int i = 1; i < count; ++i) {
            const SANE_Option_Descriptor* d = sane().get_option_descriptor(handle, i);
            if (d && d->name && name == d->name) return {i, d};
        }
        return {0, nullptr};
    }

    std::optional<double> numberOption(std::string_view name) const {
        auto [index, d] = find(name);
        if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) ||
            (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
            d->size < static_cast<SANE_Int>(sizeof(SANE_Word)))
            return std::nullopt;
        std::vector<SANE_Word> value(static_cast<std::size_t>(d->size) / sizeof(SANE_Word) + 1);
        if (sane().control_option(handle, index, SANE_ACTION_GET_VALUE, value.data(), nullptr) !=
            SANE_STATUS_GOOD)
            return std::nullopt;
        return wordValue(d->type, value[0]);
    }

    std::string stringOption(std::string_view name) const {
        auto [index, d] = find(name);
        if (!d || !SANE_OPTION_IS_ACTIVE(d->cap) || d->type != SANE_TYPE_STRING || d->size < 1)
            return {};
        std::vector<char> value(static_cast<std::size_t>(d->size) + 1, '\0');
        if (sane().control_option(handle, index, SANE_ACTION_GET_VALUE, value.data(), nullptr) !=
            SANE_STATUS_GOOD)
            return {};
        return std::string(value.data(), strnlen(value.data(), value.size()));
    }
};

Scanner::Scanner(std::unique_ptr<Impl> impl, std::string name)
    : m_impl(std::move(impl)), m_name(std::move(name)) {}

Scanner::~Scanner() {
    std::lock_guard lock(libraryLock());
    sane().cancel(m_impl->handle);
    sane().close(m_impl->handle);
}

ScanStatus Scanner::initialise() {
    std::lock_guard lock(libraryLock());
    if (!sane().loaded)
        return failure(ScanError::Unavailable,
                       std::string("the SANE library (") + kSaneLibraryName + ") is not installed");
    const SANE_Status s = libraryStatus();
    if (s != SANE_STATUS_GOOD) return failure(ScanError::Unavailable, sane().strstatus(s));
    return {};
}

ScanStatus Scanner::listDevices(std::vector<ScannerDevice>& devices) {
    devices.clear();
    if (ScanStatus s = initialise(); !s) return s;
    std::lock_guard lock(libraryLock());
    const SANE_Device** list = nullptr;
    if (const SANE_Status s = sane().get_devices(&list, SANE_FALSE); s != SANE_STATUS_GOOD)
        return fromSane(s);
    for (std::size_t i = 0; list && list[i]; ++i) {
        const SANE_Device* d = list[i];
        auto text = [](SANE_String_Const s) { return s ? std::string(s) : std::string(); };
        devices.push_back({text(d->name), text(d->vendor), text(d->model), text(d->type)});
    }
    return {};
}

ScanStatus Scanner::open(const std::string& name, std::unique_ptr<Scanner>& scanner) {
    scanner.reset();
    std::string device = name;
    if (device.empty()) {
        std::vector<ScannerDevice> devices;
        if (ScanStatus s = listDevices(devices); !s) return s;
        if (devices.empty()) return failure(ScanError::NoDevice, "no scanner is connected");
        device = devices.front().name;
    } else if (ScanStatus s = initialise(); !s) {
        return s;
    }
    std::lock_guard lock(libraryLock());
    SANE_Handle handle = nullptr;
    const SANE_Status s = sane().open(device.c_str(), &handle);
    if (s != SANE_STATUS_GOOD || !handle) {
        ScanStatus st = fromSane(s == SANE_STATUS_GOOD ? SANE_STATUS_INVAL : s);
        // Backends answer an unknown name with "invalid argument"; say what it means.
        if (st.error == ScanError::Invalid) st.error = ScanError::NoDevice;
        st.detail = device;
        return st;
    }
    auto impl = std::make_unique<Impl>();
    impl->handle = handle;
    scanner.reset(new Scanner(std::move(impl), device));
    return {};
}

std::vector<std::string> Scanner::optionNames() const {
    std::vector<std::string> names;
    SANE_Int count = 0;
    const SANE_Option_Descriptor* first = sane().get_option_descriptor(m_impl->handle, 0);
    if (!first || first->type != SANE_TYPE_INT ||
        sane().control_option(m_impl->handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
            SANE_STATUS_GOOD)
        return names;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane().get_option_descriptor(m_impl->handle, i);
        if (d && d->name && *d->name && d->type != SANE_TYPE_GROUP && SANE_OPTION_IS_ACTIVE(d->cap))
            names.emplace_back(d->name);
    }
    return names;
}

ScanOptionInfo Scanner::optionInfo(std::string_view name) const {
    ScanOptionInfo info;
    auto [index, d] = m_impl->find(name);
    if (!d || !SANE_OPTION_IS_ACTIVE(d->cap)) return info;
    info.present = true;
    info.settable = SANE_OPTION_IS_SETTABLE(d->cap);
    if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
        for (std::size_t i = 0; d->constraint.string_list[i] && i < 1024; ++i)
            info.choices.emplace_back(d->constraint.string_list[i]);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list) {
        const SANE_Int n = std::clamp<SANE_Int>(d->constraint.word_list[0], 0, 1024);
        for (SANE_Int i = 1; i <= n; ++i)
            info.choices.push_back(numberText(wordValue(d->type, d->constraint.word_list[i])));
    } else if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
        info.isRange = true;
        info.minimum = wordValue(d->type, d->constraint.range->min);
        info.maximum = wordValue(d->type, d->constraint.range->max);
        info.step = wordValue(d->type, d->constraint.range->quant);
    }
    if (d->type == SANE_TYPE_STRING) {
        info.current = m_impl->stringOption(name);
    } else if (auto v = m_impl->numberOption(name)) {
        info.current = numberText(*v);
    }
    return info;
}

ScanStatus Scanner::setOption(std::string_view name, std::string_view value) {
    auto [index, d] = m_impl->find(name);
    if (!d) return failure(ScanError::Unsupported, "no option " + std::string(name));
    if (!SANE_OPTION_IS_ACTIVE(d->cap) || !SANE_OPTION_IS_SETTABLE(d->cap))
        return failure(ScanError::Unsupported, "option " + std::string(name) + " is not settable");
    SANE_Status s = SANE_STATUS_GOOD;
    switch (d->type) {
        case SANE_TYPE_STRING: {
            std::string chosen(value);
            if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list) {
                chosen.clear();
                for (std::size_t i = 0; d->constraint.string_list[i]; ++i)
                    if (base::equalsIgnoringCase(d->constraint.string_list[i], value)) {
                        chosen = d->constraint.string_list[i];
                        break;
                    }
                if (chosen.empty())
                    return failure(ScanError::Invalid,
                                   std::string(name) + " cannot be " + std::string(value));
            }
            if (d->size < 1 || chosen.size() >= static_cast<std::size_t>(d->size))
                return failure(ScanError::Invalid, std::string(name) + " value too long");
            std::vector<char> buffer(static_cast<std::size_t>(d->size), '\0');
            std::memcpy(buffer.data(), chosen.data(), chosen.size());
            s = sane().control_option(m_impl->handle, index, SANE_ACTION_SET_VALUE, buffer.data(),
                                      nullptr);
            break;
        }
        case SANE_TYPE_BOOL: {
            SANE_Bool b = SANE_FALSE;
            if (base::equalsIgnoringCase(value, "yes") || base::equalsIgnoringCase(value, "true") ||
                value == "1" || base::equalsIgnoringCase(value, "on"))
                b = SANE_TRUE;
            else if (!(base::equalsIgnoringCase(value, "no") ||
                       base::equalsIgnoringCase(value, "false") || value == "0" ||
                       base::equalsIgnoringCase(value, "off")))
                return failure(ScanError::Invalid, std::string(name) + " takes yes or no");
            s = sane().control_option(m_impl->handle, index, SANE_ACTION_SET_VALUE, &b, nullptr);
            break;
        }
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED: {
            const std::optional<double> v = parseNumber(value);
            if (!v) return failure(ScanError::Invalid, std::string(name) + " takes a number");
            if (d->size < static_cast<SANE_Int>(sizeof(SANE_Word)))
                return failure(ScanError::Unsupported, std::string(name));
            double wanted = *v;
            // A list of values: take the nearest, as a dialog's free entry would mean.
            if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list &&
                d->constraint.word_list[0] > 0) {
                double best = wordValue(d->type, d->constraint.word_list[1]);
                for (SANE_Int i = 2; i <= d->constraint.word_list[0]; ++i) {
                    const double c = wordValue(d->type, d->constraint.word_list[i]);
                    if (std::abs(c - wanted) < std::abs(best - wanted)) best = c;
                }
                wanted = best;
            }
            // Vector options (gamma tables) get the value in every element.
            std::vector<SANE_Word> words(static_cast<std::size_t>(d->size) / sizeof(SANE_Word),
                                         toWord(d->type, wanted));
            s = sane().control_option(m_impl->handle, index, SANE_ACTION_SET_VALUE, words.data(),
                                      nullptr);
            break;
        }
        default:
            return failure(ScanError::Unsupported, std::string(name));
    }
    if (s != SANE_STATUS_GOOD) {
        ScanStatus st = fromSane(s);
        st.detail = std::string(name) + ": " + st.detail;
        return st;
    }
    return {};
}

ScanStatus Scanner::setColour(ScanColour colour) {
    const ScanOptionInfo mode = optionInfo(SANE_NAME_SCAN_MODE);
    auto pick = [&](std::initializer_list<std::string_view> words) -> std::string {
        for (const std::string& choice : mode.choices)
            for (std::string_view w : words)
                if (base::containsIgnoringCase(choice, w)) return choice;
        return {};
    };
    std::string wanted;
    bool oneBitGray = false;
    switch (colour) {
        case ScanColour::Color:
            wanted = pick({"color", "colour", "rgb"});
            break;
        case ScanColour::Gray:
            wanted = pick({"gray", "grey"});
            break;
        case ScanColour::LineArt:
            wanted = pick({"lineart", "line art", "binary", "black & white", "monochrome"});
            if (wanted.empty()) {
                wanted = pick({"gray", "grey"});
                oneBitGray = true;
            }
            break;
    }
    if (mode.present && wanted.empty())
        return failure(ScanError::Unsupported, "the scanner has no such mode");
    if (!wanted.empty())
        if (ScanStatus s = setOption(SANE_NAME_SCAN_MODE, wanted); !s) return s;
    const ScanOptionInfo depth = optionInfo(SANE_NAME_BIT_DEPTH);
    if (oneBitGray) {
        if (!depth.settable) return failure(ScanError::Unsupported, "no line-art mode");
        return setOption(SANE_NAME_BIT_DEPTH, "1");
    }
    // A depth left at 1 by an earlier line-art scan would make this one line art too.
    if (depth.settable && depth.current == "1") {
        for (const char* d : {"8", "16"})
            if (std::find(depth.choices.begin(), depth.choices.end(), d) != depth.choices.end())
                return setOption(SANE_NAME_BIT_DEPTH, d);
    }
    return {};
}

ScanStatus Scanner::setResolution(double dpi) {
    if (!(dpi > 0)) return failure(ScanError::Invalid, "resolution must be positive");
    return setOption(SANE_NAME_SCAN_RESOLUTION, numberText(dpi));
}

ScanStatus Scanner::setSource(std::string_view source) {
    return setOption(SANE_NAME_SCAN_SOURCE, source);
}

bool Scanner::feederSelected() const {
    const std::string source = m_impl->stringOption(SANE_NAME_SCAN_SOURCE);
    return base::containsIgnoringCase(source, "feeder") ||
           base::containsIgnoringCase(source, "adf") ||
           base::containsIgnoringCase(source, "duplex");
}

void Scanner::cancel() {
    m_cancelled = true;
    // The library allows this call at any time, from any thread, to stop a read in progress.
    sane().cancel(m_impl->handle);
}

ScanStatus Scanner::readFrames(ScannedImage& out) {
    out = ScannedImage{};
    std::int64_t width = 0, height = 0;
    bool haveFirst = false;
    ScanColour colour = ScanColour::Color;
    std::vector<std::uint8_t> raw;
    auto fail = [this](ScanStatus s) {
        sane().cancel(m_impl->handle);
        if (m_cancelled) s = failure(ScanError::Cancelled);
        return s;
    };
    for (int frame = 0;; ++frame) {
        if (m_cancelled) return fail(failure(ScanError::Cancelled));
        if (frame >= 3) return fail(failure(ScanError::Unsupported, "too many frames"));
        if (const SANE_Status s = sane().start(m_impl->handle); s != SANE_STATUS_GOOD)
            return fail(fromSane(s));
        SANE_Parameters p{};
        if (const SANE_Status s = sane().get_parameters(m_impl->handle, &p); s != SANE_STATUS_GOOD)
            return fail(fromSane(s));

        int channels = 1;
        int target = -1;  // -1 all three channels, else 0 blue, 1 green, 2 red
        switch (p.format) {
            case SANE_FRAME_GRAY:
                break;
            case SANE_FRAME_RGB:
                channels = 3;
                break;
            case SANE_FRAME_RED:
                target = 2;
                break;
            case SANE_FRAME_GREEN:
                target = 1;
                break;
            case SANE_FRAME_BLUE:
                target = 0;
                break;
            default:
                return fail(failure(ScanError::Unsupported, "unknown frame format"));
        }
        if (p.depth != 1 && p.depth != 8 && p.depth != 16)
            return fail(failure(ScanError::Unsupported, "sample depth " + std::to_string(p.depth)));
        if (p.pixels_per_line < 1 || p.pixels_per_line > base::kMaxUnsigned16Side || p.lines == 0 ||
            p.lines < -1 || p.lines > base::kMaxUnsigned16Side || p.bytes_per_line < 1)
            return fail(failure(ScanError::Invalid, "impossible scan size"));
        const std::int64_t neededBits =
            static_cast<std::int64_t>(p.pixels_per_line) * channels * p.depth;
        const std::int64_t bytesPerLine = p.bytes_per_line;
        if (bytesPerLine < (neededBits + 7) / 8 ||
            bytesPerLine > static_cast<std::int64_t>(base::kMaxBufferBytes))
            return fail(failure(ScanError::Invalid, "bytes per line too small"));
        if (p.lines > 0 &&
            bytesPerLine * p.lines > static_cast<std::int64_t>(base::kMaxBufferBytes))
            return fail(failure(ScanError::TooLarge));

        // Read the whole frame; a hand-scanner's ends only at end of file.
        std::size_t limit =
            p.lines > 0 ? static_cast<std::size_t>(bytesPerLine * p.lines)
                        : static_cast<std::size_t>(std::min<std::int64_t>(
                              bytesPerLine * base::kMaxUnsigned16Side, base::kMaxBufferBytes));
        raw.clear();
        try {
            if (p.lines > 0) raw.reserve(limit);
            std::vector<std::uint8_t> chunk(kReadChunk);
            for (;;) {
                SANE_Int got = 0;
                const SANE_Status s = sane().read(m_impl->handle, chunk.data(),
                                                  static_cast<SANE_Int>(chunk.size()), &got);
                if (s == SANE_STATUS_EOF) break;
                if (s != SANE_STATUS_GOOD) return fail(fromSane(s));
                if (m_cancelled) return fail(failure(ScanError::Cancelled));
                if (got < 0 || static_cast<std::size_t>(got) > chunk.size())
                    return fail(failure(ScanError::Invalid, "bad read length"));
                // More data than announced is dropped; a hand-scanner beyond our limit stops.
                const std::size_t take = std::min<std::size_t>(got, limit - raw.size());
                raw.insert(raw.end(), chunk.begin(), chunk.begin() + take);
                if (raw.size() == limit && p.lines < 0)
                    return fail(failure(ScanError::TooLarge, "hand scan too long"));
            }
        } catch (const std::bad_alloc&) {
            return fail(failure(ScanError::OutOfMemory));
        }
        const std::int64_t lines = static_cast<std::int64_t>(raw.size()) / bytesPerLine;
        if (lines < 1) return fail(failure(ScanError::Io, "the scanner sent no image data"));
        // A short frame keeps what arrived, as the rows below are simply left dark.

        if (!haveFirst) {
            width = p.pixels_per_line;
            height = p.lines > 0 ? p.lines : lines;
            out.bitmap = std::make_unique<image::Bitmap32>();
            if (!out.bitmap->Create(static_cast<std::int32_t>(width),
                                    static_cast<std::int32_t>(height)))
                return fail(failure(ScanError::OutOfMemory));
            colour = p.format == SANE_FRAME_GRAY
                         ? (p.depth == 1 ? ScanColour::LineArt : ScanColour::Gray)
                         : ScanColour::Color;
            haveFirst = true;
        } else if (p.pixels_per_line != width || (p.format == SANE_FRAME_GRAY) ||
                   (p.format == SANE_FRAME_RGB)) {
            return fail(failure(ScanError::Invalid, "frames of a page do not match"));
        }

        // Line art and grey frames use 1 for black; colour frames use 1 for full intensity.
        const bool oneIsBlack = p.format == SANE_FRAME_GRAY;
        const std::int64_t rows = std::min(lines, height);
        {
            std::lock_guard pixelLock(out.bitmap->pixelLock());
            for (std::int64_t y = 0; y < rows; ++y) {
                const std::uint8_t* src = raw.data() + y * bytesPerLine;
                std::uint8_t* dst = out.bitmap->row(static_cast<std::int32_t>(y));
                for (std::int64_t x = 0; x < width; ++x, dst += 4) {
                    if (channels == 3) {
                        dst[2] = sampleAt(src, x, 3, 0, p.depth, oneIsBlack);
                        dst[1] = sampleAt(src, x, 3, 1, p.depth, oneIsBlack);
                        dst[0] = sampleAt(src, x, 3, 2, p.depth, oneIsBlack);
                    } else if (target < 0) {
                        dst[0] = dst[1] = dst[2] = sampleAt(src, x, 1, 0, p.depth, oneIsBlack);
                    } else {
                        dst[target] = sampleAt(src, x, 1, 0, p.depth, oneIsBlack);
                    }
                }
            }
        }
        if (p.last_frame) break;
    }
    out.bitmap->markAllDone();
    out.colour = colour;
    if (auto dpi = m_impl->numberOption(SANE_NAME_SCAN_RESOLUTION))
        out.dpi = static_cast<std::int32_t>(std::clamp(*dpi, 0.0, 65535.0));
    return {};
}

ScanStatus Scanner::scanPage(ScannedImage& out) {
    m_cancelled = false;
    ScanStatus s = readFrames(out);
    sane().cancel(m_impl->handle);
    return s;
}

ScanStatus Scanner::preview(ScannedImage& out) {
    const bool hasPreview = optionInfo(SANE_NAME_PREVIEW).settable;
    if (hasPreview)
        if (ScanStatus s = setOption(SANE_NAME_PREVIEW, "yes"); !s) return s;
    ScanStatus s = scanPage(out);
    if (hasPreview) (void)setOption(SANE_NAME_PREVIEW, "no");
    return s;
}

ScanStatus Scanner::scanPages(std::int32_t maxPages,
                              const std::function<bool(ScannedImage&)>& onPage) {
    m_cancelled = false;
    const bool feeder = feederSelected();
    ScanStatus result;
    for (std::int32_t page = 0; maxPages <= 0 || page < maxPages; ++page) {
        ScannedImage image;
        ScanStatus s = readFrames(image);
        // An empty feeder after the first page is the normal end of the stack.
        if (s.error == ScanError::NoDocuments && page > 0) break;
        if (!s) {
            result = s;
            break;
        }
        if (!onPage(image) || !feeder) break;
    }
    sane().cancel(m_impl->handle);
    return result;
}

}  // namespace kalder::shell
