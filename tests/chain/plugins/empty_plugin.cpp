// A library for chaining tests that exports none of the host's entry points.
namespace {

[[maybe_unused]] int nothingHere() {
    return 0;
}

}  // namespace
