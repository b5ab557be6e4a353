#pragma once

// Walks of a picture file's own structure, before any decoder sees it: Qt's
// readers take some damaged files as whole pictures (a JPEG cut short is
// padded with grey, a GIF cut short loses its lower part), and the PNG
// library prints its own complaints on standard error. Each walk reads
// only inside the bytes it is given.

#include <cstdint>
#include <span>

namespace tablica::picture {

using FileBytes = std::span<const std::uint8_t>;

// A JPEG whose last scan is followed by the end-of-image marker.
bool JpegHasEnd(FileBytes data);

// A PNG whose chunks are all there, each of a sensible length and with the
// right checksum where the PNG library insists on one (the critical
// chunks), with a valid header first, its image data and its end chunk.
bool PngIsWhole(FileBytes data);

}  // namespace tablica::picture
