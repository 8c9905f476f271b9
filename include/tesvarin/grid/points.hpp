// The points of a grid evaluation, taken in blocks of at most kBlockPoints. Internal to
// the grid evaluator.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "tesvarin/grid/grid_eval.hpp"

namespace tesvarin {

// The points of one block, with the output row of each.
struct Block {
    int64_t size = 0;
    double x[kBlockPoints], y[kBlockPoints], z[kBlockPoints];
    int64_t row[kBlockPoints];
    std::array<double, 3> lo{}, hi{};
};

// The points to evaluate in blocks: compact tiles of a grid, or runs of kBlockPoints of a list.
class Points {
public:
    explicit Points(const PointSet& set);
    int64_t blocks() const { return blocks_; }

    // Block b's points, their output rows and their bounding box.
    void fill(int64_t b, Block& blk) const;

private:
    static constexpr int64_t kTile[3] = {4, 4, 8};  // 128 points: a compact box for the screening
    PointSet set_;
    int64_t tiles_[3] = {0, 0, 0};
    int64_t blocks_ = 0;
};

// Throws unless every point (or the grid's origin and steps) is finite.
void check_points(const PointSet& points);

// Works through the blocks on options.threads threads (the caller's among them), reporting
// progress on the calling thread. Each thread first calls `worker` once for the function that
// handles its blocks (owning that thread's buffers), then calls it on block after block.
using BlockWork = std::function<void(const Block&)>;
void run_blocks(const Points& points, const EvalOptions& options, const std::function<BlockWork()>& worker);

inline double distance2_to_box(const std::array<double, 3>& c, const Block& blk) {
    double d2 = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double d = c[i] < blk.lo[i] ? blk.lo[i] - c[i] : c[i] > blk.hi[i] ? c[i] - blk.hi[i] : 0.0;
        d2 += d * d;
    }
    return d2;
}

}  // namespace tesvarin
