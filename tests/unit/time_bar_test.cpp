// The progress bar, whose arithmetic in doubles meets infinities and not-a-number.
#include <gtest/gtest.h>

#include "console/status_lines.h"
#include "tests/fake/fake_platform.h"

namespace {

std::string bar(std::int32_t elapsed, std::int32_t length) {
    fake::reset();
    showTimeBar(elapsed, length);
    return fake::output();
}

TEST(StatusLines, TimeBarCountsReachedMarksIncludingInfinitiesAndNotANumber) {
    auto marks = [](int reached) {
        return std::string(static_cast<std::size_t>(reached), '>') +
               std::string(static_cast<std::size_t>(30 - reached), '.') + "\n";
    };
    for (auto [elapsed, length, reached] : std::vector<std::array<int, 3>>{{0, 200, 1},
                                                                           {100, 200, 16},
                                                                           {125, 200, 19},
                                                                           {1, 3, 11} /* exactly on a mark */,
                                                                           {194, 200, 30},
                                                                           {250, 200, 30},
                                                                           {0, 0, 0} /* not-a-number */,
                                                                           {5, 0, 30} /* +infinity */,
                                                                           {-5, 0, 0},
                                                                           {-5, 200, 0}})
        EXPECT_EQ(bar(elapsed, length), marks(reached)) << elapsed << "/" << length;
}

}  // namespace
