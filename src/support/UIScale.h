#pragma once

// The interface scales (settings window, quick panel): 0.8...1.8 in steps of 0.05. The one
// place that knows the range, for the settings model that stores the scales and the views
// that size themselves by one.

#include <optional>

namespace UIScale {

inline constexpr double minimum = 0.8;
inline constexpr double maximum = 1.8;

// Into the range; NaN (a hand-edited store, a buggy caller) gives 1.0 rather than poisoning
// every size computed from it.
double clamp(double scale);

// The scale a stored value reads as: 0 counts as "never set" and gives 1.0.
std::optional<double> normalizedStored(double stored);
// The scale a value set becomes; nothing for NaN, which a setter ignores.
std::optional<double> normalized(double value);

} // namespace UIScale
