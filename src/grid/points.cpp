#include "tesvarin/grid/points.hpp"

#include <algorithm>

namespace tesvarin {

Points::Points(const PointSet& set) : set_(set) {
    if (set.grid != nullptr) {
        const auto& c = set.grid->counts;
        for (int i = 0; i < 3; ++i) tiles_[i] = (c[i] + kTile[i] - 1) / kTile[i];
        blocks_ = grid_point_count(*set.grid) == 0 ? 0 : tiles_[0] * tiles_[1] * tiles_[2];
    } else {
        blocks_ = (set.count + kBlockPoints - 1) / kBlockPoints;
    }
}

void Points::fill(int64_t b, Block& blk) const {
    blk.size = 0;
    if (set_.grid != nullptr) {
        const GridSpec& g = *set_.grid;
        const int64_t t0 = b / (tiles_[1] * tiles_[2]), t1 = b / tiles_[2] % tiles_[1], t2 = b % tiles_[2];
        const int64_t i0 = t0 * kTile[0], j0 = t1 * kTile[1], k0 = t2 * kTile[2];
        for (int64_t i = i0; i < std::min(i0 + kTile[0], g.counts[0]); ++i)
            for (int64_t j = j0; j < std::min(j0 + kTile[1], g.counts[1]); ++j)
                for (int64_t k = k0; k < std::min(k0 + kTile[2], g.counts[2]); ++k) {
                    const int64_t s = blk.size++;
                    blk.x[s] = g.origin[0] + i * g.axes[0][0] + j * g.axes[1][0] + k * g.axes[2][0];
                    blk.y[s] = g.origin[1] + i * g.axes[0][1] + j * g.axes[1][1] + k * g.axes[2][1];
                    blk.z[s] = g.origin[2] + i * g.axes[0][2] + j * g.axes[1][2] + k * g.axes[2][2];
                    blk.row[s] = (i * g.counts[1] + j) * g.counts[2] + k;
                }
    } else {
        const int64_t first = b * kBlockPoints, last = std::min(set_.count, first + kBlockPoints);
        for (int64_t p = first; p < last; ++p) {
            const int64_t s = blk.size++;
            blk.x[s] = set_.points[3 * p];
            blk.y[s] = set_.points[3 * p + 1];
            blk.z[s] = set_.points[3 * p + 2];
            blk.row[s] = p;
        }
    }
    blk.lo = {blk.x[0], blk.y[0], blk.z[0]};
    blk.hi = blk.lo;
    for (int64_t s = 1; s < blk.size; ++s) {
        blk.lo = {std::min(blk.lo[0], blk.x[s]), std::min(blk.lo[1], blk.y[s]), std::min(blk.lo[2], blk.z[s])};
        blk.hi = {std::max(blk.hi[0], blk.x[s]), std::max(blk.hi[1], blk.y[s]), std::max(blk.hi[2], blk.z[s])};
    }
}

}  // namespace tesvarin
