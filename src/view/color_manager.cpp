#include "view/color_manager.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <mutex>

#include "base/limits.h"
#include "base/read_file.h"
#include "base/translatable.h"

namespace kalder::view {
namespace {

constexpr cmsCIExyY kD65{0.3127, 0.3290, 1.0};
constexpr cmsCIExyYTRIPLE kSrgbPrimaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};

struct ProfileCloser {
    void operator()(void* p) const {
        if (p) cmsCloseProfile(p);
    }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* t) const {
        if (t) cmsDeleteTransform(t);
    }
};
using TransformPtr = std::unique_ptr<void, TransformDeleter>;

bool usableGamma(double g) { return std::isfinite(g) && g > 0.0 && g <= 20.0; }

bool usableXy(double x, double y) {
    return std::isfinite(x) && std::isfinite(y) && x >= 0 && y > 0 && x + y <= 1.0 + 1e-9;
}

ProfilePtr calibratedProfile(const image::ColorSpace& s) {
    if (!usableGamma(s.gammaRed) || !usableGamma(s.gammaGreen) || !usableGamma(s.gammaBlue))
        return nullptr;
    cmsCIExyY white = kD65;
    cmsCIExyYTRIPLE primaries = kSrgbPrimaries;
    if (s.hasChromaticities) {
        if (!usableXy(s.redX, s.redY) || !usableXy(s.greenX, s.greenY) ||
            !usableXy(s.blueX, s.blueY))
            return nullptr;
        primaries = {{s.redX, s.redY, 1.0}, {s.greenX, s.greenY, 1.0}, {s.blueX, s.blueY, 1.0}};
        if (s.whiteX != 0 || s.whiteY != 0) {
            if (!usableXy(s.whiteX, s.whiteY)) return nullptr;
            white = {s.whiteX, s.whiteY, 1.0};
        }
    }
    cmsToneCurve* curves[3] = {cmsBuildGamma(nullptr, s.gammaRed),
                               cmsBuildGamma(nullptr, s.gammaGreen),
                               cmsBuildGamma(nullptr, s.gammaBlue)};
    ProfilePtr profile;
    if (curves[0] && curves[1] && curves[2])
        profile.reset(cmsCreateRGBProfile(&white, &primaries, curves));
    for (cmsToneCurve* c : curves)
        if (c) cmsFreeToneCurve(c);
    return profile;
}

ProfilePtr sourceProfile(const image::ColorSpace& s) {
    switch (s.kind) {
        case image::ColorSpace::Kind::Srgb:
            return ProfilePtr(cmsCreate_sRGBProfile());
        case image::ColorSpace::Kind::Calibrated:
            return calibratedProfile(s);
        case image::ColorSpace::Kind::Icc: {
            if (s.iccProfile.empty() || s.iccProfile.size() > base::kMaxDataFileBytes)
                return nullptr;
            ProfilePtr p(cmsOpenProfileFromMem(s.iccProfile.data(),
                                               static_cast<cmsUInt32Number>(s.iccProfile.size())));
            if (p && cmsGetColorSpace(p.get()) != cmsSigRgbData) p.reset();
            return p;
        }
    }
    return nullptr;
}

}  // namespace

std::string_view profileErrorMessage(ProfileError) {
    return QT_TRANSLATE_NOOP(
        "Messages", "Color profile file is not found or invalid. No color profile will be used.");
}

image::ColorSpace sourceSpaceForGamma(double g) {
    image::ColorSpace s;
    s.kind = image::ColorSpace::Kind::Calibrated;
    s.hasChromaticities = true;
    s.whiteX = kD65.x;
    s.whiteY = kD65.y;
    s.redX = 0.64;
    s.redY = 0.33;
    s.greenX = 0.30;
    s.greenY = 0.60;
    s.blueX = 0.15;
    s.blueY = 0.06;
    const double decoding = g > 0 ? 1.0 / g : 0.0;
    s.gammaRed = s.gammaGreen = s.gammaBlue = decoding;
    return s;
}

struct ColorManager::Impl {
    ProfilePtr monitor;
    TransformPtr transform;
    // The space the transform (or the failed attempt) was made for.
    std::optional<image::ColorSpace> space;
    // Guards `monitor` against the loaders' threads, which make transforms of their own from it.
    std::mutex monitorLock;
    // Changes with every monitor profile: a thread's transform of an older one is stale.
    std::atomic<std::uint64_t> generation{0};
};

namespace {

std::atomic<std::uint64_t> g_nextGeneration{1};

// The transform one loader thread uses through the row pipeline's interface. Each thread keeps
// its own, so the display loader and the thumbnail workers never change one another's source
// in the middle of a picture.
struct ThreadTransform {
    std::uint64_t generation = 0;  // of the manager it was made for (unique across managers)
    std::optional<image::ColorSpace> space;
    TransformPtr transform;
};
thread_local ThreadTransform t_transform;

void* makeTransform(void* monitor, const image::ColorSpace& space);

}  // namespace

ColorManager::ColorManager() : m(std::make_unique<Impl>()) {}
ColorManager::~ColorManager() = default;

bool ColorManager::hasProfile() const { return m->monitor != nullptr; }
bool ColorManager::hasTransform() const { return m->transform != nullptr; }

std::optional<ProfileError> ColorManager::SetProfile(
    const std::optional<std::filesystem::path>& path) {
    m->transform.reset();
    m->space.reset();
    replaceMonitor(nullptr);
    if (!path) return std::nullopt;
    const auto bytes = base::readFile(*path, base::kMaxDataFileBytes);
    if (!bytes.ok() || bytes->empty()) return ProfileError::Unreadable;
    return SetProfileData(*bytes);
}

std::optional<ProfileError> ColorManager::SetProfileData(std::span<const std::uint8_t> data) {
    m->transform.reset();
    m->space.reset();
    replaceMonitor(nullptr);
    if (data.empty() || data.size() > base::kMaxDataFileBytes) return ProfileError::Invalid;
    ProfilePtr p(cmsOpenProfileFromMem(data.data(), static_cast<cmsUInt32Number>(data.size())));
    // Decoded pixels are RGB, so only an RGB profile that can take output will do.
    if (!p || cmsGetColorSpace(p.get()) != cmsSigRgbData ||
        !cmsIsIntentSupported(p.get(), INTENT_PERCEPTUAL, LCMS_USED_AS_OUTPUT))
        return ProfileError::Invalid;
    replaceMonitor(p.release());
    return std::nullopt;
}

void ColorManager::SetSrgbProfile() {
    m->transform.reset();
    m->space.reset();
    replaceMonitor(cmsCreate_sRGBProfile());
}

void ColorManager::replaceMonitor(void* profile) {
    std::lock_guard lock(m->monitorLock);
    m->monitor.reset(profile);
    m->generation = profile ? g_nextGeneration.fetch_add(1) : 0;
}

std::optional<ProfileError> ColorManager::SetMonitorProfile(const MonitorProfileSource& source) {
    if (auto bytes = source.monitorProfile()) return SetProfileData(*bytes);
    SetSrgbProfile();
    return std::nullopt;
}

bool ColorManager::SetSourceColorSpace(const image::ColorSpace& space) {
    if (!m->monitor) return false;
    if (m->space && *m->space == space) return m->transform != nullptr;
    m->transform.reset();
    m->space = space;
    std::lock_guard lock(m->monitorLock);
    m->transform.reset(makeTransform(m->monitor.get(), space));
    return m->transform != nullptr;
}

bool ColorManager::SetSourceGamma(double g) {
    if (!std::isfinite(g) || g <= 0) {
        m->transform.reset();
        m->space.reset();
        return false;
    }
    return SetSourceColorSpace(sourceSpaceForGamma(g));
}

bool ColorManager::setSource(const image::ColorSpace* space) {
    const image::ColorSpace wanted = space ? *space : sourceSpaceForGamma(1.0 / 2.2);
    std::lock_guard lock(m->monitorLock);
    const std::uint64_t generation = m->generation;
    ThreadTransform& t = t_transform;
    if (generation != 0 && t.generation == generation && t.space && *t.space == wanted)
        return t.transform != nullptr;
    t.generation = generation;
    t.space = wanted;
    t.transform.reset(generation != 0 ? makeTransform(m->monitor.get(), wanted) : nullptr);
    return t.transform != nullptr;
}

void ColorManager::translateRow(std::uint8_t* bgrx, std::size_t count) {
    ThreadTransform& t = t_transform;
    if (!t.transform || !bgrx || t.generation != m->generation) return;
    constexpr std::size_t kChunk = std::numeric_limits<cmsUInt32Number>::max() / 4;
    while (count > 0) {
        const std::size_t n = std::min(count, kChunk);
        cmsDoTransform(t.transform.get(), bgrx, bgrx, static_cast<cmsUInt32Number>(n));
        bgrx += n * 4;
        count -= n;
    }
}

namespace {

void* makeTransform(void* monitor, const image::ColorSpace& space) {
    if (!monitor) return nullptr;
    ProfilePtr source = sourceProfile(space);
    if (!source) return nullptr;
    return cmsCreateTransform(source.get(), TYPE_BGRA_8, monitor, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                              cmsFLAGS_COPY_ALPHA | cmsFLAGS_HIGHRESPRECALC);
}

}  // namespace

void ColorManager::TranslateRow(std::uint8_t* bgrx, std::size_t count) {
    if (!m->transform || !bgrx) return;
    constexpr std::size_t kChunk = std::numeric_limits<cmsUInt32Number>::max() / 4;
    while (count > 0) {
        const std::size_t n = std::min(count, kChunk);
        cmsDoTransform(m->transform.get(), bgrx, bgrx, static_cast<cmsUInt32Number>(n));
        bgrx += n * 4;
        count -= n;
    }
}

}  // namespace kalder::view
