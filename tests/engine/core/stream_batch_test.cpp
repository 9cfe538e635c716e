#include <gtest/gtest.h>

#include "engine/core/stream.h"

namespace quill {
namespace {

TEST(StreamBatchTest, ABatchKeepsItsPlaceAmongSingleValuesAndNothingArrivesAfterTheEnd) {
    auto [sink, stream] = makeStream<int>();
    sink.yield(1);
    sink.yieldAll({2, 3, 4});
    sink.yieldAll({});
    sink.yield(5);
    sink.finish();
    sink.yieldAll({6, 7});
    EXPECT_EQ(drain(stream), (std::vector<int>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace quill
