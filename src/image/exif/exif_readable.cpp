#include "image/exif/exif_readable.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "image/exif/exif_report.h"

namespace kalder::image {

namespace {

namespace tag {
constexpr std::uint16_t kResolutionUnit = 0x0128;
constexpr std::uint16_t kYCbCrPositioning = 0x0213;
constexpr std::uint16_t kXResolution = 0x011A;
constexpr std::uint16_t kYResolution = 0x011B;
constexpr std::uint16_t kExposureTime = 0x829A;
constexpr std::uint16_t kFNumber = 0x829D;
constexpr std::uint16_t kExposureProgram = 0x8822;
constexpr std::uint16_t kShutterSpeedValue = 0x9201;
constexpr std::uint16_t kApertureValue = 0x9202;
constexpr std::uint16_t kExposureBias = 0x9204;
constexpr std::uint16_t kMaxApertureValue = 0x9205;
constexpr std::uint16_t kSubjectDistance = 0x9206;
constexpr std::uint16_t kMeteringMode = 0x9207;
constexpr std::uint16_t kLightSource = 0x9208;
constexpr std::uint16_t kFlash = 0x9209;
constexpr std::uint16_t kFocalLength = 0x920A;
constexpr std::uint16_t kColorSpace = 0xA001;
constexpr std::uint16_t kFocalPlaneResolutionUnit = 0xA210;
constexpr std::uint16_t kSensingMethod = 0xA217;
constexpr std::uint16_t kCustomRendered = 0xA401;
constexpr std::uint16_t kExposureMode = 0xA402;
constexpr std::uint16_t kWhiteBalance = 0xA403;
constexpr std::uint16_t kDigitalZoomRatio = 0xA404;
constexpr std::uint16_t kFocalLength35mm = 0xA405;
constexpr std::uint16_t kSceneCaptureType = 0xA406;
constexpr std::uint16_t kGainControl = 0xA407;
constexpr std::uint16_t kContrast = 0xA408;
constexpr std::uint16_t kSaturation = 0xA409;
constexpr std::uint16_t kSharpness = 0xA40A;
constexpr std::uint16_t kSubjectDistanceRange = 0xA40C;

constexpr std::uint16_t kGpsLatitudeRef = 0x0001;
constexpr std::uint16_t kGpsLatitude = 0x0002;
constexpr std::uint16_t kGpsLongitudeRef = 0x0003;
constexpr std::uint16_t kGpsLongitude = 0x0004;
constexpr std::uint16_t kGpsAltitudeRef = 0x0005;
constexpr std::uint16_t kGpsAltitude = 0x0006;
}  // namespace tag

// Decimal text without the locale's decimal comma, trailing zeros kept to `precision`.
std::string fixed(double value, int precision) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, precision);
    return r.ec == std::errc{} ? std::string(buf, r.ptr) : std::string();
}

// Like fixed(), but "8" rather than "8.0" for whole numbers.
std::string shortDecimal(double value, int precision) {
    std::string text = fixed(value, precision);
    if (text.find('.') == std::string::npos) return text;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

// The entry's first element as a number: rationals divided out, nullopt for a zero
// denominator, text or undefined bytes.
std::optional<double> number(const ExifBlock& exif, const ExifEntry& entry, std::uint32_t i = 0) {
    if (!entry.hasValue || i >= entry.count) return std::nullopt;
    const ExifValue v = exif.value(entry, i);
    switch (static_cast<ExifType>(entry.type)) {
        case ExifType::Byte:
        case ExifType::Short:
        case ExifType::Long:
            return v.unsignedNumerator;
        case ExifType::SByte:
        case ExifType::SShort:
        case ExifType::SLong:
            return v.signedNumerator;
        case ExifType::Rational:
            if (v.unsignedDenominator == 0) return std::nullopt;
            return static_cast<double>(v.unsignedNumerator) / v.unsignedDenominator;
        case ExifType::SRational:
            if (v.signedDenominator == 0) return std::nullopt;
            return static_cast<double>(v.signedNumerator) / v.signedDenominator;
        case ExifType::Float:
        case ExifType::Double:
            return std::isfinite(v.real) ? std::optional<double>(v.real) : std::nullopt;
        default:
            return std::nullopt;
    }
}

struct Named {
    int value;
    const char* text;
};

template <std::size_t N>
std::string lookup(const Named (&table)[N], std::optional<double> value) {
    if (!value) return {};
    for (const Named& n : table)
        if (static_cast<double>(n.value) == *value) return n.text;
    return {};
}

constexpr Named kOrientation[] = {{1, "Horizontal (normal)"},
                                  {2, "Mirror horizontal"},
                                  {3, "Rotate 180"},
                                  {4, "Mirror vertical"},
                                  {5, "Mirror horizontal and rotate 270 CW"},
                                  {6, "Rotate 90 CW"},
                                  {7, "Mirror horizontal and rotate 90 CW"},
                                  {8, "Rotate 270 CW"}};
constexpr Named kResolutionUnit[] = {{1, "None"}, {2, "inches"}, {3, "cm"}};
constexpr Named kYCbCrPositioning[] = {{1, "Centered"}, {2, "Co-sited"}};
constexpr Named kExposureProgram[] = {
    {0, "Not defined"},         {1, "Manual"},           {2, "Program AE"},
    {3, "Aperture-priority"},   {4, "Shutter-priority"}, {5, "Creative (slow speed)"},
    {6, "Action (high speed)"}, {7, "Portrait"},         {8, "Landscape"}};
constexpr Named kMeteringMode[] = {
    {0, "Unknown"}, {1, "Average"},    {2, "Center-weighted average"},
    {3, "Spot"},    {4, "Multi-spot"}, {5, "Multi-segment"},
    {6, "Partial"}, {255, "Other"}};
constexpr Named kLightSource[] = {{0, "Unknown"},
                                  {1, "Daylight"},
                                  {2, "Fluorescent"},
                                  {3, "Tungsten (incandescent)"},
                                  {4, "Flash"},
                                  {9, "Fine weather"},
                                  {10, "Cloudy"},
                                  {11, "Shade"},
                                  {12, "Daylight fluorescent"},
                                  {13, "Day white fluorescent"},
                                  {14, "Cool white fluorescent"},
                                  {15, "White fluorescent"},
                                  {17, "Standard light A"},
                                  {18, "Standard light B"},
                                  {19, "Standard light C"},
                                  {20, "D55"},
                                  {21, "D65"},
                                  {22, "D75"},
                                  {23, "D50"},
                                  {24, "ISO studio tungsten"},
                                  {255, "Other"}};
constexpr Named kColorSpace[] = {{1, "sRGB"}, {2, "Adobe RGB"}, {0xFFFF, "Uncalibrated"}};
constexpr Named kSensingMethod[] = {{1, "Not defined"},
                                    {2, "One-chip color area"},
                                    {3, "Two-chip color area"},
                                    {4, "Three-chip color area"},
                                    {5, "Color sequential area"},
                                    {7, "Trilinear"},
                                    {8, "Color sequential linear"}};
constexpr Named kCustomRendered[] = {{0, "Normal"}, {1, "Custom"}};
constexpr Named kExposureMode[] = {{0, "Auto"}, {1, "Manual"}, {2, "Auto bracket"}};
constexpr Named kWhiteBalance[] = {{0, "Auto"}, {1, "Manual"}};
constexpr Named kSceneCaptureType[] = {
    {0, "Standard"}, {1, "Landscape"}, {2, "Portrait"}, {3, "Night"}};
constexpr Named kGainControl[] = {{0, "None"},
                                  {1, "Low gain up"},
                                  {2, "High gain up"},
                                  {3, "Low gain down"},
                                  {4, "High gain down"}};
constexpr Named kContrast[] = {{0, "Normal"}, {1, "Low"}, {2, "High"}};
constexpr Named kSharpness[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
constexpr Named kSubjectDistanceRange[] = {
    {0, "Unknown"}, {1, "Macro"}, {2, "Close"}, {3, "Distant"}};

// Exposure times under a quarter second read as fractions of a second, as cameras show them.
std::string exposureText(double seconds) {
    if (seconds <= 0) return {};
    if (seconds < 0.25) return "1/" + shortDecimal(std::round(1.0 / seconds), 0) + " s";
    return shortDecimal(seconds, 1) + " s";
}

std::string apertureText(double f) { return f > 0 ? "f/" + shortDecimal(f, 1) : std::string(); }

// The Flash tag packs fired, strobe return, mode, presence and red-eye reduction into bits.
std::string flashText(std::uint32_t bits) {
    if (bits & 0x20) return "No flash function";
    std::string text;
    auto add = [&text](const char* part) {
        if (!text.empty()) text += ", ";
        text += part;
    };
    switch ((bits >> 3) & 3) {
        case 1:
            add("On");
            break;
        case 2:
            add("Off");
            break;
        case 3:
            add("Auto");
            break;
        default:
            break;
    }
    add(text.empty() ? ((bits & 1) ? "Fired" : "No flash")
                     : ((bits & 1) ? "fired" : "did not fire"));
    switch ((bits >> 1) & 3) {
        case 2:
            add("return not detected");
            break;
        case 3:
            add("return detected");
            break;
        default:
            break;
    }
    if (bits & 0x40) add("red-eye reduction");
    return text;
}

std::string degreesText(double degrees, char positive, char negative) {
    const char ref = degrees < 0 ? negative : positive;
    double rest = std::fabs(degrees);
    const int d = static_cast<int>(rest);
    rest = (rest - d) * 60.0;
    const int m = static_cast<int>(rest);
    const double s = (rest - m) * 60.0;
    return std::to_string(d) + "\u00B0 " + std::to_string(m) + "' " + fixed(s, 2) + "\" " + ref;
}

// Degrees from three rationals (degrees, minutes, seconds), signed by the reference letter.
std::optional<double> gpsCoordinate(const ExifBlock& exif, std::uint16_t valueTag,
                                    std::uint16_t refTag, char negative) {
    const ExifEntry* entry = exif.findEntry(ExifIfdKind::Gps, valueTag);
    if (!entry || entry->count < 3 || static_cast<ExifType>(entry->type) != ExifType::Rational)
        return std::nullopt;
    double parts[3];
    for (std::uint32_t i = 0; i < 3; ++i) {
        const auto part = number(exif, *entry, i);
        // Cameras without a fix write 0/0: no position rather than a wrong one.
        if (!part) return std::nullopt;
        parts[i] = *part;
    }
    double degrees = parts[0] + parts[1] / 60.0 + parts[2] / 3600.0;
    const auto ref = exif.getAscii(ExifIfdKind::Gps, refTag);
    if (ref && !ref->empty() && (*ref)[0] == negative) degrees = -degrees;
    return degrees;
}

}  // namespace

std::string exifReadableText(const ExifBlock& exif, ExifIfdKind kind, const ExifEntry& entry) {
    if (kind == ExifIfdKind::Gps || kind == ExifIfdKind::Interop) return {};
    const std::optional<double> n = number(exif, entry);
    switch (entry.tag) {
        case exif_tag::kOrientation:
            return lookup(kOrientation, n);
        case tag::kResolutionUnit:
        case tag::kFocalPlaneResolutionUnit:
            return lookup(kResolutionUnit, n);
        case tag::kYCbCrPositioning:
            return lookup(kYCbCrPositioning, n);
        case tag::kXResolution:
        case tag::kYResolution:
            return n ? shortDecimal(*n, 2) : std::string();
        case tag::kExposureTime:
            return n ? exposureText(*n) : std::string();
        case tag::kFNumber:
            return n ? apertureText(*n) : std::string();
        case tag::kShutterSpeedValue:  // APEX: time = 2^-value
            return n && std::fabs(*n) < 64 ? exposureText(std::exp2(-*n)) : std::string();
        case tag::kApertureValue:  // APEX: f-number = 2^(value / 2)
        case tag::kMaxApertureValue:
            return n && std::fabs(*n) < 64 ? apertureText(std::exp2(*n / 2)) : std::string();
        case tag::kExposureBias:
            if (!n) return {};
            return (*n > 0 ? "+" : "") + shortDecimal(*n, 2) + " EV";
        case tag::kSubjectDistance:
            return n && *n >= 0 ? shortDecimal(*n, 2) + " m" : std::string();
        case tag::kExposureProgram:
            return lookup(kExposureProgram, n);
        case tag::kMeteringMode:
            return lookup(kMeteringMode, n);
        case tag::kLightSource:
            return lookup(kLightSource, n);
        case tag::kFlash:
            return n ? flashText(static_cast<std::uint32_t>(*n)) : std::string();
        case tag::kFocalLength:
            return n && *n > 0 ? fixed(*n, 1) + " mm" : std::string();
        case tag::kFocalLength35mm:
            return n ? shortDecimal(*n, 0) + " mm" : std::string();
        case tag::kColorSpace:
            return lookup(kColorSpace, n);
        case tag::kSensingMethod:
            return lookup(kSensingMethod, n);
        case tag::kCustomRendered:
            return lookup(kCustomRendered, n);
        case tag::kExposureMode:
            return lookup(kExposureMode, n);
        case tag::kWhiteBalance:
            return lookup(kWhiteBalance, n);
        case tag::kDigitalZoomRatio:
            return n && *n > 0 ? shortDecimal(*n, 2) + "x" : std::string();
        case tag::kSceneCaptureType:
            return lookup(kSceneCaptureType, n);
        case tag::kGainControl:
            return lookup(kGainControl, n);
        case tag::kContrast:
        case tag::kSaturation:
            return lookup(kContrast, n);
        case tag::kSharpness:
            return lookup(kSharpness, n);
        case tag::kSubjectDistanceRange:
            return lookup(kSubjectDistanceRange, n);
        default:
            return {};
    }
}

std::optional<GpsPosition> gpsPosition(const ExifBlock& exif) {
    const auto latitude = gpsCoordinate(exif, tag::kGpsLatitude, tag::kGpsLatitudeRef, 'S');
    const auto longitude = gpsCoordinate(exif, tag::kGpsLongitude, tag::kGpsLongitudeRef, 'W');
    if (!latitude || !longitude || std::fabs(*latitude) > 90 || std::fabs(*longitude) > 180)
        return std::nullopt;
    GpsPosition position{*latitude, *longitude};
    if (const ExifEntry* alt = exif.findEntry(ExifIfdKind::Gps, tag::kGpsAltitude)) {
        if (const auto metres = number(exif, *alt);
            metres && static_cast<ExifType>(alt->type) == ExifType::Rational) {
            const auto ref = exif.getUnsigned(ExifIfdKind::Gps, tag::kGpsAltitudeRef);
            position.hasAltitude = true;
            position.altitude = ref && *ref == 1 ? -*metres : *metres;
        }
    }
    return position;
}

std::string geoUri(const GpsPosition& position) {
    std::string uri = "geo:" + fixed(position.latitude, 6) + "," + fixed(position.longitude, 6);
    if (position.hasAltitude) uri += "," + fixed(position.altitude, 1);
    return uri;
}

void appendGpsRows(std::vector<PropertyRow>& rows, const ExifBlock& exif) {
    const auto position = gpsPosition(exif);
    if (!position) return;
    auto raw = [&exif](std::uint16_t valueTag, std::uint16_t refTag) {
        std::string text;
        const ExifEntry* entry = exif.findEntry(ExifIfdKind::Gps, valueTag);
        for (std::uint32_t i = 0; entry && i < entry->count && i < 3; ++i) {
            const ExifValue v = exif.value(*entry, i);
            if (i) text += ' ';
            text +=
                std::to_string(v.unsignedNumerator) + "/" + std::to_string(v.unsignedDenominator);
        }
        if (const auto ref = exif.getAscii(ExifIfdKind::Gps, refTag); ref && !ref->empty())
            text += " " + *ref;
        return text;
    };
    rows.push_back({"", ""});
    rows.push_back({"----- GPS -----", ""});
    rows.push_back({"GPS Latitude", raw(tag::kGpsLatitude, tag::kGpsLatitudeRef),
                    degreesText(position->latitude, 'N', 'S')});
    rows.push_back({"GPS Longitude", raw(tag::kGpsLongitude, tag::kGpsLongitudeRef),
                    degreesText(position->longitude, 'E', 'W')});
    if (position->hasAltitude) {
        const ExifEntry* alt = exif.findEntry(ExifIfdKind::Gps, tag::kGpsAltitude);
        const ExifValue v = exif.value(*alt);
        rows.push_back(
            {"GPS Altitude",
             std::to_string(v.unsignedNumerator) + "/" + std::to_string(v.unsignedDenominator),
             fixed(std::fabs(position->altitude), 1) +
                 (position->altitude < 0 ? " m below sea level" : " m above sea level")});
    }
    rows.push_back({"GPS Position", geoUri(*position), ""});
}

}  // namespace kalder::image
