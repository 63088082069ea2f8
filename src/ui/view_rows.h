#pragma once

#include <string>

namespace vigilo {

// The colour a value is drawn in; the view picks the actual shades.
enum class Tone { normal, secondary, green, orange, red };

// One labelled value of a window.
struct ViewRow {
    std::string label;
    std::string value;
    Tone tone = Tone::normal;
    bool operator==(const ViewRow&) const = default;
};

}  // namespace vigilo
