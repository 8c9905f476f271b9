#include "tesvarin/grid/points.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "tesvarin/grid/combinations.hpp"
#include "tesvarin/thread_jobs.hpp"

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

void check_points(const PointSet& points) {
    if (points.grid != nullptr) {
        grid_point_count(*points.grid);
        for (const auto& v : points.grid->axes)
            for (double c : v)
                if (!std::isfinite(c)) refuse_evaluation("the grid's step vectors must be finite");
        for (double c : points.grid->origin)
            if (!std::isfinite(c)) refuse_evaluation("the grid's origin must be finite");
        return;
    }
    if (points.count < 0) refuse_evaluation("a negative number of points");
    for (int64_t i = 0; i < 3 * points.count; ++i)
        if (!std::isfinite(points.points[i])) {
            refuse_evaluation("point " + std::to_string(i / 3 + 1) + " is not finite");
        }
}

void run_blocks(const Points& points, const EvalOptions& options, const std::function<BlockWork()>& worker) {
    const int64_t nblocks = points.blocks();
    unsigned threads = options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    threads =
        static_cast<unsigned>(std::clamp<int64_t>(threads, 1, std::max<int64_t>(1, std::min<int64_t>(nblocks, 256))));
    std::atomic<int64_t> next{0}, done{0};
    std::atomic<bool> stop{false};
    run_jobs(threads, [&](unsigned job) {
        const bool caller = job == 0;
        try {
            const BlockWork work = worker();
            Block blk;
            auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);  // report the first block
            for (int64_t b; !stop && (b = next++) < nblocks;) {
                points.fill(b, blk);
                work(blk);
                ++done;
                if (caller && options.progress) {
                    const auto now = std::chrono::steady_clock::now();
                    if (now - last > std::chrono::milliseconds(100)) {
                        last = now;
                        if (!options.progress(static_cast<double>(done) / static_cast<double>(nblocks))) {
                            stop = true;
                            refuse_evaluation("stopped before the end");
                        }
                    }
                }
            }
        } catch (...) {
            stop = true;  // the others end at their next block
            throw;
        }
    });
    if (options.progress && nblocks > 0) options.progress(1.0);
}

}  // namespace tesvarin
