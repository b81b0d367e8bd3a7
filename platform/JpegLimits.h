// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The largest picture the station decodes: a JPEG with more pixels than this is refused, so
// that a damaged or hostile header cannot make the decoder ask for gigabytes.

inline constexpr long JpegMaxPixels = 64L * 1024 * 1024;
