#pragma once

namespace vigilo {

// Lets std::visit take one lambda per case of a variant.
template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Spelled out for compilers without deduction for aggregates (clang 16).
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

}  // namespace vigilo
