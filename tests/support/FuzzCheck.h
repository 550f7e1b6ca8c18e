#pragma once

#include <cstdio>
#include <cstdlib>

namespace tagsifter::test {

/// A fuzz target's assertion: stops the run where the check failed, in every build.
inline void checkAt(bool condition, int line)
{
    if (!condition) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}

} // namespace tagsifter::test

#define check(condition) tagsifter::test::checkAt(condition, __LINE__)
