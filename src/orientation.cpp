#include "tesvarin/orientation.hpp"

#include <algorithm>

namespace tesvarin {

void Rotation::vector(const double* in, double* out, std::size_t stride) const {
    const double x = in[0], y = in[stride], z = in[2 * stride];
    for (int i = 0; i < 3; ++i) out[i * stride] = (m(i, 0) * x + m(i, 1) * y) + m(i, 2) * z;
}

void Rotation::tensor(const double T[3][3], double out[3][3]) const {
    double A[3][3];
    for (int i = 0; i < 3; ++i)
        for (int l = 0; l < 3; ++l) A[i][l] = (m(i, 0) * T[0][l] + m(i, 1) * T[1][l]) + m(i, 2) * T[2][l];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = (A[i][0] * m(j, 0) + A[i][1] * m(j, 1)) + A[i][2] * m(j, 2);
}

std::vector<double> Rotation::vectors(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    for (std::size_t k = 0; k + 3 <= v.size(); k += 3) vector(&v[k], &out[k], 1);
    return out;
}

std::vector<double> Rotation::lower_tensors(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    for (std::size_t k = 0; k + 6 <= v.size(); k += 6) {
        const double* s = &v[k];
        const double T[3][3] = {{s[0], s[1], s[3]}, {s[1], s[2], s[4]}, {s[3], s[4], s[5]}};
        double R[3][3];
        tensor(T, R);
        const double lower[6] = {R[0][0], R[1][0], R[1][1], R[2][0], R[2][1], R[2][2]};
        std::copy(lower, lower + 6, &out[k]);
    }
    return out;
}

std::vector<double> Rotation::quadrupole(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    if (v.size() < 6) return out;
    const double T[3][3] = {{v[0], v[3], v[4]}, {v[3], v[1], v[5]}, {v[4], v[5], v[2]}};
    double R[3][3];
    tensor(T, R);
    const double upper[6] = {R[0][0], R[1][1], R[2][2], R[0][1], R[0][2], R[1][2]};
    std::copy(upper, upper + 6, out.begin());
    return out;
}

namespace {
// Index triples of the ten stored hyperpolarizability components.
constexpr int kHyper[10][3] = {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {0, 0, 2},
                               {0, 1, 2}, {1, 1, 2}, {0, 2, 2}, {1, 2, 2}, {2, 2, 2}};
}  // namespace

std::vector<double> Rotation::hyperpolarizability(const std::vector<double>& v) const {
    std::vector<double> out(v.size());
    if (v.size() < 10) return out;
    double T[3][3][3], A[3][3][3], B[3][3][3];
    for (int c = 0; c < 10; ++c) {
        const int a = kHyper[c][0], b = kHyper[c][1], d = kHyper[c][2];
        T[a][b][d] = T[a][d][b] = T[b][a][d] = T[b][d][a] = T[d][a][b] = T[d][b][a] = v[c];
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                A[i][j][k] = (m(i, 0) * T[0][j][k] + m(i, 1) * T[1][j][k]) + m(i, 2) * T[2][j][k];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k)
                B[i][j][k] = (m(j, 0) * A[i][0][k] + m(j, 1) * A[i][1][k]) + m(j, 2) * A[i][2][k];
    for (int c = 0; c < 10; ++c) {
        const int i = kHyper[c][0], j = kHyper[c][1], k = kHyper[c][2];
        out[c] = (m(k, 0) * B[i][j][0] + m(k, 1) * B[i][j][1]) + m(k, 2) * B[i][j][2];
    }
    return out;
}

std::vector<double> Rotation::dipole_derivatives(const std::vector<double>& v) const {
    std::vector<double> rows = vectors(v), out(v.size());
    for (std::size_t a = 0; a + 9 <= v.size(); a += 9)
        for (std::size_t k = 0; k < 3; ++k) vector(&rows[a + k], &out[a + k], 3);
    return out;
}

std::vector<double> Rotation::polarizability_derivatives(const std::vector<double>& v) const {
    std::vector<double> rows = lower_tensors(v), out(v.size());
    for (std::size_t a = 0; a + 18 <= v.size(); a += 18)
        for (std::size_t c = 0; c < 6; ++c) vector(&rows[a + c], &out[a + c], 6);
    return out;
}

}  // namespace tesvarin
