#pragma once

#include <optional>
#include <string>
#include <vector>

#include "image/exif/exif_block.h"

namespace kalder::image {

struct PropertyRow;

// What an entry's value means to a photographer: "f/5.6" for an FNumber of 28/5, "1/250 s",
// "Rotate 90 CW" for Orientation 6, "Auto, did not fire" for Flash 24. Empty when the stored
// value says it plainly already (text, counts) or when the tag has no reading of its own.
std::string exifReadableText(const ExifBlock& exif, ExifIfdKind kind, const ExifEntry& entry);

// A GPS position in degrees and its geo: URI, from the GPS directory's latitude and longitude
// (each three rationals with an N/S or E/W reference) and the optional altitude.
struct GpsPosition {
    double latitude = 0.0;   // north positive
    double longitude = 0.0;  // east positive
    bool hasAltitude = false;
    double altitude = 0.0;  // metres, above sea level positive
};
std::optional<GpsPosition> gpsPosition(const ExifBlock& exif);
// "geo:52.520094,13.404950" (RFC 5870), with ",34.0" when the altitude is known.
std::string geoUri(const GpsPosition& position);

// The blank row, "----- GPS -----", then latitude, longitude, altitude and the position as a
// geo: URI; nothing when the block has no usable position.
void appendGpsRows(std::vector<PropertyRow>& rows, const ExifBlock& exif);

}  // namespace kalder::image
