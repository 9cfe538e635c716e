#pragma once

namespace quill {

/// Builds one visitor out of several lambdas, for an exhaustive `std::visit`.
template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace quill
