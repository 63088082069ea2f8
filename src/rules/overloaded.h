#pragma once

namespace vigilo {

// Lets std::visit take one lambda per case of a variant.
template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};

}  // namespace vigilo
