// A property that must hold for every input: when it doesn't, the input is a finding.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(condition)                                                                           \
    ((condition) ? void()                                                                                 \
                 : (std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition), \
                    std::abort()))
