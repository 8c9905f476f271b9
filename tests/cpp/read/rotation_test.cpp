// The rotation of packed force constants into the standard orientation.
#include "tesvarin/read/rotation.hpp"

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <array>
#include <cmath>

#include "chk_builder.hpp"

using namespace chk;

TEST(Rotation, ForceConstantsAreMBMtPerAtomBlock) {
    std::vector<double> ff(21), diag{1, 0, 2, 0, 0, 3};
    for (size_t i = 0; i < ff.size(); ++i) ff[i] = std::sin(1.0 + i);
    const std::vector<double> before = ff;
    const std::array<double, 9> identity{1, 0, 0, 0, 1, 0, 0, 0, 1}, quarter{0, 1, 0, -1, 0, 0, 0, 0, 1};  // about z
    tesvarin::Rotation(identity).force_constants(2, ff.data());
    EXPECT_EQ(ff, before);
    tesvarin::Rotation(quarter).force_constants(1, diag.data());
    EXPECT_EQ(diag, std::vector<double>({2, 0, 1, 0, 0, 3}));
    const std::array<double, 9> rot{0.3, -1.2, 0.5, 2.0, 0.7, -0.4, 1.1, 0.9, -0.6};
    Eigen::MatrixXd H(6, 6), Q = Eigen::MatrixXd::Zero(6, 6);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c <= r; ++c) H(r, c) = H(c, r) = before[r * (r + 1) / 2 + c];
    Q.block<3, 3>(0, 0) = Q.block<3, 3>(3, 3) = Eigen::Map<const Eigen::Matrix3d>(rot.data());  // M(i, j) = rot[i + 3j]
    const Eigen::MatrixXd want = Q * H * Q.transpose();
    tesvarin::Rotation(rot).force_constants(2, ff.data());
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c <= r; ++c) EXPECT_NEAR(ff[r * (r + 1) / 2 + c], want(r, c), 1e-12) << r << " " << c;
}
