#include "UIScale.h"

#include <algorithm>
#include <cmath>

namespace UIScale {

namespace {

// Nearest multiple of 0.05, halves away from zero. Working in twentieths keeps the result
// the double closest to k / 20, so normalised values compare and print exactly.
double roundToStep(double value)
{
    return std::round(value * 20.0) / 20.0;
}

} // namespace

double clamp(double scale)
{
    return std::isnan(scale) ? 1.0 : std::clamp(scale, minimum, maximum);
}

std::optional<double> normalizedStored(double stored)
{
    return clamp(roundToStep(stored == 0 ? 1.0 : clamp(stored)));
}

std::optional<double> normalized(double value)
{
    if (std::isnan(value)) {
        return std::nullopt;
    }
    const double rounded = roundToStep(std::min(value, maximum));
    return clamp(rounded <= minimum ? minimum : rounded);
}

} // namespace UIScale
